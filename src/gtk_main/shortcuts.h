// The main window's keyboard shortcuts: Ctrl+O (File > Open SPC) and Ctrl+Q
// (File > Quit), shown in the menus, and Space for the Play button.
#pragma once

#include <gtk/gtk.h>

// What the shortcuts act on.
struct shortcut_targets {
  GtkWidget* window;
  GtkWidget* menu_file_open;
  GtkWidget* menu_file_quit;
  GtkWidget* button_play;
};

// Installs the shortcuts on `targets.window`. Space clicks `targets.button_play`
// while it is shown (a file is loaded) and does nothing otherwise, except in a
// text field (the filter panel's spin buttons), which keeps its spaces.
// Call once, after the menus and the Play button exist. GTK main thread only.
void shortcuts_attach(const shortcut_targets& targets);
