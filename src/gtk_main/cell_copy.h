// Click-to-copy for tree views: a press on a cell puts that cell's text on
// the CLIPBOARD selection, as every table of the window does.
#pragma once

#include <gtk/gtk.h>

#include <optional>
#include <string>

// Where a press landed: the row in the view's order and the model column
// shown by the pressed view column.
struct pressed_cell {
  int row;
  int model_column;
  std::string text;  // what was copied; empty for a cell without text
};

// Finds the cell under `event` among `columns` (view column i shows model
// column i, a string), copies its text to CLIPBOARD and says where it was.
// None for presses on the header strip, between rows or on other columns.
// GTK main thread only.
std::optional<pressed_cell> copy_pressed_cell(GtkTreeView* view, const GdkEventButton* event,
                                              GtkTreeViewColumn* const* columns,
                                              int column_count);
