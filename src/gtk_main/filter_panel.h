// The filter panel: a "Show Filters"/"Hide Filters" toggle and a "Filters"
// frame of hexadecimal minimum and maximum spin buttons, one pair per table
// column, that write the sample table's bounds and refilter it at once.
// GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include "sample_table.h"

// Packs the toggle at the end of `toggle_box` and the frame into `frame_box`
// (padding 3, no expand), so the toggle can share a row and the frame can
// stand beside the table. GTK main thread only.
void filter_panel_pack(GtkBox* toggle_box, GtkBox* frame_box);

// Whether the frame is shown. GTK main thread only.
bool filter_panel_is_visible();

// Shows or hides the panel as a click of the toggle into that state would. GTK main thread only.
void filter_panel_set_visible(bool visible);

// The panel's widgets; spinner[i] is the minimum of column i and
// spinner[i + SAMPLE_COLUMN_COUNT] its maximum, as in the table's bounds.
struct filter_panel_widgets {
  GtkWidget* button_show_filters;
  GtkWidget* frame_filters;
  GtkWidget* grid_filters;
  GtkWidget* spinner[chart_filter_count];
  GtkWidget* button_reset_filters;
  GtkWidget* check_only_played;  // "Only samples the song plays"
};

// The frame, shown and hidden with the panel; its grid may not be built yet.
// GTK main thread only.
GtkWidget* filter_panel_frame();

// The panel's widgets, for tests; builds the grid if it is not built yet.
// GTK main thread only.
const filter_panel_widgets& filter_panel_get_widgets();
