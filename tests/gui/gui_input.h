// Real input for the GUI tests: button and key events built as the X server
// would deliver them (window, coordinates, device, hardware keycode) and
// handed to GTK's own dispatch, so every widget handles them its usual way.
#pragma once

#include <gtk/gtk.h>

#include <string>

// A press (of the given kind: single, double, triple) and a release of
// `button` at (x, y) in `window`'s coordinates.
void gui_press_at(GdkWindow* window, double x, double y, guint button = 1,
                  GdkEventType press = GDK_BUTTON_PRESS);

// Moves the pointer to (x, y) in `window`'s coordinates.
void gui_move_to(GdkWindow* window, double x, double y);

// Clicks the middle of a button (or a column header's button).
void gui_click_button(GtkWidget* button);

// The on-screen area of a cell, in the view's row-window coordinates; `row`
// counts in the view's order.
GdkRectangle gui_cell_area(GtkTreeView* view, int row, GtkTreeViewColumn* column);

// Presses the middle of a cell of the view.
void gui_click_cell(GtkTreeView* view, int row, GtkTreeViewColumn* column);

// Gives the main window the keyboard (no window manager here, so the X
// server's focus is asked for directly); returns whether it got it.
bool gui_focus_window();

// Presses and releases a key in the main window, which passes it to its
// focus widget as usual.
void gui_key(guint keyval, GdkModifierType modifiers = GdkModifierType(0));

// Focuses `entry`, selects its text with Ctrl+A and types `text` over it.
void gui_type_into(GtkWidget* entry, const std::string& text);

// The CLIPBOARD selection's text ("" when it holds none), and setting it.
std::string gui_clipboard_text();
void gui_set_clipboard_text(const char* text);
