// The inspector pane's content for one directory entry: its facts in the
// table's hexadecimal style, its waveform, and Play Sample with an offset
// of -24 ... +24 semitones or at a note. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pitch_detect.h"
#include "spc.h"
#include "waveform_view.h"

struct sample_facts {
  int sample_number = 0;      // directory index + 1
  u16 start = 0;
  u16 end = 0;                // last byte of the end block
  int blocks = 0;
  std::size_t samples = 0;    // of the first pass
  int loop_sample = -1;       // the loop's first sample; -1 when it plays once
  unsigned filters_used = 0;  // bit f set when a block uses filter f
  int largest_range = 0;
  std::vector<int> voices;    // voices whose source number is this entry
  std::vector<std::string> warnings;
  std::string song_play;      // what the song does with it; "" until it has been followed
  std::string tuning;         // "Root C4 +12 cents (loop period), played E3–G5"; "" when unknown
};

// The facts as the pane shows them, a line each, e.g. "Sample 1A · SRCN 19".
// Any thread.
std::vector<std::string> sample_facts_lines(const sample_facts& facts);

// What directory entry `row` of `spc` shows: its facts (with the warnings
// of the export manifest and the voices using it) and its waveform (first
// pass, then one later pass of its loop as the DSP plays it). Any thread.
struct inspected_sample {
  sample_facts facts;
  std::shared_ptr<const waveform_data> waveform;
  bool ends = false;  // its chain reaches an end flag: it can be auditioned
  own_pitch own;      // its pitch as it loops, for its tuning
};
inspected_sample inspect_sample(const spc_format& spc, const sample_chart& row);

// Called at each press of the button with the spin's offset in semitones;
// the owner plays or stops and says which through sample_inspector_set_playing.
using sample_play_pressed = std::function<void(int semitones)>;

// Builds the pane's content, showing no entry. GTK main thread only.
GtkWidget* sample_inspector_new(sample_play_pressed on_play_pressed);

// Shows `facts` and `waveform` (null: none). GTK main thread only.
void sample_inspector_show(GtkWidget* inspector, const sample_facts& facts,
                           std::shared_ptr<const waveform_data> waveform);

// Shows `facts` again, leaving the waveform as it is: for a line that
// arrives later (what the song plays). GTK main thread only.
void sample_inspector_set_facts(GtkWidget* inspector, const sample_facts& facts);

// Empties the facts and the waveform and disables the button. GTK main
// thread only.
void sample_inspector_show_nothing(GtkWidget* inspector);

// Enables the button when `reason` is null; otherwise disables it and says
// why beside it. GTK main thread only.
void sample_inspector_set_playable(GtkWidget* inspector, const char* reason);

// Labels the button "Stop Sample" while the sample plays, else "Play Sample".
// GTK main thread only.
void sample_inspector_set_playing(GtkWidget* inspector, bool playing);

// Parts, for the window and for tests. GTK main thread only.
GtkWidget* sample_inspector_facts(GtkWidget* inspector);     // a label
GtkWidget* sample_inspector_waveform(GtkWidget* inspector);  // a waveform_view
GtkWidget* sample_inspector_play_button(GtkWidget* inspector);
GtkWidget* sample_inspector_semitones(GtkWidget* inspector);  // a spin button
// Play Sample's note field (an entry): when it names a note ("A4"), the
// sample plays at the pitch that sounds that note instead of the offset.
GtkWidget* sample_inspector_note(GtkWidget* inspector);
GtkWidget* sample_inspector_reason(GtkWidget* inspector);     // a label
