// Loads thousands of damaged and random files through the load path that
// File > Open uses, in the real window. After every load the window must
// show either the file or one of the reader's messages and nothing else;
// every thousand loads a good file must still show all its rows; and the
// memory the program holds must not grow once the first tenth of the loads
// is done: the heap in use in any build, and the resident size too in a
// build on glibc's allocator, read once it has handed back its free pages.
//   load_stress [LOADS] [--max-growth-kib KIB]
// Run under scripts/stress (Xvfb, AddressSanitizer build).

#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gui_support.h"
#include "main_window_test_hooks.h"
#include "load_checker.h"
#include "resident_memory.h"
#include "song_follow.h"
#include "spc_builder.h"
#include "stress_inputs.h"

namespace {

constexpr int checkpoint_every = 1000;

struct options {
  int loads = 10000;
  long max_growth_kib = 2 * 1024;
};

// Wait for the song of the good file to be followed: ten times what a busy
// machine needs for its sixty seconds.
constexpr int trace_wait_ms = 60 * 1000;

struct memory_reading {
  long resident_kib = 0;
  long heap_kib = 0;
};

// Reads the memory with the window in the same state each time: the good
// file shown, its song followed and every tracing thread joined, so that no
// trace half done counts.
memory_reading settle_and_read(load_checker& checker, int index, const std::string& good) {
  checker.check_good(index, good);
  if (!gui_wait_until([] { return !main_window_song_follow(gui_window()).running(); }, trace_wait_ms))
    checker.problem(index, "good file", "its song was not followed in time");
  main_window_background_tasks(gui_window()).cancel_all_and_wait();
  gui_flush();
  return {trimmed_resident_kib(), heap_in_use_kib()};
}

// Prints one line of readings and says whether it grew past the limit.
bool report_growth(const char* what, long start, int warm_up, long warm, long end, long limit,
                   bool limited) {
  std::printf("%s KiB: start %ld, after warm-up (%d loads) %ld, end %ld; growth since warm-up "
              "%+ld (%s)\n",
              what, start, warm_up, warm, end, end - warm,
              limited ? ("limit " + std::to_string(limit)).c_str() : "not limited here");
  return !limited || end - warm <= limit;
}

options parse(int argc, char** argv) {
  options parsed;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--max-growth-kib") == 0 && i + 1 < argc) {
      parsed.max_growth_kib = std::atol(argv[++i]);
    } else {
      parsed.loads = std::atoi(argv[i]);
    }
  }
  if (parsed.loads < 1) parsed.loads = 1;
  return parsed;
}

}  // namespace

int main(int argc, char** argv) {
  const options opts = parse(argc, argv);
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "load_stress needs a display (run it through scripts/stress).\n");
    return 2;
  }
  gui_window();
  temp_dir dir;
  const std::string good = write_good_file(dir.path());
  const std::string path = dir.file("stress.spc");
  stress_inputs inputs(20240);
  load_checker checker;

  const memory_reading start = settle_and_read(checker, -1, good);
  const int warm_up = std::max(1, opts.loads / 10);
  memory_reading warm = start;
  int loaded = 0;
  const auto began = std::chrono::steady_clock::now();
  for (int i = 0; i < opts.loads; ++i) {
    const char* kind = inputs.write(i, path);
    if (checker.load(i, kind, path)) ++loaded;
    if ((i + 1) % checkpoint_every == 0) {
      checker.check_good(i, good);
      std::printf("after %d loads: resident %ld KiB, heap in use %ld KiB\n", i + 1,
                  resident_kib(), heap_in_use_kib());
      std::fflush(stdout);
    }
    if (i + 1 == warm_up) warm = settle_and_read(checker, i, good);
  }
  const memory_reading end = settle_and_read(checker, opts.loads, good);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

  std::printf("load_stress: %d loads from %zu corpus files in %.1f s (%.0f loads/s): "
              "%d loaded, %d refused, %d problems\n",
              opts.loads, inputs.corpus_count(), seconds, opts.loads / seconds, loaded,
              opts.loads - loaded, checker.problems());
  // AddressSanitizer's allocator keeps what is freed (its quarantine, and
  // blocks of each size for that size only): its resident size grows with
  // the variety of loads, not with what the program holds.
  const bool heap_flat = report_growth("heap in use", start.heap_kib, warm_up, warm.heap_kib,
                                       end.heap_kib, opts.max_growth_kib, true);
  const bool resident_flat =
      report_growth(built_with_asan() ? "resident" : "resident, free pages handed back",
                    start.resident_kib, warm_up, warm.resident_kib, end.resident_kib,
                    opts.max_growth_kib, !built_with_asan());
  const bool flat = heap_flat && resident_flat;
  if (!flat) std::printf("memory grew after warm-up\n");
  return checker.problems() == 0 && flat ? 0 : 1;
}
