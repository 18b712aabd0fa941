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

#include "play_button.h"
#include "sample_inspector.h"
#include "song_trace.h"
#include "spc.h"

// Builds the pane (once per process), following the sample table's cursor;
// call after sample_table_new. Play Sample and the Song page play through
// `controls`, which outlive the pane. Returns the notebook to pack. GTK
// main thread only.
GtkWidget* inspector_pane_new(play_button& controls);

// Shows `spc` (null: nothing) with its chart of `count` rows: the voices,
// the map, and the table's first shown row inspected (the table must hold
// this chart's rows). Call after the playback controller stopped what
// played. GTK main thread only.
void inspector_pane_show_file(std::shared_ptr<const spc_format> spc, const sample_chart* chart,
                              std::int32_t count);

// What the song does, once followed (null: not yet): the Sample page says
// what it plays of the inspected entry, the map draws the entries it never
// plays faint, and the "Song" page shows its timeline. GTK main thread only.
// `plays` is the trace's summary per directory index.
void inspector_pane_show_trace(std::shared_ptr<const song_trace> trace,
                               const std::array<sample_play, 256>& plays);

// Makes sample `sample_number` (1 ... 256) the inspected entry; 0 or a
// number the chart does not list shows none. A playing sample of another
// entry stops. GTK main thread only.
void inspector_pane_inspect(int sample_number);

// The inspected sample number; 0 for none. GTK main thread only.
int inspector_pane_inspected();

// Parts, for tests, the benchmark and the screenshot. GTK main thread only.
struct inspector_pane_widgets {
  GtkWidget* notebook;
  GtkWidget* inspector;    // sample_inspector
  GtkWidget* voice_table;  // voice_table view
  GtkWidget* map;          // aram_map box
  GtkWidget* song;         // song_page
};
const inspector_pane_widgets& inspector_pane_get_widgets();
