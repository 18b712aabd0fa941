// The pane's glue: what is inspected, the table's cursor that picks it, and
// Play Sample's audition image handed to the playback controller.

#include "inspector_pane.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "aram_map.h"
#include "hex_text.h"
#include "message_line.h"
#include "play_button.h"
#include "sample_table.h"
#include "song_page.h"
#include "song_play_text.h"
#include "spc700_program.h"
#include "tuning.h"
#include "voice_table.h"

namespace {

constexpr char play_sample_label[] = "Play Sample";
constexpr char stop_sample_label[] = "Stop Sample";
constexpr char never_ends_reason[] = "It never reaches an end flag: it cannot play alone.";

}  // namespace

struct inspector_pane {
  inspector_pane_widgets widgets{};
  std::shared_ptr<const spc_format> spc;
  std::vector<sample_chart> chart;
  int inspected = 0;
  sample_facts inspected_facts;  // shown on the Sample page
  own_pitch inspected_own;       // the inspected entry's own pitch, for its tuning
  std::shared_ptr<const song_trace> trace;
  std::array<sample_play, 256> song_plays;  // the trace's summary, per directory index
  std::map<int, std::optional<double>> root_keys;  // for the timeline's notes, per entry
  // The Voices and Audio RAM pages' scrolled windows; what they show is
  // built when the page is first opened (null in widgets until then).
  GtkWidget* voices_page = nullptr;
  GtkWidget* map_page = nullptr;
  play_button* controls = nullptr;  // the window's; Play Sample plays through it
  sample_table* table = nullptr;     // the window's; its cursor picks the inspected entry
  background_tasks* tasks = nullptr;  // the window's; the map's whole-song trace runs there
};

namespace {

const sample_chart* chart_row(inspector_pane& pane, int sample_number) {
  for (const sample_chart& row : pane.chart)
    if (row.sample_number == sample_number) return &row;
  return nullptr;
}

GtkWidget* play_sample_button(inspector_pane& pane) { return sample_inspector_play_button(pane.widgets.inspector); }

bool sample_playing(inspector_pane& pane) {
  return pane.controls && play_button_playing(*pane.controls) == play_sample_button(pane);
}

// The inspected entry's tuning: its own pitch, and the song's notes once
// the song has been followed.
sample_tuning inspected_tuning(inspector_pane& pane) {
  const std::vector<sample_play::pitch_count> none;
  const auto& pitches =
      pane.trace && pane.inspected > 0
          ? pane.song_plays[static_cast<std::size_t>(pane.inspected - 1)].pitches
          : none;
  return tune_sample(pane.inspected_own, pitches);
}

// Entry `sample_number`'s root key as the Sample page tunes it (its own
// pitch, checked against the song's notes), for the timeline's note names;
// worked out on the first hover over one of its key-ons, then kept until
// the next file or trace. None when it has no tuning.
std::optional<double> root_key_of(inspector_pane& pane, int sample_number) {
  if (!pane.spc || sample_number < 1 || sample_number > 256) return std::nullopt;
  const auto known = pane.root_keys.find(sample_number);
  if (known != pane.root_keys.end()) return known->second;
  std::optional<double> root;
  if (const sample_chart* row = chart_row(pane, sample_number)) {
    const sample_tuning tuning =
        tune_sample(inspect_sample(*pane.spc, *row).own,
                    pane.song_plays[static_cast<std::size_t>(sample_number - 1)].pitches);
    if (tuning.method != tuning_method::none) root = tuning.root;
  }
  pane.root_keys.emplace(sample_number, root);
  return root;
}

std::string tuning_line(inspector_pane& pane) {
  const sample_tuning tuning = inspected_tuning(pane);
  return tuning.method == tuning_method::none ? std::string() : tuning_text(tuning);
}

void on_play_sample_pressed(inspector_pane& pane, int semitones) {
  if (sample_playing(pane)) {
    play_button_stop(*pane.controls);
    return;
  }
  if (!pane.spc || !chart_row(pane, pane.inspected)) return;
  // A note in the note field plays the sample at that note; else the offset.
  GtkWidget* note_entry = sample_inspector_note(pane.widgets.inspector);
  const char* note_text = gtk_entry_get_text(GTK_ENTRY(note_entry));
  std::optional<int> note;
  if (note_text && *note_text) {
    note = parse_midi_note(note_text);
    if (!note) {
      message_line_show(pane.widgets.notebook, message_kind::error, std::string("\"") + note_text +
                                                 "\" is not a note: write one as A4, C#3 or Bb2");
      return;
    }
  }
  std::shared_ptr<const spc_format> audition =
      note ? make_audition_spc_at_pitch(*pane.spc, pane.inspected - 1,
                                        pitch_for_note(inspected_tuning(pane), *note))
           : make_audition_spc(*pane.spc, pane.inspected - 1, semitones);
  if (!audition) {
    const std::string reason = "No room is left in audio RAM for the program that plays it.";
    sample_inspector_set_playable(pane.widgets.inspector, reason.c_str());
    message_line_show(pane.widgets.notebook, message_kind::error,
                      "Sample " + hex_text_format(static_cast<unsigned long>(pane.inspected)) +
                          ": " + reason);
    return;
  }
  play_button_play(*pane.controls, play_sample_button(pane), std::move(audition), play_sample_label,
                   stop_sample_label);
}

// The table's cursor is the inspected row, whether a click or a key moved it.
void on_cursor_changed(GtkTreeView*, gpointer data) noexcept {
  inspector_pane& pane = *static_cast<inspector_pane*>(data);
  const int number = sample_table_cursor_sample(*pane.table);
  if (number != 0) inspector_pane_inspect(pane, number);
}

// A press on the map or a voice: the table's cursor goes to the entry's row
// (which inspects it), unless the filters hide that row.
void inspect_and_show_row(inspector_pane& pane, int sample_number) {
  sample_table_move_cursor_to(*pane.table, sample_number);
  inspector_pane_inspect(pane, sample_number);
}

// The Sample page's line about the song: "" until it has been followed.
std::string song_play_line(inspector_pane& pane, int sample_number) {
  if (!pane.trace || sample_number < 1 || sample_number > 256) return {};
  return sample_play_text(pane.song_plays[static_cast<std::size_t>(sample_number - 1)],
                          pane.trace->seconds());
}

GtkWidget* scrolled(GtkWidget* child, GtkPolicyType horizontal) {
  GtkWidget* window = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(window), horizontal, GTK_POLICY_AUTOMATIC);
  if (child) gtk_container_add(GTK_CONTAINER(window), child);
  return window;
}

void append_page(inspector_pane& pane, GtkWidget* child, const char* title) {
  gtk_container_set_border_width(GTK_CONTAINER(child), 6);
  gtk_notebook_append_page(GTK_NOTEBOOK(pane.widgets.notebook), child, gtk_label_new(title));
}

void show_voices(inspector_pane& pane) {
  GtkTreeView* view = GTK_TREE_VIEW(pane.widgets.voice_table);
  if (pane.spc)
    voice_table_fill(pane.widgets.voice_table, read_voices(*pane.spc));
  else
    gtk_list_store_clear(GTK_LIST_STORE(gtk_tree_view_get_model(view)));
}

void show_map_layout(inspector_pane& pane) {
  aram_map_set_layout(pane.widgets.map, pane.spc ? make_aram_layout(*pane.spc) : nullptr);
  aram_map_set_song(pane.widgets.map, pane.spc);
}

void show_map_played(inspector_pane& pane) {
  const std::array<bool, 256> played = played_sources(pane.song_plays);
  aram_map_set_played(pane.widgets.map, pane.trace ? &played : nullptr);
}

// The first frame shows the Sample page only: the other pages are built
// when first opened, or asked for, and then show what the pane holds.
void ensure_voices_page(inspector_pane& pane) {
  inspector_pane_widgets& w = pane.widgets;
  if (w.voice_table || !pane.voices_page) return;
  w.voice_table = voice_table_new(play_button_voices(*pane.controls), [&pane](int source) { inspect_and_show_row(pane, source + 1); });
  gtk_container_add(GTK_CONTAINER(pane.voices_page), w.voice_table);
  gtk_widget_show_all(w.voice_table);
  show_voices(pane);
}

void ensure_map_page(inspector_pane& pane) {
  inspector_pane_widgets& w = pane.widgets;
  if (w.map || !pane.map_page) return;
  w.map = aram_map_new(
      *pane.tasks, [&pane](int number) { inspect_and_show_row(pane, number); }, pane.controls);
  gtk_container_add(GTK_CONTAINER(pane.map_page), w.map);
  gtk_widget_show_all(w.map);
  show_map_layout(pane);
  aram_map_set_inspected(w.map, pane.inspected > 0 ? pane.inspected : 0);
  show_map_played(pane);
}

void on_switch_page(GtkNotebook*, GtkWidget* page, guint, gpointer data) noexcept {
  inspector_pane& pane = *static_cast<inspector_pane*>(data);
  if (page == pane.voices_page) ensure_voices_page(pane);
  if (page == pane.map_page) ensure_map_page(pane);
}

}  // namespace

void inspector_pane_free::operator()(inspector_pane* pane) const noexcept { delete pane; }

inspector_pane_ptr inspector_pane_new(play_button& controls, sample_table& table,
                                      background_tasks& tasks) {
  inspector_pane_ptr owned(new inspector_pane);
  inspector_pane& pane = *owned;
  pane.tasks = &tasks;
  pane.controls = &controls;
  pane.table = &table;
  inspector_pane_widgets& w = pane.widgets;
  w.notebook = gtk_notebook_new();
  w.inspector = sample_inspector_new(
      [&pane](int semitones) { on_play_sample_pressed(pane, semitones); });
  append_page(pane, w.inspector, "Sample");
  pane.voices_page = scrolled(nullptr, GTK_POLICY_AUTOMATIC);
  append_page(pane, pane.voices_page, "Voices");
  // The map's legend is taller than the window can spare beside the table.
  pane.map_page = scrolled(nullptr, GTK_POLICY_NEVER);
  append_page(pane, pane.map_page, "Audio RAM");
  g_signal_connect(w.notebook, "switch-page", G_CALLBACK(on_switch_page), &pane);
  w.song = song_page_new(controls, [&pane](int number) { inspect_and_show_row(pane, number); });
  song_page_set_root_key_source(w.song, [&pane](int number) { return root_key_of(pane, number); });
  append_page(pane, w.song, "Song");
  g_signal_connect(sample_table_view(table), "cursor-changed", G_CALLBACK(on_cursor_changed), &pane);
  inspector_pane_inspect(pane, 0);
  return owned;
}

GtkWidget* inspector_pane_widget(const inspector_pane& pane) { return pane.widgets.notebook; }

void inspector_pane_show_file(inspector_pane& pane, std::shared_ptr<const spc_format> spc, const sample_chart* chart,
                              std::int32_t count) {
  pane.spc = std::move(spc);
  pane.chart.assign(chart, chart + (chart ? count : 0));
  pane.inspected = -1;  // whatever comes next is shown afresh
  const inspector_pane_widgets& w = pane.widgets;
  // The song of the file before says nothing of this one.
  pane.trace.reset();
  pane.song_plays = {};
  pane.root_keys.clear();
  song_page_show_trace(w.song, nullptr);
  if (w.voice_table) show_voices(pane);
  if (w.map) show_map_layout(pane);
  const std::vector<int> shown = sample_table_shown_sample_numbers(*pane.table);
  inspect_and_show_row(pane, pane.spc && !shown.empty() ? shown.front() : 0);
}

void inspector_pane_inspect(inspector_pane& pane, int sample_number) {
  if (sample_number == pane.inspected) return;
  if (sample_playing(pane)) play_button_stop(*pane.controls);
  const sample_chart* row = pane.spc ? chart_row(pane, sample_number) : nullptr;
  pane.inspected = row ? sample_number : 0;
  const inspector_pane_widgets& w = pane.widgets;
  if (w.map) aram_map_set_inspected(w.map, pane.inspected);
  if (!row) {
    sample_inspector_show_nothing(w.inspector);
    return;
  }
  inspected_sample shown = inspect_sample(*pane.spc, *row);
  shown.facts.song_play = song_play_line(pane, pane.inspected);
  pane.inspected_own = shown.own;
  shown.facts.tuning = tuning_line(pane);
  pane.inspected_facts = shown.facts;
  sample_inspector_show(w.inspector, shown.facts, shown.waveform);
  sample_inspector_set_playable(w.inspector, shown.ends ? nullptr : never_ends_reason);
}

void inspector_pane_show_trace(inspector_pane& pane, std::shared_ptr<const song_trace> trace,
                               const std::array<sample_play, 256>& plays) {
  pane.trace = std::move(trace);
  pane.song_plays = plays;
  pane.root_keys.clear();
  const inspector_pane_widgets& w = pane.widgets;
  if (w.map) show_map_played(pane);
  song_page_show_trace(w.song, pane.trace);
  if (pane.inspected > 0) {
    pane.inspected_facts.song_play = song_play_line(pane, pane.inspected);
    pane.inspected_facts.tuning = tuning_line(pane);
    sample_inspector_set_facts(w.inspector, pane.inspected_facts);
  }
}

int inspector_pane_inspected(const inspector_pane& pane) { return pane.inspected; }

const inspector_pane_widgets& inspector_pane_get_widgets(inspector_pane& pane) {
  ensure_voices_page(pane);
  ensure_map_page(pane);
  return pane.widgets;
}
