// The sample table's heaviest work: every row re-evaluated against the
// bounds and the visible rows re-sorted, on a full directory of 256 rows.
// Needs a display (GTK must initialise); reports an error without one.

#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

#include <memory>
#include <random>

#include "sample_table.h"

namespace {

constexpr int full_directory = 256;

// The table of a file with every directory entry used, built once; no
// window: the view alone follows the model.
sample_table_ptr& bench_table() {
  static sample_table_ptr table;
  return table;
}

bool table_ready() {
  static const bool ready = [] {
    if (!gtk_init_check(nullptr, nullptr)) return false;
    bench_table() = sample_table_new();
    g_object_ref_sink(sample_table_widget(*bench_table()));
    std::mt19937 random(256);
    auto chart = std::make_unique<sample_chart[]>(full_directory);
    for (int i = 0; i < full_directory; ++i) {
      const auto start = static_cast<u16>(random());
      chart[i] = sample_chart{i + 1, start, static_cast<u16>(start + 9 * (random() % 8)),
                              static_cast<std::int32_t>(9 * (1 + random() % 2000)),
                              static_cast<std::int32_t>(9 * (1 + random() % 1000))};
    }
    sample_table_fill(*bench_table(), chart.get(), full_directory);
    return true;
  }();
  return ready;
}

// Reports the error and gives false when there is no display to build on.
bool table_or_skip(benchmark::State& state) {
  if (table_ready()) return true;
  state.SkipWithError("no display");
  return false;
}

int visible_rows() {
  return gtk_tree_model_iter_n_children(GTK_TREE_MODEL(sample_table_sorted(*bench_table())), nullptr);
}

// Sorted by the next column each time, so every call orders all rows anew.
void sort_by_next_column(int& column) {
  column = (column + 1) % SAMPLE_COLUMN_COUNT;
  gtk_tree_sortable_set_sort_column_id(GTK_TREE_SORTABLE(sample_table_sorted(*bench_table())), column,
                                       GTK_SORT_ASCENDING);
}

// Same bounds: every row is examined and none leaves, but each one the
// filter reports as changed is placed again by the sorting layer.
void BM_Refilter(benchmark::State& state) {
  if (!table_or_skip(state)) return;
  for (auto _ : state) sample_table_refilter(*bench_table());
  state.counters["rows"] = visible_rows();
}
BENCHMARK(BM_Refilter)->Unit(benchmark::kMicrosecond);

void BM_Resort(benchmark::State& state) {
  if (!table_or_skip(state)) return;
  int column = 0;
  for (auto _ : state) sort_by_next_column(column);
  state.counters["rows"] = visible_rows();
}
BENCHMARK(BM_Resort)->Unit(benchmark::kMicrosecond);

// What a change of bound followed by a header click costs at most.
void BM_RefilterAndResort(benchmark::State& state) {
  if (!table_or_skip(state)) return;
  int column = 0;
  for (auto _ : state) {
    sample_table_refilter(*bench_table());
    sort_by_next_column(column);
  }
  state.counters["rows"] = visible_rows();
}
BENCHMARK(BM_RefilterAndResort)->Unit(benchmark::kMicrosecond);

// A bound that hides every row, then back: all 256 rows leave the sorted
// layer and are sorted back in one by one.
void BM_AllRowsHiddenAndBack(benchmark::State& state) {
  if (!table_or_skip(state)) return;
  std::int32_t* bounds = sample_table_chart_filters(*bench_table());
  const int loop_length_max = SAMPLE_COLUMN_LOOP_LENGTH + SAMPLE_COLUMN_COUNT;
  for (auto _ : state) {
    bounds[loop_length_max] = 8;
    sample_table_refilter(*bench_table());
    bounds[loop_length_max] = chart_filter_defaults[loop_length_max];
    sample_table_refilter(*bench_table());
  }
  state.counters["rows"] = visible_rows();
}
BENCHMARK(BM_AllRowsHiddenAndBack)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
