// What --stems costs for a three-minute song: the nine files (eight voices
// alone and the mix, 180 s each) rendered and written, and the trace that
// decides which voices get a file. Counter x_realtime: seconds of audio
// written per second of CPU.
#include <benchmark/benchmark.h>

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

}  // namespace

BENCHMARK_MAIN();
