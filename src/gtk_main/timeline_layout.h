// The timeline's arithmetic, apart from any drawing: a trace's key-ons laid
// out in one lane per voice, the visible stretch of time mapped onto pixels,
// which mark lies under a point, moving between key-ons from the keyboard,
// the ruler's steps and texts, and a pitch's note name. No GTK.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dsp_registers.h"
#include "song_trace.h"

// One key-on as the timeline draws it: from its time to the voice's next
// key-on or key-off, or to the end of the trace.
struct timeline_mark {
  std::int64_t start = 0;  // DSP samples
  std::int64_t end = 0;
  std::size_t event = 0;   // its key-on's index in the trace's events
};

struct timeline_lanes {
  // One lane per voice, marks in time order; their ends never pass the
  // next mark's start, so both are ascending.
  std::array<std::vector<timeline_mark>, dsp_voice_count> lanes;
  std::int64_t samples = 0;  // the trace's length

  std::size_t mark_count() const;  // Any thread.
};

// The lanes of `trace`'s key-ons. Any thread.
timeline_lanes make_timeline_lanes(const song_trace& trace);

// A mark, named by its lane and its place in that lane.
struct timeline_place {
  int voice = 0;
  std::size_t index = 0;
  bool operator==(const timeline_place&) const = default;
};

// Where things are drawn: a ruler across the top, a header per lane on the
// left, eight lanes of equal height below the ruler, and `span_seconds` of
// time from `first_seconds` across the rest of the width. Every member: any
// thread.
struct timeline_geometry {
  static constexpr int ruler_height = 20;
  static constexpr int header_width = 72;

  int width = 0;
  int height = 0;
  double first_seconds = 0;
  double span_seconds = 1;

  double lane_height() const;
  double lane_top(int voice) const;
  double x_of(double seconds) const;
  double seconds_at(double x) const;
  // The voice whose lane holds y, to the right of the headers; none on the
  // ruler, the headers or below the lanes.
  std::optional<int> lane_at(double x, double y) const;
  bool on_ruler(double x, double y) const;
};

// The mark under (x, y), if any. Any thread.
std::optional<timeline_place> timeline_mark_at(const timeline_lanes& lanes,
                                               const timeline_geometry& geometry, double x,
                                               double y);

// The marks of `voice` that overlap [first, last) samples, as an index
// range [begin, end) into its lane. Any thread.
std::pair<std::size_t, std::size_t> timeline_marks_between(const timeline_lanes& lanes, int voice,
                                                           std::int64_t first, std::int64_t last);

// Keyboard moves. Left/Right: the key-on before or after `from` on its lane
// (none at either end). Up/Down: the nearest lane above or below that has
// key-ons, on the key-on there closest in time to `from`'s. First: the
// earliest key-on of all (the lowest voice on a tie). Any thread.
std::optional<timeline_place> timeline_step_in_lane(const timeline_lanes& lanes,
                                                    timeline_place from, int step);
std::optional<timeline_place> timeline_step_lane(const timeline_lanes& lanes,
                                                 timeline_place from, int step);
std::optional<timeline_place> timeline_first_mark(const timeline_lanes& lanes);

// The stretch shown after zooming by `factor` (below 1 zooms in) about the
// time `anchor`, which stays where it is on screen; the span stays between
// `min_span` and `total`, and the stretch inside [0, total]. Any thread.
struct timeline_window {
  double first_seconds;
  double span_seconds;
  // Whether `seconds` lies in the stretch, either end included.
  bool shows(double seconds) const {
    return seconds >= first_seconds && seconds <= first_seconds + span_seconds;
  }
};
timeline_window timeline_zoom(timeline_window window, double factor, double anchor,
                              double total, double min_span);

// The stretch scrolled so that `seconds` lies a tenth of the span in from
// its left edge (a page turn, for a playhead running on); unchanged when it
// lies inside already. Any thread.
timeline_window timeline_keep_in_sight(timeline_window window, double seconds, double total);

// The ruler's step: the smallest of 0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60,
// 120, 300 ... seconds whose ticks lie at least `min_pixels` apart. Any thread.
double timeline_ruler_step(double span_seconds, double pixels, double min_pixels);

// A ruler label: "1:05", or "0:00.4" when the step is under a second. Any thread.
std::string timeline_time_text(double seconds, double step);

// "0:00.4": minutes, seconds and tenths, as the Sample page says when a
// sample is first played. Any thread.
std::string tenths_time_text(double seconds);

// A pitch as the hover names it: "0800" alone, or with its note when the
// sample's root key is known: the (fractional) MIDI note the sample sounds
// at pitch 0x1000, 60 being C4. "0800 (C3 +12 cents)". Any thread.
std::string pitch_note_text(u16 pitch, std::optional<double> root_key);

// The colour voice `voice` is drawn in, each component in 0 ... 1: its lane
// header's and its notes' in the Notes view. Any thread.
void timeline_voice_rgb(int voice, double rgb[3]);

// What the hover says of one key-on: voice, sample, pitch, time, volumes.
// Any thread.
std::string timeline_describe(const trace_event& key_on, std::optional<double> root_key);
