// What the Song page's timeline costs to draw from scratch (its cached
// background) offscreen at the pane's size: 10,000 key-ons over three
// minutes on eight voices, fitted (every mark in sight, most narrower than
// a pixel) and zoomed to ten seconds. The same for the Notes view, whose
// notes each slide once, with what it costs to lay them out and what a
// frame costs once they are drawn (the playhead's). No display needed.

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <optional>
#include <vector>

#include "notes_layout.h"
#include "notes_view.h"
#include "timeline_layout.h"
#include "timeline_view.h"

namespace {

// Key-ons spread evenly over 180 s, voice after voice, 64 samples and
// every volume taking turns.
song_trace ten_thousand_key_ons() {
  song_trace trace;
  trace.samples = 180 * dsp_sample_rate;
  constexpr int count = 10000;
  for (int i = 0; i < count; ++i) {
    trace_event e;
    e.sample = static_cast<std::int64_t>(i) * trace.samples / count;
    e.voice = static_cast<u8>(i % 8);
    e.srcn = static_cast<u8>(i % 64);
    e.pitch = static_cast<u16>(0x0400 + (i % 48) * 0x80);
    e.vol_left = e.vol_right = static_cast<std::int8_t>(i % 128);
    trace.events.push_back(e);
  }
  return trace;
}

void BM_TimelineDraw(benchmark::State& state) {
  const song_trace trace = ten_thousand_key_ons();
  const timeline_lanes lanes = make_timeline_lanes(trace);
  const int width = static_cast<int>(state.range(0));
  constexpr int height = 260;
  const timeline_window window{0, static_cast<double>(state.range(1))};
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  for (auto _ : state) {
    timeline_draw(cr, width, height, trace, lanes, window, 0);
    cairo_surface_flush(surface);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  state.counters["key_ons"] = static_cast<double>(lanes.mark_count());
}
// Width in pixels, seconds shown.
BENCHMARK(BM_TimelineDraw)
    ->Args({441, 180})
    ->Args({1200, 180})
    ->Args({441, 10})
    ->Args({1200, 10})
    ->Unit(benchmark::kMicrosecond);

void BM_TimelineLanes(benchmark::State& state) {
  const song_trace trace = ten_thousand_key_ons();
  for (auto _ : state) benchmark::DoNotOptimize(make_timeline_lanes(trace).mark_count());
}
BENCHMARK(BM_TimelineLanes)->Unit(benchmark::kMicrosecond);

// The same key-ons, each sliding a tone up halfway to the next.
song_trace ten_thousand_sliding_notes() {
  song_trace trace = ten_thousand_key_ons();
  std::vector<trace_event> events;
  for (std::size_t i = 0; i < trace.events.size(); ++i) {
    events.push_back(trace.events[i]);
    trace_event slide = trace.events[i];
    slide.kind = trace_event_kind::pitch;
    slide.sample += trace.samples / 20000;
    slide.pitch = static_cast<u16>(slide.pitch * 9 / 8);
    events.push_back(slide);
  }
  trace.events = std::move(events);
  return trace;
}

notes_root_key every_root_c4() {
  return [](int) { return std::optional<double>(60.0); };
}

void BM_NotesRoll(benchmark::State& state) {
  const song_trace trace = ten_thousand_sliding_notes();
  for (auto _ : state)
    benchmark::DoNotOptimize(make_notes_roll(trace, every_root_c4()).notes.size());
}
BENCHMARK(BM_NotesRoll)->Unit(benchmark::kMicrosecond);

// Where the notes lie over width x height showing `seconds` from the start.
notes_geometry notes_geometry_of(const notes_roll& roll, int width, int height, double seconds) {
  return {{width, height, 0, seconds}, roll.low_key, roll.high_key};
}

void BM_NotesDraw(benchmark::State& state) {
  const song_trace trace = ten_thousand_sliding_notes();
  const notes_roll roll = make_notes_roll(trace, every_root_c4());
  const int width = static_cast<int>(state.range(0));
  constexpr int height = 260;
  const notes_geometry g = notes_geometry_of(roll, width, height, double(state.range(1)));
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  for (auto _ : state) {
    notes_draw(cr, g, roll, 0);
    cairo_surface_flush(surface);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  state.counters["notes"] = static_cast<double>(roll.notes.size());
}
BENCHMARK(BM_NotesDraw)->Args({441, 180})->Args({1200, 180})->Args({1200, 10})
    ->Unit(benchmark::kMicrosecond);

// A frame in which only the playhead moved: the drawn notes copied from
// their surface.
void BM_NotesFrame(benchmark::State& state) {
  const song_trace trace = ten_thousand_sliding_notes();
  const notes_roll roll = make_notes_roll(trace, every_root_c4());
  constexpr int width = 1200, height = 260;
  const notes_geometry g = notes_geometry_of(roll, width, height, 180);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  timeline_background background;
  for (auto _ : state) {
    background.paint(cr, width, height, [&](cairo_t* into) { notes_draw(into, g, roll, 0); });
    cairo_surface_flush(surface);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}
BENCHMARK(BM_NotesFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
