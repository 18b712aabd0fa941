#include "cell_copy.h"

#include <algorithm>

std::optional<pressed_cell> copy_pressed_cell(GtkTreeView* view, const GdkEventButton* event,
                                              GtkTreeViewColumn* const* columns,
                                              int column_count) {
  // Presses on the header strip come with header coordinates, which would
  // name a row that was not pressed: only the rows' own window counts.
  if (event->window != gtk_tree_view_get_bin_window(view)) return std::nullopt;

  GtkTreePath* path = nullptr;
  GtkTreeViewColumn* column = nullptr;
  if (!gtk_tree_view_get_path_at_pos(view, static_cast<gint>(event->x),
                                     static_cast<gint>(event->y), &path, &column, nullptr,
                                     nullptr))
    return std::nullopt;
  g_autoptr(GtkTreePath) owned_path = path;

  const auto found = std::find(columns, columns + column_count, column);
  if (found == columns + column_count) return std::nullopt;
  const int model_column = static_cast<int>(found - columns);

  GtkTreeModel* model = gtk_tree_view_get_model(view);
  GtkTreeIter iter;
  if (!gtk_tree_model_get_iter(model, &iter, owned_path)) return std::nullopt;
  g_autofree char* text = nullptr;
  gtk_tree_model_get(model, &iter, model_column, &text, -1);
  if (text)
    gtk_clipboard_set_text(
        gtk_clipboard_get_for_display(gdk_display_get_default(), GDK_SELECTION_CLIPBOARD), text,
        -1);
  return pressed_cell{gtk_tree_path_get_indices(owned_path)[0], model_column, text ? text : ""};
}
