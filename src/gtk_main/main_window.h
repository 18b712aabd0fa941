// The main window: menus, the message line, the information panel with the
// playback controls, the sample table with its filter panel and status line,
// and the load path that every way of opening a file takes. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "message_line.h"
#include "spc.h"

// Builds the window (once per process) and returns it, not yet shown; what
// the first frame does not show is built when first needed, and the drop
// target and icon once the first frame is drawn. Closing it, File > Quit and
// Ctrl+Q stop and join a playing song before the main loop ends: the
// application's, when the window was given one (gtk_window_set_application),
// else gtk_main's. While something plays, the window's application asks
// the desktop not to suspend. Main thread only.
GtkWidget* main_window_new();

// Shows the window and everything in it except what starts hidden (the Play
// button, the filter frame, the message line), the keys going to the sample
// table. Main thread only.
void main_window_show();

// Stops what plays, then reads `filename` and, when it is a valid SPC file,
// shows its path (in the label as given; its name in the title), tag and
// samples; otherwise reports to `report` ("quorlin: FILE: reason", as the
// command line does) and in the message line, hides Play and empties the tag
// labels. Either way File > Previous File and Next File step from its place
// in its folder. Returns whether the file loaded.
bool main_window_load_file(const char* filename,
                           const report_sink& report = report_to_standard_error);

// The image and full file name of the last successful load; null and ""
// after a failed one.
std::shared_ptr<const spc_format> main_window_current_spc();
const std::string& main_window_current_path();

// Shows one line in the window's message line until the next load or a
// click dismisses it. For reports from any part of the window.
void main_window_show_message(message_kind kind, const std::string& text);

// Menu handlers; `parent_window` is the window.
void open_spc_dialog(GtkWidget* parent_window, gpointer data) noexcept;
void about_dialog(GtkWidget* parent_window, gpointer data) noexcept;
