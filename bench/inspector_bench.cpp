// What the inspector's pictures cost: the waveform of a long sample and the
// whole audio RAM map, each drawn from scratch into an offscreen surface of
// a size the window gives them. Neither needs a display.

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <memory>

#include "aram_map.h"
#include "sample_inspector.h"
#include "spc_builder.h"
#include "waveform_view.h"

namespace {

struct surface_and_context {
  cairo_surface_t* surface;
  cairo_t* cr;
  surface_and_context(int width, int height)
      : surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)),
        cr(cairo_create(surface)) {}
  ~surface_and_context() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
};

// The longest chain a directory entry can hold short of covering audio RAM
// (7281 blocks, 116496 samples), looping its second half: one first pass
// and one later pass of the loop.
std::shared_ptr<waveform_data> longest_sample() {
  auto data = std::make_shared<waveform_data>();
  constexpr int blocks = 65535 / 9;
  for (int i = 0; i < blocks * 16; ++i)
    data->first_pass.push_back(static_cast<std::int16_t>(20000 * std::sin(i * 0.05)));
  data->loop_start = blocks / 2 * 16;
  data->loop_pass.assign(data->first_pass.begin() + data->loop_start, data->first_pass.end());
  for (int b = 0; b < blocks + (blocks - blocks / 2); ++b)
    data->blocks.push_back({static_cast<u16>(0x0200 + 9 * (b % blocks)), 0xC0});
  return data;
}

void BM_WaveformDrawLongestSample(benchmark::State& state) {
  const auto data = longest_sample();
  surface_and_context target(static_cast<int>(state.range(0)), 160);
  for (auto _ : state) {
    waveform_draw(target.cr, static_cast<int>(state.range(0)), 160, *data);
    cairo_surface_flush(target.surface);
  }
  state.counters["samples"] = static_cast<double>(data->size());
}
BENCHMARK(BM_WaveformDrawLongestSample)->Arg(640)->Arg(1600)->Unit(benchmark::kMicrosecond);

// A real file when the corpus is there (199 entries), else 256 built ones.
std::unique_ptr<spc_format> map_image() {
  const std::string path = corpus_file("sato_forest_01.spc");
  if (!path.empty()) return read_spc_from_file(path.c_str());
  spc_builder builder;
  for (int k = 0; k < 256; ++k) {
    const auto start = static_cast<u16>(0x1000 + k * 16 * 9);
    builder.dir_entry(k, start, static_cast<u16>(start + 9)).brr_chain(start, 16);
  }
  return std::make_unique<spc_format>(builder.image());
}

void BM_AramLayout(benchmark::State& state) {
  const auto image = map_image();
  for (auto _ : state) benchmark::DoNotOptimize(make_aram_layout(*image).get());
}
BENCHMARK(BM_AramLayout)->Unit(benchmark::kMicrosecond);

// Cells of 2, 3 and 4 pixels; the inspected entry outlined.
void BM_AramMapDraw(benchmark::State& state) {
  const auto image = map_image();
  const auto layout = make_aram_layout(*image);
  const int side = static_cast<int>(state.range(0));
  surface_and_context target(side, side);
  const int inspected = layout->samples.empty() ? 0 : layout->samples.front().sample_number;
  for (auto _ : state) {
    aram_map_draw(target.cr, side, side, *layout, inspected);
    cairo_surface_flush(target.surface);
  }
}
BENCHMARK(BM_AramMapDraw)->Arg(512)->Arg(768)->Arg(1024)->Unit(benchmark::kMicrosecond);

// What a press on a corpus file's longest entry costs the pane: decoding it
// (first pass and one later pass of its loop), its checks and voices, and
// drawing its waveform from scratch at the pane's size in the default
// window (441 x 102). No corpus entry's chain runs without end.
void BM_InspectLongestCorpusSample(benchmark::State& state) {
  static const char* const files[] = {"boldowa_minimal_empty_xid6.spc",
                                      "boldowa_org_drv_misplaced_xid6.spc", "osoumen_gtme.spc",
                                      "osoumen_sound_of_mnemon.spc", "sato_forest_01.spc"};
  const char* name = files[state.range(0)];
  const std::string path = corpus_file(name);
  if (path.empty()) {
    state.SkipWithError("the corpus (../shared/spc-corpus) is absent");
    return;
  }
  const auto image = read_spc_from_file(path.c_str());
  std::int32_t count = 0;
  std::unique_ptr<sample_chart[]> chart;
  generate_sample_chart(*image, count, chart);
  const sample_chart* longest = nullptr;
  for (std::int32_t i = 0; i < count; ++i)
    if (!longest || chart[i].sample_length > longest->sample_length) longest = &chart[i];
  if (!longest) {
    state.SkipWithError("no entry");
    return;
  }
  surface_and_context target(441, 102);
  std::size_t samples = 0;
  for (auto _ : state) {
    const inspected_sample shown = inspect_sample(*image, *longest);
    waveform_draw(target.cr, 441, 102, *shown.waveform);
    cairo_surface_flush(target.surface);
    samples = shown.waveform->size();
  }
  state.counters["samples"] = static_cast<double>(samples);
  state.SetLabel(std::string(name) + " sample " + std::to_string(longest->sample_number));
}
BENCHMARK(BM_InspectLongestCorpusSample)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

// The worst a voice can point the pane at: a chain that never meets an end
// flag (audio RAM without an odd byte) runs through all 65536 block starts,
// 1,048,576 samples.
void BM_InspectEndlessChain(benchmark::State& state) {
  const spc_format image = spc_builder().dir_entry(0, 0x1000, 0x1000).image();
  std::int32_t count = 0;
  std::unique_ptr<sample_chart[]> chart;
  generate_sample_chart(image, count, chart);
  surface_and_context target(441, 102);
  for (auto _ : state) {
    const inspected_sample shown = inspect_sample(image, chart[0]);
    waveform_draw(target.cr, 441, 102, *shown.waveform);
    cairo_surface_flush(target.surface);
  }
}
BENCHMARK(BM_InspectEndlessChain)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
