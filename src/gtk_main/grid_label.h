// Labels in grids, as the information panel and the filter panel make them.
#pragma once

#include <gtk/gtk.h>

// Creates a label with `text`, left-aligned and vertically centred,
// selectable when asked, and attaches it to `grid` at (left, top).
// GTK main thread only.
void add_label(GtkWidget** label, const char* text, GtkWidget* grid, int left, int top, int width,
               int height, bool is_selectable);
