// How fast OSPC_Run renders, in times real time (counter x_realtime: seconds
// of audio per second of CPU), for a one-voice tone and a real song.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <vector>

#include "audio_harness.h"
#include "openspc.h"
#include "spc_builder.h"

namespace {

constexpr int buffer_bytes = 32000;  // what the playback engine asks for: 0.25 s

void render(benchmark::State& state, std::vector<std::uint8_t> image) {
  // Without a tag the song never ends, however many iterations are run.
  image[offsetof(spc_format, has_id666)] = 27;
  if (OSPC_Init(image.data(), static_cast<unsigned>(image.size())) != 0) {
    state.SkipWithError("OSPC_Init rejected the image");
    return;
  }
  std::vector<short> pcm(buffer_bytes / sizeof(short));
  std::int64_t bytes = 0;
  for (auto _ : state) {
    const int n = OSPC_Run(-1, pcm.data(), buffer_bytes);
    if (n <= 0) {
      state.SkipWithError("the song ended");
      return;
    }
    bytes += n;
    benchmark::DoNotOptimize(pcm.data());
  }
  const double seconds = static_cast<double>(bytes) / (OSPC_SAMPLE_RATE * OSPC_FRAME_BYTES);
  state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
}

void BM_render_tone(benchmark::State& state) {
  render(state, spc_builder().square_wave_tone().bytes());
}
BENCHMARK(BM_render_tone);

// A busy real song (many voices, echo).
void BM_render_song(benchmark::State& state) {
  const auto song = corpus_image("osoumen_gtme.spc");
  if (!song) {
    state.SkipWithError("osoumen_gtme.spc is not in the corpus folder: skipped");
    return;
  }
  render(state, image_bytes(*song));
}
BENCHMARK(BM_render_song);

}  // namespace

BENCHMARK_MAIN();
