// Files that reach Quorlin without its dialog: named on the command line (of
// this process or of a later one, which hands them to the running window),
// or dropped on the window from a file manager. All load through the
// function the window hands them, the path File > Open SPC takes.
#pragma once

#include <gtk/gtk.h>

#include <functional>

#include "message_line.h"

// Loads a local file name, a failure reported to `report` (and in the
// window); returns whether it loaded.
using file_loader = std::function<bool(const char* filename, const report_sink& report)>;

// Into `window`: loads the file named by the first argument that gtk_init left in `argv` (a
// path, relative to the working folder or not, or a file: URI, as launchers
// pass either) through `load`. No argument changes nothing and returns true;
// otherwise returns whether the file loaded, failures reported on standard
// error and in the message line as the dialog's are. Later arguments are
// ignored, with a note in both places. GTK main thread only.
bool external_open_command_line(GtkWidget* window, int argc, char** argv, file_loader load);

// The same for files a `quorlin FILE` run handed to the running window, its
// own or a later one's, or that the desktop asked it to open: the first of
// `files` loads through `load`, the others are noted as ignored; what goes
// wrong is told to `report` as well as in the window. Returns whether it
// loaded. GTK main thread only.
bool external_open_files(GtkWidget* window, GFile** files, int count, file_loader load,
                         const report_sink& report = report_to_standard_error);

// Makes `window` accept text/uri-list drops; the first file of a drop loads
// through `load` (a URI that names no local file is reported on standard
// error and in the message line), dropped anywhere on it: text fields built so far pass drops on. Call once, after
// the window's widgets are built. GTK main thread only.
void external_open_accept_drops(GtkWidget* window, file_loader load);
