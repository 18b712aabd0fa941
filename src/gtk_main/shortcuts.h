// The keyboard: Ctrl+O (File > Open SPC, win.open), Ctrl+E (File > Export
// Samples…, win.export-samples), Alt+Left and Alt+Right (File > Previous
// File / Next File), Ctrl+Q (File > Quit, app.quit) and Ctrl+? (Help >
// Keyboard Shortcuts), which the menus show; Space for win.play (whichever
// play button started last); Page Up and Page Down for the previous and
// next file. Help > Keyboard Shortcuts lists them all.
#pragma once

#include <gtk/gtk.h>

// Binds the menus' accelerators to their actions. Once per application, at
// its start-up. GTK main thread only.
void shortcuts_set_accels(GtkApplication* application);

// Space, Page Up and Page Down on `window`, which holds win.play,
// win.previous-file and win.next-file: each activates its action when
// enabled and is swallowed otherwise; in a text field (the filter panel's
// spin buttons) those keys keep their own meaning. Call once per window.
// GTK main thread only.
void shortcuts_attach(GtkWindow* window);

// A new shortcuts window over `parent`, listing every shortcut above; not
// yet shown. GTK main thread only.
GtkWidget* shortcuts_window_new(GtkWindow* parent);
