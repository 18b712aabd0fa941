// Instrument kits: measuring one sample's own pitch at its costliest (a loop
// long enough to compare every lag), tuning every played sample of a corpus
// song, and making its SoundFont, SFZ and AddMusicK files.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>

#include "instrument_kit.h"
#include "song_length.h"
#include "pitch_detect.h"
#include "spc_builder.h"

namespace {

// 8192 frames of a 55 Hz tone with harmonics: every lag up to the longest
// period is compared over the longest window.
void BM_OwnPitchOfALongLoop(benchmark::State& state) {
  looped_pcm sample;
  for (int i = 0; i < 12000; ++i) {
    const double phase = 2 * std::numbers::pi * 55.0 * i / 32000;
    sample.pcm.push_back(
        static_cast<std::int16_t>(8000 * std::sin(phase) + 3000 * std::sin(3 * phase)));
  }
  sample.loop_start = 12000 - 8192;
  for (auto _ : state) benchmark::DoNotOptimize(detect_own_pitch(sample));
}
BENCHMARK(BM_OwnPitchOfALongLoop)->Unit(benchmark::kMillisecond);

// A corpus song: tuning what its trace keys on, then its kit files.
void BM_TuneAndWriteACorpusKit(benchmark::State& state) {
  const std::string path = corpus_file("sato_forest_01.spc");
  std::string failure;
  const auto spc = path.empty() ? nullptr : read_spc_file_quietly(path.c_str(), failure);
  if (!spc) {
    state.SkipWithError("the corpus is absent");
    return;
  }
  const song_trace trace = trace_song(*spc, song_length_of(*spc, std::nullopt).seconds);
  for (auto _ : state) {
    const auto instruments = tune_played_samples({{spc.get(), &trace}}, false);
    const auto samples = kit_samples_for(*spc, "sato", instruments.front(),
                                         [](int n, const char* ext) { return std::to_string(n) + ext; });
    benchmark::DoNotOptimize(kit_files("sato", samples, failure));
  }
}
BENCHMARK(BM_TuneAndWriteACorpusKit)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
