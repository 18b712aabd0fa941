// The pane beside the sample table: a notebook with the inspected entry
// ("Sample": its facts, waveform and Play Sample), the eight voices
// ("Voices"), the audio RAM map ("Audio RAM") and the song's timeline
// ("Song"). The inspected entry
// follows the table's cursor; a press on a voice or on a sample's byte in
// the map inspects that sample and moves the table's cursor to its row.
// Play Sample plays through the playback controller, so one thing plays at
// a time. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <array>
#include <memory>

#include "background_tasks.h"
#include "play_button.h"
#include "sample_inspector.h"
#include "sample_table.h"
#include "song_trace.h"
#include "spc.h"

// One window's pane. The window owns it.
struct inspector_pane;
struct inspector_pane_free {
  void operator()(inspector_pane* pane) const noexcept;
};
using inspector_pane_ptr = std::unique_ptr<inspector_pane, inspector_pane_free>;

// Builds the pane, following the cursor of `table`. Play Sample and the Song
// page play through `controls`; the pages' work off the main loop runs as
// jobs of `tasks`. All three outlive the pane. GTK main thread only.
inspector_pane_ptr inspector_pane_new(play_button& controls, sample_table& table,
                                      background_tasks& tasks);

// The notebook to pack. GTK main thread only.
GtkWidget* inspector_pane_widget(const inspector_pane& pane);

// Shows `spc` (null: nothing) with its chart of `count` rows: the voices,
// the map, and the table's first shown row inspected (the table must hold
// this chart's rows). Call after the playback controller stopped what
// played. GTK main thread only.
void inspector_pane_show_file(inspector_pane& pane, std::shared_ptr<const spc_format> spc, const sample_chart* chart,
                              std::int32_t count);

// What the song does, once followed (null: not yet): the Sample page says
// what it plays of the inspected entry, the map draws the entries it never
// plays faint, and the "Song" page shows its timeline. GTK main thread only.
// `plays` is the trace's summary per directory index.
void inspector_pane_show_trace(inspector_pane& pane, std::shared_ptr<const song_trace> trace,
                               const std::array<sample_play, 256>& plays);

// Makes sample `sample_number` (1 ... 256) the inspected entry; 0 or a
// number the chart does not list shows none. A playing sample of another
// entry stops. GTK main thread only.
void inspector_pane_inspect(inspector_pane& pane, int sample_number);

// The inspected sample number; 0 for none. GTK main thread only.
int inspector_pane_inspected(const inspector_pane& pane);

// Parts, for tests, the benchmark and the screenshot. GTK main thread only.
struct inspector_pane_widgets {
  GtkWidget* notebook;
  GtkWidget* inspector;    // sample_inspector
  GtkWidget* voice_table;  // voice_table view
  GtkWidget* map;          // aram_map box
  GtkWidget* song;         // song_page
};
const inspector_pane_widgets& inspector_pane_get_widgets(inspector_pane& pane);
