// What the Song page's timeline costs to draw from scratch (its cached
// background) offscreen at the pane's size: 10,000 key-ons over three
// minutes on eight voices, fitted (every mark in sight, most narrower than
// a pixel) and zoomed to ten seconds. No display needed.

#include <benchmark/benchmark.h>
#include <cairo.h>

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

}  // namespace

BENCHMARK_MAIN();
