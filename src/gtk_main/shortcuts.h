// The main window's keyboard shortcuts: Ctrl+O (File > Open SPC), Ctrl+E
// (File > Export Samples…), Alt+Left and Alt+Right (File > Previous File /
// Next File) and Ctrl+Q (File > Quit), shown in the menus; Space for
// whichever play button started last; Page Up and Page Down for
// the previous and next file.
#pragma once

#include <gtk/gtk.h>

// What the shortcuts act on.
struct shortcut_targets {
  GtkWidget* window;
  GtkWidget* menu_file_open;
  GtkWidget* menu_file_export;
  GtkWidget* menu_file_previous;
  GtkWidget* menu_file_next;
  GtkWidget* menu_file_quit;
  GtkWidget* button_play;
  // The button Space presses now (null: button_play).
  GtkWidget* (*play_target)() = nullptr;
};

// Installs the shortcuts on `targets.window`. Space clicks the button
// `play_target` names (or `button_play`) while it is shown and sensitive (a
// file is loaded) and does nothing otherwise; Page Up and Page Down
// activate Previous File and Next File. In a text field (the filter panel's
// spin buttons) those keys keep their own meaning there.
// Call once, after the menus and the Play button exist. GTK main thread only.
void shortcuts_attach(const shortcut_targets& targets);
