// The application, QuorlinApplication: one per process, and one per desktop
// session when it runs on a session bus. It owns the windows (GtkApplication
// keeps them), the app actions (app.quit, app.about) and the accelerators,
// and turns activation, opened files and forwarded command lines into
// loads in its window. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include "main_window.h"

#define QUORLIN_TYPE_APPLICATION (quorlin_application_get_type())
G_DECLARE_FINAL_TYPE(QuorlinApplication, quorlin_application, QUORLIN, APPLICATION,
                     GtkApplication)

// A new application; `application_id` may be null (tests). Main thread only.
QuorlinApplication* quorlin_application_new(const char* application_id, GApplicationFlags flags);

// The window files go to: the one last focused, else a new one, shown.
// Main thread only.
QuorlinWindow* quorlin_application_present_window(QuorlinApplication* application);
