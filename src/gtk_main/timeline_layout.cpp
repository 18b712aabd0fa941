#include "timeline_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "hex_text.h"
#include "id666.h"

std::size_t timeline_lanes::mark_count() const {
  std::size_t count = 0;
  for (const auto& lane : lanes) count += lane.size();
  return count;
}

timeline_lanes make_timeline_lanes(const song_trace& trace) {
  timeline_lanes result;
  result.samples = trace.samples;
  std::array<bool, dsp_voice_count> open{};
  const auto close = [&](int voice, std::int64_t at) {
    if (!open[voice]) return;
    result.lanes[voice].back().end = std::max(at, result.lanes[voice].back().start);
    open[voice] = false;
  };
  for (std::size_t i = 0; i < trace.events.size(); ++i) {
    const trace_event& e = trace.events[i];
    if (e.voice >= dsp_voice_count) continue;
    if (e.kind != trace_event_kind::key_on && e.kind != trace_event_kind::key_off) continue;
    close(e.voice, e.sample);
    if (e.kind != trace_event_kind::key_on) continue;
    result.lanes[e.voice].push_back({e.sample, e.sample, i});
    open[e.voice] = true;
  }
  for (int v = 0; v < dsp_voice_count; ++v) close(v, trace.samples);
  return result;
}

double timeline_geometry::lane_height() const {
  return std::max(0, height - ruler_height) / static_cast<double>(dsp_voice_count);
}

double timeline_geometry::lane_top(int voice) const { return ruler_height + voice * lane_height(); }

double timeline_geometry::x_of(double seconds) const {
  const double plot = std::max(1, width - header_width);
  return header_width + (seconds - first_seconds) / span_seconds * plot;
}

double timeline_geometry::seconds_at(double x) const {
  const double plot = std::max(1, width - header_width);
  return first_seconds + (x - header_width) / plot * span_seconds;
}

std::optional<int> timeline_geometry::lane_at(double x, double y) const {
  const double lane = lane_height();
  if (x < header_width || x >= width || y < ruler_height || lane <= 0) return std::nullopt;
  const int voice = static_cast<int>((y - ruler_height) / lane);
  if (voice >= dsp_voice_count) return std::nullopt;
  return voice;
}

bool timeline_geometry::on_ruler(double x, double y) const {
  return x >= header_width && x < width && y >= 0 && y < ruler_height;
}

std::optional<timeline_place> timeline_mark_at(const timeline_lanes& lanes,
                                               const timeline_geometry& geometry, double x,
                                               double y) {
  const std::optional<int> voice = geometry.lane_at(x, y);
  if (!voice) return std::nullopt;
  const auto& lane = lanes.lanes[*voice];
  const double at = geometry.seconds_at(x) * dsp_sample_rate;
  // The last mark starting at or before the pointer; a mark narrower than
  // a few pixels is still hit across those pixels, as it is drawn.
  const auto after = std::upper_bound(lane.begin(), lane.end(), at,
                                      [](double t, const timeline_mark& m) { return t < m.start; });
  if (after == lane.begin()) return std::nullopt;
  const timeline_mark& mark = *(after - 1);
  const double x0 = geometry.x_of(double(mark.start) / dsp_sample_rate);
  const double x1 = geometry.x_of(double(mark.end) / dsp_sample_rate);
  if (x >= std::max(x1, x0 + 3)) return std::nullopt;
  return timeline_place{*voice, static_cast<std::size_t>(after - 1 - lane.begin())};
}

std::pair<std::size_t, std::size_t> timeline_marks_between(const timeline_lanes& lanes, int voice,
                                                           std::int64_t first, std::int64_t last) {
  const auto& lane = lanes.lanes[voice];
  const auto begin = std::upper_bound(lane.begin(), lane.end(), first,
                                      [](std::int64_t t, const timeline_mark& m) { return t < m.end; });
  const auto end = std::lower_bound(begin, lane.end(), last,
                                    [](const timeline_mark& m, std::int64_t t) { return m.start < t; });
  // A mark of no length at `first` still shows as a sliver.
  auto from = begin;
  while (from != lane.begin() && (from - 1)->end == first && (from - 1)->start == first) --from;
  return {static_cast<std::size_t>(from - lane.begin()), static_cast<std::size_t>(end - lane.begin())};
}

std::optional<timeline_place> timeline_step_in_lane(const timeline_lanes& lanes,
                                                    timeline_place from, int step) {
  const auto& lane = lanes.lanes[from.voice];
  const auto index = static_cast<std::ptrdiff_t>(from.index) + step;
  if (index < 0 || index >= static_cast<std::ptrdiff_t>(lane.size())) return std::nullopt;
  return timeline_place{from.voice, static_cast<std::size_t>(index)};
}

std::optional<timeline_place> timeline_step_lane(const timeline_lanes& lanes,
                                                 timeline_place from, int step) {
  const std::int64_t at = lanes.lanes[from.voice][from.index].start;
  for (int voice = from.voice + step; voice >= 0 && voice < dsp_voice_count; voice += step) {
    const auto& lane = lanes.lanes[voice];
    if (lane.empty()) continue;
    auto next = std::lower_bound(lane.begin(), lane.end(), at,
                                 [](const timeline_mark& m, std::int64_t t) { return m.start < t; });
    if (next == lane.end() || (next != lane.begin() && at - (next - 1)->start <= next->start - at))
      --next;
    return timeline_place{voice, static_cast<std::size_t>(next - lane.begin())};
  }
  return std::nullopt;
}

std::optional<timeline_place> timeline_first_mark(const timeline_lanes& lanes) {
  std::optional<timeline_place> first;
  for (int voice = 0; voice < dsp_voice_count; ++voice) {
    const auto& lane = lanes.lanes[voice];
    if (lane.empty()) continue;
    if (!first || lane.front().start < lanes.lanes[first->voice].front().start)
      first = timeline_place{voice, 0};
  }
  return first;
}

timeline_window timeline_zoom(timeline_window window, double factor, double anchor, double total,
                              double min_span) {
  total = std::max(total, min_span);
  const double span = std::clamp(window.span_seconds * factor, min_span, total);
  const double first = anchor - (anchor - window.first_seconds) * span / window.span_seconds;
  return {std::clamp(first, 0.0, total - span), span};
}

timeline_window timeline_keep_in_sight(timeline_window window, double seconds, double total) {
  if (window.shows(seconds)) return window;
  const double first = seconds - window.span_seconds / 10;
  return {std::clamp(first, 0.0, std::max(0.0, total - window.span_seconds)), window.span_seconds};
}

double timeline_ruler_step(double span_seconds, double pixels, double min_pixels) {
  static constexpr double steps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 1800};
  for (const double step : steps)
    if (step / span_seconds * pixels >= min_pixels) return step;
  return 3600;
}

std::string tenths_time_text(double seconds) {
  const long long tenths = std::llround(std::max(0.0, seconds) * 10);
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld.%lld", tenths / 600, tenths % 600 / 10, tenths % 10);
  return text;
}

std::string timeline_time_text(double seconds, double step) {
  if (step < 1) return tenths_time_text(seconds);
  return minutes_seconds_text(std::llround(std::max(0.0, seconds)));
}

std::string pitch_note_text(u16 pitch, std::optional<double> root_key) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "%04X", pitch);
  if (!root_key || pitch == 0) return hex;
  static constexpr char names[][3] = {"C", "C#", "D", "D#", "E", "F",
                                      "F#", "G", "G#", "A", "A#", "B"};
  const double note = *root_key + 12 * std::log2(pitch / 4096.0);
  const long nearest = std::lround(note);
  const long cents = std::lround((note - nearest) * 100);
  const long octave = (nearest >= 0 ? nearest / 12 : (nearest - 11) / 12) - 1;
  std::string text = std::string(hex) + " (" + names[((nearest % 12) + 12) % 12] +
                     std::to_string(octave);
  if (cents != 0) text += (cents > 0 ? " +" : " \u2212") + std::to_string(std::labs(cents)) + " cents";
  return text + ")";
}

void timeline_voice_rgb(int voice, double rgb[3]) {
  // Eight hues far apart, light enough to read on the dark lanes.
  static constexpr unsigned char hues[dsp_voice_count][3] = {
      {0xE6, 0x4B, 0x4B}, {0xF5, 0x9E, 0x2F}, {0xE8, 0xD9, 0x3A}, {0x5C, 0xC8, 0x5C},
      {0x3C, 0xC8, 0xC8}, {0x4F, 0x8F, 0xF0}, {0xA0, 0x6C, 0xF0}, {0xF0, 0x6C, 0xC0}};
  for (int i = 0; i < 3; ++i) rgb[i] = hues[voice & 7][i] / 255.0;
}

std::string timeline_describe(const trace_event& key_on, std::optional<double> root_key) {
  const auto byte = [](std::int8_t v) { return hex_text_format(static_cast<u8>(v)); };
  return "Voice " + std::to_string(key_on.voice) + " \u00b7 sample " +
         hex_text_format(key_on.srcn + 1u) + "\nPitch " + pitch_note_text(key_on.pitch, root_key) +
         "\nAt " + tenths_time_text(key_on.seconds()) + "\nVolume " + byte(key_on.vol_left) +
         " left, " + byte(key_on.vol_right) + " right";
}
