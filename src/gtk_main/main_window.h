// The main window: menus, the information panel, the sample table, and the
// load path that File > Open SPC uses. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "spc.h"

// Builds the whole window (once per process) and returns it, not yet shown.
// Its "destroy" quits the GTK main loop.
GtkWidget* main_window_new();

// Shows the window and everything in it except what starts hidden (the Play
// button, the filter frame).
void main_window_show();

// Reads `filename` and, when it is a valid SPC file, shows its name, tag and
// samples; otherwise reports on standard error, hides Play and empties the
// tag labels. Returns whether the file loaded.
bool main_window_load_file(const char* filename);

// The image of the last successful load, or null after a failed one.
std::shared_ptr<const spc_format> main_window_current_spc();

// File > Open SPC and Help > About handlers; `parent_window` is the window.
void open_spc_dialog(GtkWidget* parent_window, gpointer data) noexcept;
void about_dialog(GtkWidget* parent_window, gpointer data) noexcept;
