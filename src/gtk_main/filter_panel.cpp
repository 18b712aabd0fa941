// The filter panel. The spin buttons read and write hexadecimal through
// their "input" and "output" handlers; GTK keeps the value itself, clamped to
// the adjustment, and each change lands in the table's bounds.

#include "filter_panel.h"

#include <cmath>
#include <cstring>

#include "hex_text.h"
#include "grid_label.h"

namespace {

constexpr guint child_padding = 3;  // as the main box's other children
constexpr char show_label[] = "Show Filters";
constexpr char hide_label[] = "Hide Filters";

GtkWidget* build_grid(filter_panel_widgets& w);

// The spin buttons wait until the panel is first shown: the window starts
// without them, and sooner.
void ensure_grid(filter_panel_widgets& w) {
  if (w.grid_filters || !w.frame_filters) return;
  gtk_container_add(GTK_CONTAINER(w.frame_filters), build_grid(w));
  gtk_widget_show_all(w.grid_filters);
}

// The toggle's label is the panel's state: it names what a click would do.
void set_panel_shown(filter_panel_widgets& w, bool shown) {
  if (shown) ensure_grid(w);
  gtk_button_set_label(GTK_BUTTON(w.button_show_filters), shown ? hide_label : show_label);
  gtk_widget_set_visible(w.frame_filters, shown);
}

void filters_click(GtkWidget* widget, gpointer panel) noexcept {
  set_panel_shown(*static_cast<filter_panel_widgets*>(panel), g_strcmp0(gtk_button_get_label(GTK_BUTTON(widget)), show_label) == 0);
}

// Any text is accepted; what does not read as hexadecimal reads as 0. Huge
// numbers saturate in the reading and GTK then clamps them to the bounds
// (the update policy is "always"), so nothing wraps.
gint spinner_value_input(GtkSpinButton* spin, gdouble* new_value, gpointer) noexcept {
  *new_value = static_cast<gdouble>(hex_text_parse(gtk_entry_get_text(GTK_ENTRY(spin))));
  return TRUE;
}

gboolean spinner_value_output(GtkSpinButton* spin, gpointer) noexcept {
  const double value = std::trunc(gtk_adjustment_get_value(gtk_spin_button_get_adjustment(spin)));
  // The lower bound of 0 keeps values from going negative; the guard only
  // keeps the conversion defined.
  const std::string text = hex_text_format(static_cast<unsigned long>(value < 0 ? 0 : value));
  // Setting the same text again would move the cursor while the user types.
  if (std::strcmp(text.c_str(), gtk_entry_get_text(GTK_ENTRY(spin))) != 0)
    gtk_entry_set_text(GTK_ENTRY(spin), text.c_str());
  return TRUE;
}

// Which bound a spin button sets, kept on the button.
constexpr char bound_index_key[] = "quorlin-bound-index";

void filters_adjusted(GtkSpinButton* spin, gpointer panel) noexcept {
  sample_table& table = *static_cast<filter_panel_widgets*>(panel)->table;
  const int index = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(spin), bound_index_key));
  sample_table_chart_filters(table)[index] = gtk_spin_button_get_value_as_int(spin);
  sample_table_refilter(table);
}

void only_played_toggled(GtkToggleButton* check, gpointer panel) noexcept {
  sample_table_set_only_played(*static_cast<filter_panel_widgets*>(panel)->table,
                               gtk_toggle_button_get_active(check));
}

// Every value that changes passes through filters_adjusted, which brings the
// bounds back with it; the last refilter covers the case where none changed.
void reset_filters(GtkWidget*, gpointer panel) noexcept {
  const filter_panel_widgets& w = *static_cast<filter_panel_widgets*>(panel);
  for (int i = 0; i < SAMPLE_COLUMN_COUNT; ++i) {
    const int max = i + SAMPLE_COLUMN_COUNT;
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(w.spinner[i]), chart_filter_defaults[i]);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(w.spinner[max]),
                              chart_filter_defaults[max]);
  }
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.check_only_played), FALSE);
  sample_table_refilter(*w.table);
}

// The spin button of bound `index`, ranging over 0 ... the column's widest
// maximum, starting at the bound's current value.
GtkWidget* new_spinner(filter_panel_widgets& w, int index) {
  const int column = index % SAMPLE_COLUMN_COUNT;
  GtkAdjustment* adjustment =
      gtk_adjustment_new(sample_table_chart_filters(*w.table)[index], 0,
                         chart_filter_defaults[column + SAMPLE_COLUMN_COUNT], 1, 16, 0);
  GtkWidget* spin = gtk_spin_button_new(adjustment, 1, 0);
  GtkSpinButton* spin_button = GTK_SPIN_BUTTON(spin);
  gtk_spin_button_set_numeric(spin_button, FALSE);  // the input handler parses
  gtk_entry_set_width_chars(GTK_ENTRY(spin), 6);     // "$FFFF" and no more: the panel stays narrow
  gtk_spin_button_set_wrap(spin_button, FALSE);
  gtk_spin_button_set_snap_to_ticks(spin_button, FALSE);
  gtk_spin_button_set_update_policy(spin_button, GTK_UPDATE_ALWAYS);
  g_signal_connect(spin, "input", G_CALLBACK(spinner_value_input), nullptr);
  g_signal_connect(spin, "output", G_CALLBACK(spinner_value_output), nullptr);
  g_object_set_data(G_OBJECT(spin), bound_index_key, GINT_TO_POINTER(index));
  g_signal_connect(spin, "value-changed", G_CALLBACK(filters_adjusted), &w);
  // An entry takes a dropped file as typing ("file:///..." read as hex);
  // built after the window's drop target, the bounds leave drops to it here.
  gtk_drag_dest_unset(spin);
  return spin;
}

GtkWidget* build_grid(filter_panel_widgets& w) {
  w.grid_filters = gtk_grid_new();
  gtk_container_set_border_width(GTK_CONTAINER(w.grid_filters), 5);
  GtkWidget* label = nullptr;
  add_label(&label, "Min", w.grid_filters, 1, 0, 1, 1, false);
  add_label(&label, "Max", w.grid_filters, 2, 0, 1, 1, false);
  for (int i = 0; i < SAMPLE_COLUMN_COUNT; ++i) {
    add_label(&label, chart_headings[i], w.grid_filters, 0, i + 1, 1, 1, false);
    for (int side = 0; side < 2; ++side) {
      const int index = i + side * SAMPLE_COLUMN_COUNT;
      w.spinner[index] = new_spinner(w, index);
      gtk_grid_attach(GTK_GRID(w.grid_filters), w.spinner[index], side + 1, i + 1, 1, 1);
    }
  }
  w.button_reset_filters = gtk_button_new_with_label("Reset All Filters");
  g_signal_connect(w.button_reset_filters, "clicked", G_CALLBACK(reset_filters), &w);
  gtk_grid_attach(GTK_GRID(w.grid_filters), w.button_reset_filters, 0, SAMPLE_COLUMN_COUNT + 1,
                  1, 1);
  // Until the song has been followed every row counts as played.
  w.check_only_played = gtk_check_button_new_with_label("Only samples the song plays");
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.check_only_played),
                               sample_table_only_played(*w.table));
  g_signal_connect(w.check_only_played, "toggled", G_CALLBACK(only_played_toggled), &w);
  gtk_grid_attach(GTK_GRID(w.grid_filters), w.check_only_played, 0, SAMPLE_COLUMN_COUNT + 2, 3, 1);
  return w.grid_filters;
}

}  // namespace

void filter_panel_pack(filter_panel_widgets& w, sample_table& table, GtkBox* toggle_box,
                       GtkBox* frame_box) {
  w.table = &table;
  w.button_show_filters = gtk_button_new_with_label(show_label);
  gtk_widget_set_halign(w.button_show_filters, GTK_ALIGN_END);
  gtk_widget_set_valign(w.button_show_filters, GTK_ALIGN_END);
  gtk_widget_set_vexpand(w.button_show_filters, FALSE);
  g_signal_connect(w.button_show_filters, "clicked", G_CALLBACK(filters_click), &w);

  w.frame_filters = gtk_frame_new("Filters");
  gtk_widget_set_halign(w.frame_filters, GTK_ALIGN_END);
  gtk_widget_set_valign(w.frame_filters, GTK_ALIGN_START);
  gtk_container_set_border_width(GTK_CONTAINER(w.frame_filters), 10);

  gtk_box_pack_end(toggle_box, w.button_show_filters, FALSE, FALSE, child_padding);
  gtk_box_pack_start(frame_box, w.frame_filters, FALSE, FALSE, child_padding);
}

void filter_panel_set_visible(filter_panel_widgets& panel, bool visible) {
  set_panel_shown(panel, visible);
}

bool filter_panel_is_visible(const filter_panel_widgets& panel) {
  return gtk_widget_get_visible(panel.frame_filters);
}

const filter_panel_widgets& filter_panel_get_widgets(filter_panel_widgets& panel) {
  ensure_grid(panel);
  return panel;
}
