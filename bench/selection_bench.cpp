// Selection to drawn: from a press on a row of the table in the real window
// to the end of the pane's next paint of the waveform ("Sample" page) or of
// the audio RAM map ("Audio RAM" page), wall-clock time. Needs a display
// (scripts/with-test-session); the file is the corpus's sato_forest_01.spc
// when present, else 256 built entries.

#include <benchmark/benchmark.h>

#include <string>

#include "aram_map.h"
#include "gui_input.h"
#include "gui_support.h"
#include "inspector_pane.h"
#include "main_window.h"
#include "sample_table.h"
#include "spc_builder.h"

namespace {

constexpr int rows_pressed = 8;  // in sight at the window's default size
constexpr gint64 give_up_us = 2 * G_USEC_PER_SEC;

// The watched widget's own handler ends the draw signal, so its painting is
// noted as it begins, and counted as done when the window's paint ends.
struct paint_watch {
  bool painted = false;
  bool drawn = false;
};

gboolean note_painted(GtkWidget*, cairo_t*, gpointer watch) noexcept {
  static_cast<paint_watch*>(watch)->painted = true;
  return FALSE;
}

gboolean note_window_drawn(GtkWidget*, cairo_t*, gpointer data) noexcept {
  auto* watch = static_cast<paint_watch*>(data);
  if (watch->painted) watch->drawn = true;
  return FALSE;
}

std::string bench_file(const temp_dir& dir) {
  const std::string real = corpus_file("sato_forest_01.spc");
  if (!real.empty()) return real;
  spc_builder builder;
  for (int k = 0; k < 256; ++k) {
    const auto start = static_cast<u16>(0x1000 + k * 16 * 9);
    builder.dir_entry(k, start, static_cast<u16>(start + 9)).brr_chain(start, 16, 0x37);
  }
  return builder.write_to(dir.path(), "full.spc");
}

void BM_SelectionToDrawn(benchmark::State& state) {
  if (!gtk_init_check(nullptr, nullptr)) {
    state.SkipWithError("no display");
    return;
  }
  gui_window();
  // Google Benchmark calls this more than once: the file loads once.
  static const temp_dir dir;
  static const bool loaded = main_window_load_file(gui_window(), bench_file(dir).c_str());
  if (!loaded) {
    state.SkipWithError("the file did not load");
    return;
  }
  const inspector_pane_widgets& pane = inspector_pane_get_widgets(gui_pane());
  const int page = static_cast<int>(state.range(0));
  gtk_notebook_set_current_page(GTK_NOTEBOOK(pane.notebook), page);
  GtkWidget* watched = page == 0 ? sample_inspector_waveform(pane.inspector)
                                 : aram_map_area(pane.map);
  gui_flush();
  GtkWidget* window = GTK_WIDGET(gui_window());
  paint_watch watch;
  const gulong on_widget = g_signal_connect(watched, "draw", G_CALLBACK(note_painted), &watch);
  const gulong on_window =
      g_signal_connect_after(window, "draw", G_CALLBACK(note_window_drawn), &watch);
  static int row = 0;  // never the row pressed last, which would draw nothing
  for (auto _ : state) {
    // As a person presses: the window idle for a while (its frame clock
    // stopped) before each press.
    state.PauseTiming();
    gui_wait_until([] { return false; }, 60);
    state.ResumeTiming();
    row = (row + 1) % rows_pressed;
    watch = {};
    const gint64 give_up = g_get_monotonic_time() + give_up_us;
    sample_table& table = gui_table();
    gui_click_cell(sample_table_view(table), row, sample_table_column(table, SAMPLE_COLUMN_START));
    while (!watch.drawn && g_get_monotonic_time() < give_up)
      g_main_context_iteration(nullptr, FALSE);
    if (!watch.drawn) {
      state.SkipWithError("the press drew nothing within two seconds");
      break;
    }
  }
  g_signal_handler_disconnect(watched, on_widget);
  g_signal_handler_disconnect(window, on_window);
}
BENCHMARK(BM_SelectionToDrawn)->Arg(0)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
