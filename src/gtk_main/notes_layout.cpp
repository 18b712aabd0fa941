#include "notes_layout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "hex_text.h"
#include "sample_tuning.h"
#include "song_midi.h"

int notes_note::key() const { return static_cast<int>(std::lround(path.front().key)); }

notes_roll make_notes_roll(const song_trace& trace, const notes_root_key& root_key_of) {
  notes_roll roll;
  roll.samples = trace.samples;
  // A sample's tuning, asked for once per sample: finding one may measure it.
  std::array<std::optional<sample_tuning>, 256> tunings;
  const auto tuning_of = [&](u8 srcn) -> const sample_tuning& {
    std::optional<sample_tuning>& tuning = tunings[srcn];
    if (!tuning) {
      tuning.emplace();
      if (root_key_of)
        if (const std::optional<double> root = root_key_of(srcn + 1)) tuning->root = *root;
    }
    return *tuning;
  };
  const auto key_at = [](const sample_tuning& tuning, u16 pitch) {
    return pitch == 0 ? std::numeric_limits<double>::quiet_NaN()
                      : midi_sounding_key(tuning, pitch);
  };
  std::array<std::optional<std::size_t>, dsp_voice_count> open{};
  std::array<u8, dsp_voice_count> open_srcn{};
  const auto close = [&](int voice, std::int64_t at) {
    if (!open[voice]) return;
    notes_note& note = roll.notes[*open[voice]];
    note.end = std::max(at, note.start);
    open[voice].reset();
  };
  for (std::size_t i = 0; i < trace.events.size(); ++i) {
    const trace_event& e = trace.events[i];
    if (e.voice >= dsp_voice_count) continue;
    switch (e.kind) {
      case trace_event_kind::key_on:
        close(e.voice, e.sample);
        if (e.pitch == 0) break;
        open[e.voice] = roll.notes.size();
        open_srcn[e.voice] = e.srcn;
        roll.notes.push_back({e.voice, i, e.sample, e.sample,
                              {{e.sample, key_at(tuning_of(e.srcn), e.pitch)}}});
        break;
      case trace_event_kind::key_off: close(e.voice, e.sample); break;
      case trace_event_kind::pitch:
        if (open[e.voice])
          roll.notes[*open[e.voice]].path.push_back(
              {e.sample, key_at(tuning_of(open_srcn[e.voice]), e.pitch)});
        break;
      default: break;
    }
  }
  for (int voice = 0; voice < dsp_voice_count; ++voice) close(voice, trace.samples);
  double low = std::numeric_limits<double>::infinity(), high = -low;
  for (const notes_note& note : roll.notes)
    for (const notes_point& point : note.path)
      if (std::isfinite(point.key)) {
        low = std::min(low, point.key);
        high = std::max(high, point.key);
      }
  if (low <= high) {
    roll.low_key = static_cast<int>(std::lround(low)) - 1;
    roll.high_key = static_cast<int>(std::lround(high)) + 1;
  }
  return roll;
}

double notes_geometry::key_height() const {
  const int rows = high_key - low_key + 1;
  return std::max(0, time.height - timeline_geometry::ruler_height) / static_cast<double>(rows);
}

double notes_geometry::y_of(double key) const {
  return timeline_geometry::ruler_height + (high_key - key + 0.5) * key_height();
}

namespace {

// The key a note sounds at `sample` (NaN when silent then).
double key_when(const notes_note& note, double sample) {
  auto after = std::upper_bound(note.path.begin(), note.path.end(), sample,
                                [](double t, const notes_point& p) { return t < p.sample; });
  return after == note.path.begin() ? note.path.front().key : (after - 1)->key;
}

}  // namespace

std::optional<std::size_t> notes_note_at(const notes_roll& roll, const notes_geometry& geometry,
                                         double x, double y) {
  const timeline_geometry& g = geometry.time;
  if (x < timeline_geometry::header_width || x >= g.width || y < timeline_geometry::ruler_height)
    return std::nullopt;
  const double half_row = std::max(geometry.key_height() / 2, 2.0);
  std::optional<std::size_t> hit;
  for (std::size_t i = 0; i < roll.notes.size(); ++i) {
    const notes_note& note = roll.notes[i];
    const double x0 = g.x_of(double(note.start) / dsp_sample_rate);
    const double x1 = std::max(g.x_of(double(note.end) / dsp_sample_rate), x0 + 3);
    if (x < x0 || x >= x1) continue;
    const double at = std::clamp(g.seconds_at(x) * dsp_sample_rate, double(note.start),
                                 double(note.end));
    const double key = key_when(note, at);
    if (std::isfinite(key) && std::abs(geometry.y_of(key) - y) <= half_row) hit = i;  // the last drawn
  }
  return hit;
}

std::string notes_describe(const notes_note& note, const trace_event& key_on) {
  return midi_note_name(note.key()) + " \u00b7 sample " + hex_text_format(key_on.srcn + 1u) +
         " \u00b7 voice " + std::to_string(note.voice) + "\nAt " +
         tenths_time_text(key_on.seconds());
}
