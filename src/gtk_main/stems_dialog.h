// File > Export Stems…: a folder chooser (with "Replace existing files"),
// then the stems of the loaded file (stem_render.h) rendered on a thread of
// their own, with a progress bar and Cancel in the message line meanwhile.
// The result is one line there. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "spc.h"

// Asks for a folder, starting in the last export folder or else the folder
// of `spc_path`, and starts writing the stems of `spc` there; returns at
// once. A render already running is cancelled first. Main thread only.
void stems_dialog_run(GtkWindow* parent, const std::shared_ptr<const spc_format>& spc,
                      const std::string& spc_path);

// Cancels a running render and waits for its thread (within one buffer);
// the file it was rendering is not written. Does nothing when none runs.
// Main thread only.
void stems_dialog_cancel();

// Whether a render runs. Main thread only.
bool stems_dialog_busy();

// The progress bar and its Cancel button, in the message line; for tests.
// Main thread only.
struct stems_dialog_widgets {
  GtkWidget* progress_box;
  GtkWidget* progress_bar;
  GtkWidget* button_cancel;
};
const stems_dialog_widgets& stems_dialog_get_widgets();

// Label of the chooser's check box, for tests.
inline constexpr const char* stems_force_label = "Replace existing files";
