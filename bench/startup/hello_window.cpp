// A plain GTK 3 program with a window: a label above a list (a tree view of
// five text columns, as Quorlin's table has), in a window of Quorlin's
// default size, so that only what Quorlin adds differs.
// scripts/measure-startup compares Quorlin's start-up time and memory with
// this program's.

#include <gtk/gtk.h>

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "Hello");
  gtk_window_set_default_size(GTK_WINDOW(window), 1100, 600);
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_box_pack_start(GTK_BOX(box), gtk_label_new("Hello, world"), FALSE, FALSE, 0);
  GtkListStore* store =
      gtk_list_store_new(5, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING);
  GtkWidget* list = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
  g_object_unref(store);  // the view holds it
  for (int column = 0; column < 5; ++column)
    gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(list), -1, "Column",
                                                gtk_cell_renderer_text_new(), "text", column,
                                                nullptr);
  GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_container_add(GTK_CONTAINER(scrolled), list);
  gtk_box_pack_start(GTK_BOX(box), scrolled, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(window), box);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
