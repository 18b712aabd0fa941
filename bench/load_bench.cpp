// What a load costs: reading and validating the file, charting 256 samples,
// and filling the table with their rows.

#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

#include "gui_support.h"
#include "main_window.h"
#include "sample_table.h"
#include "spc_builder.h"

namespace {

// 256 samples of 16 blocks each, every loop one block in.
spc_builder full_directory() {
  spc_builder builder;
  builder.dir_page(0x02);
  for (int k = 0; k < 256; ++k) {
    const auto start = static_cast<u16>(0x1000 + k * 16 * 9);
    builder.dir_entry(k, start, static_cast<u16>(start + 9)).brr_chain(start, 16);
  }
  return builder;
}

void BM_ReadAndChart(benchmark::State& state) {
  temp_dir dir;
  const std::string path = full_directory().write_to(dir.path(), "full.spc");
  for (auto _ : state) {
    auto spc = read_spc_from_file(path.c_str());
    std::int32_t count = 0;
    std::unique_ptr<sample_chart[]> chart;
    generate_sample_chart(*spc, count, chart);
    benchmark::DoNotOptimize(chart.get());
  }
}
BENCHMARK(BM_ReadAndChart)->Unit(benchmark::kMicrosecond);

void BM_Chart(benchmark::State& state) {
  const spc_builder builder = full_directory();
  for (auto _ : state) {
    std::int32_t count = 0;
    std::unique_ptr<sample_chart[]> chart;
    generate_sample_chart(builder.image(), count, chart);
    benchmark::DoNotOptimize(chart.get());
  }
}
BENCHMARK(BM_Chart)->Unit(benchmark::kMicrosecond);

void BM_LoadIntoWindow(benchmark::State& state) {
  if (!gtk_init_check(nullptr, nullptr)) {
    state.SkipWithError("no display");
    return;
  }
  temp_dir dir;
  const std::string path = full_directory().write_to(dir.path(), "full.spc");
  for (auto _ : state) {
    main_window_load_file(gui_window(), path.c_str());
  }
}
BENCHMARK(BM_LoadIntoWindow)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
