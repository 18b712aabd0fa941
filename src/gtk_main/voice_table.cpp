// The voice table: a list store of texts in a tree view. Numbers are the
// registers' bytes in "%X" form (a signed volume shows its byte, as a music
// tool takes it), the rate in whole Hz, the four switches "on" or "".
// Mute and Solo are check boxes in two more columns of the model, after
// the texts, shown right after the voice's number.

#include "voice_table.h"

#include <cmath>
#include <memory>
#include <string>

#include "cell_copy.h"
#include "hex_text.h"
#include "voice_mute.h"

const char voice_headings[VOICE_COLUMN_COUNT][voice_heading_size] = {
    "Voice", "SRCN", "Vol L", "Vol R", "Pitch", "Rate (Hz)", "ADSR1", "ADSR2",
    "GAIN",  "ENVX", "OUTX", "Key on", "Echo", "Noise", "Pitch mod"};

namespace {

constexpr int mute_model_column = VOICE_COLUMN_COUNT;
constexpr int solo_model_column = VOICE_COLUMN_COUNT + 1;
constexpr int model_column_count = VOICE_COLUMN_COUNT + 2;

struct voice_table_state {
  GtkListStore* store = nullptr;  // owned by the view
  GtkTreeViewColumn* columns[VOICE_COLUMN_COUNT] = {};
  std::array<u8, dsp_voice_count> sources{};
  voice_source_chosen on_source_chosen;
  GtkTreeViewColumn* switch_columns[2] = {};
  int mute_listener = 0;
  voice_switches* switches = nullptr;  // the window's; outlive the view
};

constexpr const char* state_key = "quorlin-voice-table";

voice_table_state& state_of(GtkWidget* table) {
  return *static_cast<voice_table_state*>(g_object_get_data(G_OBJECT(table), state_key));
}

std::string byte_text(int value) { return hex_text_format(static_cast<u8>(value)); }
const char* switch_text(bool on) { return on ? "on" : ""; }

gboolean voice_table_press(GtkWidget* widget, GdkEventButton* event, gpointer) noexcept {
  voice_table_state& state = state_of(widget);
  const auto cell =
      copy_pressed_cell(GTK_TREE_VIEW(widget), event, state.columns, VOICE_COLUMN_COUNT);
  if (cell && cell->row >= 0 && cell->row < dsp_voice_count && state.on_source_chosen)
    state.on_source_chosen(state.sources[cell->row]);
  return FALSE;
}

// The check boxes follow the switches, whoever changed them.
void show_switches(voice_table_state& state) {
  GtkTreeModel* model = GTK_TREE_MODEL(state.store);
  GtkTreeIter iter;
  int voice = 0;
  for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
       more = gtk_tree_model_iter_next(model, &iter), ++voice) {
    gtk_list_store_set(state.store, &iter, mute_model_column, voice_mute_is_muted(*state.switches, voice),
                       solo_model_column, voice_mute_is_soloed(*state.switches, voice), -1);
  }
}

template <voice_switch which>
void on_switch_toggled(GtkCellRendererToggle* renderer, gchar* path, gpointer data) noexcept {
  voice_switches& switches = *static_cast<voice_table_state*>(data)->switches;
  const int voice = static_cast<int>(g_ascii_strtoll(path, nullptr, 10));
  const bool on = !gtk_cell_renderer_toggle_get_active(renderer);
  if (which == voice_switch::mute) voice_mute_set_muted(switches, voice, on);
  else voice_mute_set_soloed(switches, voice, on);
}

GtkTreeViewColumn* switch_column_new(voice_table_state& state, const char* title, GCallback on_toggled,
                                     int model_column) {
  GtkCellRenderer* renderer = gtk_cell_renderer_toggle_new();
  g_signal_connect(renderer, "toggled", on_toggled, &state);
  return gtk_tree_view_column_new_with_attributes(title, renderer, "active", model_column,
                                                  nullptr);
}

}  // namespace

GtkWidget* voice_table_new(voice_switches& switches, voice_source_chosen on_source_chosen) {
  auto state = std::make_unique<voice_table_state>();
  state->switches = &switches;
  state->on_source_chosen = std::move(on_source_chosen);
  GType types[model_column_count];
  for (GType& type : types) type = G_TYPE_STRING;
  types[mute_model_column] = G_TYPE_BOOLEAN;
  types[solo_model_column] = G_TYPE_BOOLEAN;
  state->store = gtk_list_store_newv(model_column_count, types);

  GtkWidget* view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(state->store));
  g_object_unref(state->store);  // the view keeps it
  GtkCellRenderer* renderer = gtk_cell_renderer_text_new();
  for (int i = 0; i < VOICE_COLUMN_COUNT; ++i) {
    state->columns[i] =
        gtk_tree_view_column_new_with_attributes(voice_headings[i], renderer, "text", i, nullptr);
    gtk_tree_view_append_column(GTK_TREE_VIEW(view), state->columns[i]);
    if (i == VOICE_COLUMN_VOICE) {
      auto& [mute, solo] = state->switch_columns;
      mute = switch_column_new(*state, "Mute", G_CALLBACK(on_switch_toggled<voice_switch::mute>),
                               mute_model_column);
      solo = switch_column_new(*state, "Solo", G_CALLBACK(on_switch_toggled<voice_switch::solo>),
                               solo_model_column);
      gtk_tree_view_append_column(GTK_TREE_VIEW(view), mute);
      gtk_tree_view_append_column(GTK_TREE_VIEW(view), solo);
    }
  }
  // As in the sample table: a press copies a cell, it does not pick a row.
  gtk_tree_selection_set_mode(gtk_tree_view_get_selection(GTK_TREE_VIEW(view)),
                              GTK_SELECTION_NONE);
  gtk_widget_add_events(view, GDK_BUTTON_PRESS_MASK);
  state->mute_listener = voice_mute_add_listener(switches, [s = state.get()] { show_switches(*s); });
  g_object_set_data_full(G_OBJECT(view), state_key, state.release(), [](gpointer data) {
    auto* s = static_cast<voice_table_state*>(data);
    voice_mute_remove_listener(*s->switches, s->mute_listener);
    delete s;
  });
  g_signal_connect(view, "button-press-event", G_CALLBACK(voice_table_press), nullptr);
  return view;
}

void voice_table_fill(GtkWidget* table,
                      const std::array<voice_state, dsp_voice_count>& voices) {
  voice_table_state& state = state_of(table);
  gtk_list_store_clear(state.store);
  for (const voice_state& v : voices) {
    state.sources[v.voice] = v.source;
    const std::string texts[] = {
        std::to_string(v.voice),   byte_text(v.source),
        byte_text(v.vol_left),     byte_text(v.vol_right),
        hex_text_format(v.pitch),  std::to_string(std::lround(v.rate_hz)),
        byte_text(v.adsr1),        byte_text(v.adsr2),
        byte_text(v.gain),         byte_text(v.envx),
        byte_text(v.outx),         switch_text(v.keyed_on),
        switch_text(v.echo),       switch_text(v.noise),
        switch_text(v.pitch_mod)};
    GtkTreeIter iter;
    gtk_list_store_append(state.store, &iter);
    for (int i = 0; i < VOICE_COLUMN_COUNT; ++i)
      gtk_list_store_set(state.store, &iter, i, texts[i].c_str(), -1);
  }
  show_switches(state);
}

GtkTreeViewColumn* voice_table_column(GtkWidget* table, int column) {
  return state_of(table).columns[column];
}

GtkTreeViewColumn* voice_table_switch_column(GtkWidget* table, voice_switch which) {
  return state_of(table).switch_columns[which == voice_switch::mute ? 0 : 1];
}
