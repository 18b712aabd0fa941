// The main window's keyboard shortcuts: Ctrl+O (File > Open SPC) and Ctrl+Q
// (File > Quit), shown in the menus, and Space for the Play button.
#pragma once

#include "main_window.h"

// Installs the shortcuts on `widgets.window`. Space clicks `widgets.button_play`
// while it is shown (a file is loaded) and does nothing otherwise, except in a
// text field (the filter panel's spin buttons), which keeps its spaces.
// Call once, after the menus and the Play button exist. GTK main thread only.
void shortcuts_attach(const main_window_widgets& widgets);
