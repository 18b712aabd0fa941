// The Notes view's arithmetic, apart from any drawing: a trace's key-ons as
// notes on a piano roll (time across, key up), each following its pitch
// changes while it sounds, the keys as the MIDI export counts them; where
// things are drawn, and which note lies under a point. No GTK.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "song_trace.h"
#include "timeline_layout.h"

// The root key of sample `sample_number` (SRCN + 1), when its tuning is known.
using notes_root_key = std::function<std::optional<double>(int sample_number)>;

// Where a note's key moves: from `sample` on it sounds at `key` (real;
// NaN: the voice went to pitch 0 and is silent).
struct notes_point {
  std::int64_t sample = 0;
  double key = 0;
};

// One key-on: from its time to the voice's next key-on or key-off, or to
// the end of the trace.
struct notes_note {
  int voice = 0;
  std::size_t event = 0;  // its key-on's index in the trace's events
  std::int64_t start = 0;
  std::int64_t end = 0;
  std::vector<notes_point> path;  // the key-on's key first, then each pitch change
  int key() const;                // the key-on's, to the nearest key
};

struct notes_roll {
  std::vector<notes_note> notes;  // in time order
  std::int64_t samples = 0;       // the trace's length
  int low_key = 60;               // the keys drawn, with a key to spare either way
  int high_key = 72;
};

// The notes of `trace`. A key-on's key is what the MIDI export plays it at
// (midi_sounding_key): its pitch register and its sample's root from
// `root_key_of`; a sample without one sounds C4 at 0x1000, its own rate.
// A key-on at pitch 0 sounds nothing and makes no note. Any thread.
notes_roll make_notes_roll(const song_trace& trace, const notes_root_key& root_key_of);

// The piano roll's geometry: the timeline's ruler and time across it,
// note names in the header column, and the keys from low_key to high_key
// in equal rows below the ruler. Every member: any thread.
struct notes_geometry {
  timeline_geometry time;
  int low_key = 60;
  int high_key = 72;

  double key_height() const;
  // The middle of key `key`'s row.
  double y_of(double key) const;
};

// The note under (x, y), as its index in `roll.notes`: a note is hit on its
// row over its length, at least 3 pixels, as drawn. Any thread.
std::optional<std::size_t> notes_note_at(const notes_roll& roll, const notes_geometry& geometry,
                                         double x, double y);

// What the hover says of a note: "C#4 · sample 1A · voice 3" and its time.
// Any thread.
std::string notes_describe(const notes_note& note, const trace_event& key_on);
