// What --stems costs for a three-minute song: the nine files (eight voices
// alone and the mix, 180 s each) rendered and written, and the trace that
// decides which voices get a file. Counter x_realtime: seconds of audio
// written per second of CPU. And the peak resident memory of a whole run
// for 60 s and for 1,200 s of song: streamed to their files, stems cost the
// same memory whatever their length.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

#include "audio_harness.h"
#include "spc_builder.h"
#include "stem_render.h"

namespace {

constexpr double song_seconds = 180.0;

// The corpus's busy song when there, else the two-tone image (faster: two
// voices and no echo).
std::shared_ptr<const spc_format> song() {
  if (auto real = corpus_image("osoumen_gtme.spc")) return real;
  return std::make_shared<const spc_format>(spc_builder().two_tones().image());
}

// Every voice gets a file, as in a song that keys on all eight.
void BM_write_nine_stems(benchmark::State& state) {
  temp_dir out;
  const auto image = song();
  stem_plan plan = plan_stems(image, "song.spc", song_length_of(*image, song_seconds));
  plan.voices = {0, 1, 2, 3, 4, 5, 6, 7};
  plan.skipped.clear();
  double audio_seconds = 0;
  for (auto _ : state) {
    const stems_result result = write_stems({plan}, out.path(), true);
    if (!result.ok) {
      state.SkipWithError(result.failure.c_str());
      return;
    }
    audio_seconds += song_seconds * result.files_written;
  }
  state.counters["x_realtime"] = benchmark::Counter(audio_seconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_write_nine_stems)->Unit(benchmark::kSecond)->Iterations(1);

void BM_plan_stems(benchmark::State& state) {
  const auto image = song();
  for (auto _ : state) benchmark::DoNotOptimize(plan_stems(image, "song.spc", song_length_of(*image, song_seconds)));
}
BENCHMARK(BM_plan_stems)->Unit(benchmark::kMillisecond);

// A run of --stems for state.range(0) seconds of the two-tone song, in a
// child process of its own, whose peak resident memory the kernel reports
// when it ends (a process's peak never comes down, so each size gets its own).
void BM_stems_peak_memory(benchmark::State& state) {
  const double seconds = static_cast<double>(state.range(0));
  const auto image = std::make_shared<const spc_format>(spc_builder().two_tones().image());
  temp_dir out;
  long peak_kib = 0;
  for (auto _ : state) {
    const pid_t child = fork();
    if (child == 0) {
      const stem_plan plan = plan_stems(image, "song.spc", song_length_of(*image, seconds));
      _exit(write_stems({plan}, out.path(), true).ok ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || status != 0) {
      state.SkipWithError("the stems run failed");
      return;
    }
    peak_kib = usage.ru_maxrss;
  }
  state.counters["peak_rss_MB"] = static_cast<double>(peak_kib) / 1024.0;
}
BENCHMARK(BM_stems_peak_memory)->Arg(60)->Arg(1200)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
