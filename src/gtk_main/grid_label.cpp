#include "grid_label.h"

void add_label(GtkWidget** label, const char* text, GtkWidget* grid, int left, int top, int width,
               int height, bool is_selectable) {
  *label = gtk_label_new(text);
  gtk_label_set_xalign(GTK_LABEL(*label), 0.0f);
  gtk_label_set_yalign(GTK_LABEL(*label), 0.5f);
  gtk_label_set_selectable(GTK_LABEL(*label), is_selectable);
  gtk_grid_attach(GTK_GRID(grid), *label, left, top, width, height);
}
