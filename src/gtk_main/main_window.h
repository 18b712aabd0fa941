// The main window, QuorlinWindow: menus, the message line, the information
// panel with the playback controls, the sample table with its filter panel
// and status line, and the load path that every way of opening a file
// takes. Each window owns the state of the file it shows; two windows share
// nothing but the one audio engine. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "message_line.h"
#include "spc.h"

#define QUORLIN_TYPE_WINDOW (quorlin_window_get_type())
G_DECLARE_FINAL_TYPE(QuorlinWindow, quorlin_window, QUORLIN, WINDOW, GtkApplicationWindow)

// Builds a window of `application` (which gives it its accelerators and
// app.quit and app.about), not yet shown; what the first frame does not show
// is built when first needed, and the drop target and icon once the first
// frame is drawn. Destroying it stops and joins a playing song first, and
// ends gtk_main where one runs (tests); the application ends with its last
// window. While something plays, the application asks the desktop not to
// suspend. Main thread only.
QuorlinWindow* quorlin_window_new(GtkApplication* application);

// Shows the window and everything in it except what starts hidden (the Play
// button, the filter frame, the message line), the keys going to the sample
// table. Main thread only.
void main_window_show(QuorlinWindow* window);

// Stops what plays, then reads `filename` and, when it is a valid SPC file,
// shows its path (in the label as given; its name in the title), tag and
// samples; otherwise reports to `report` ("quorlin: FILE: reason", as the
// command line does) and in the message line, hides Play and empties the tag
// labels. Either way File > Previous File and Next File step from its place
// in its folder. Returns whether the file loaded.
bool main_window_load_file(QuorlinWindow* window, const char* filename,
                           const report_sink& report = report_to_standard_error);

// The image and full file name of the window's last successful load; null
// and "" after a failed one.
std::shared_ptr<const spc_format> main_window_current_spc(QuorlinWindow* window);
const std::string& main_window_current_path(QuorlinWindow* window);

// Shows one line in the window's message line until the next load or a
// click dismisses it. For reports from any part of the window.
void main_window_show_message(QuorlinWindow* window, message_kind kind, const std::string& text);

// Help > About, over `parent`. Main thread only.
void about_dialog(GtkWindow* parent) noexcept;
