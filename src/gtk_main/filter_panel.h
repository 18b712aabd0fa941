// The filter panel: a "Show Filters"/"Hide Filters" toggle and a "Filters"
// frame of hexadecimal minimum and maximum spin buttons, one pair per table
// column, that write the sample table's bounds and refilter it at once. The
// panel is its widgets, kept by the window it is packed into: each function
// takes them. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include "sample_table.h"

// The panel's widgets; spinner[i] is the minimum of column i and
// spinner[i + SAMPLE_COLUMN_COUNT] its maximum, as in the table's bounds.
// The grid and what is in it are null until the panel is first shown.
struct filter_panel_widgets {
  GtkWidget* button_show_filters;
  GtkWidget* frame_filters;  // shown and hidden with the panel
  GtkWidget* grid_filters;
  GtkWidget* spinner[chart_filter_count];
  GtkWidget* button_reset_filters;
  GtkWidget* check_only_played;  // "Only samples the song plays"
  sample_table* table;           // whose bounds it writes; outlives the panel
};

// Builds the panel of `table` into `panel`, which must outlive its widgets
// (the window's state): the toggle at the end of `toggle_box` and the frame into
// `frame_box` (padding 3, no expand), so the toggle can share a row and the
// frame can stand beside the table. GTK main thread only.
void filter_panel_pack(filter_panel_widgets& panel, sample_table& table, GtkBox* toggle_box,
                       GtkBox* frame_box);

// Whether the frame is shown. GTK main thread only.
bool filter_panel_is_visible(const filter_panel_widgets& panel);

// Shows or hides the panel as a click of the toggle into that state would. GTK main thread only.
void filter_panel_set_visible(filter_panel_widgets& panel, bool visible);

// The panel's widgets, for tests; builds the grid if it is not built yet.
// GTK main thread only.
const filter_panel_widgets& filter_panel_get_widgets(filter_panel_widgets& panel);
