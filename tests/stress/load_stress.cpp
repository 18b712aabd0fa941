// Loads thousands of damaged and random files through the load path that
// File > Open uses, in the real window. After every load the window must
// show either the file or one of the reader's messages and nothing else;
// every thousand loads a good file must still show all its rows; and the
// resident size must not grow once the first tenth of the loads is done.
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
#include "load_checker.h"
#include "resident_memory.h"
#include "spc_builder.h"
#include "stress_inputs.h"

namespace {

constexpr int checkpoint_every = 1000;

struct options {
  int loads = 10000;
  long max_growth_kib = 16 * 1024;
};

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

  checker.check_good(-1, good);
  const long start_kib = resident_kib();
  const int warm_up = std::max(1, opts.loads / 10);
  long warm_kib = start_kib;
  int loaded = 0;
  const auto began = std::chrono::steady_clock::now();
  for (int i = 0; i < opts.loads; ++i) {
    const char* kind = inputs.write(i, path);
    if (checker.load(i, kind, path)) ++loaded;
    if ((i + 1) % checkpoint_every == 0) {
      checker.check_good(i, good);
      std::printf("after %d loads: resident %ld KiB\n", i + 1, resident_kib());
      std::fflush(stdout);
    }
    if (i + 1 == warm_up) warm_kib = resident_kib();
  }
  checker.check_good(opts.loads, good);
  const long end_kib = resident_kib();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

  std::printf("load_stress: %d loads from %zu corpus files in %.1f s (%.0f loads/s): "
              "%d loaded, %d refused, %d problems\n",
              opts.loads, inputs.corpus_count(), seconds, opts.loads / seconds, loaded,
              opts.loads - loaded, checker.problems());
  std::printf("resident KiB: start %ld, after warm-up (%d loads) %ld, end %ld; "
              "growth since warm-up %+ld (limit %ld)\n",
              start_kib, warm_up, warm_kib, end_kib, end_kib - warm_kib, opts.max_growth_kib);
  const bool flat = end_kib - warm_kib <= opts.max_growth_kib;
  if (!flat) std::printf("resident memory grew after warm-up\n");
  return checker.problems() == 0 && flat ? 0 : 1;
}
