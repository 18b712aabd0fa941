// Play/Stop cycles of the playback engine under valgrind, with the real
// emulation library and the sound device libao's configuration names
// (scripts/memcheck runs it with a private PulseAudio server). Covers a Stop
// in the middle of a song, a Play over a playing song, and a song that ends
// by itself before Stop joins its thread.
//   memcheck_play

#include <cstdio>
#include <memory>

#include "audio_harness.h"
#include "playback.h"
#include "spc.h"
#include "spc_builder.h"

namespace {

constexpr int stop_cycles = 3;
constexpr double play_seconds = 0.6;

std::shared_ptr<const spc_format> tone(const char* seconds) {
  return std::make_shared<const spc_format>(
      spc_builder().square_wave_tone().text_tag("Tone", "Quorlin", "", seconds).image());
}

int problems = 0;

// Waits up to `seconds` for the playing thread to be gone; counts a problem
// named `what` when it stays.
void expect_thread_gone(double seconds, const char* what) {
  if (wait_until([] { return threads_named(playback_thread_name) == 0; }, seconds)) return;
  ++problems;
  std::fprintf(stderr, "%s: the playing thread is still there\n", what);
}

}  // namespace

int main() {
  // A busy real song when the corpus is there; the emulator does more work.
  std::shared_ptr<const spc_format> song = corpus_image("osoumen_gtme.spc");
  if (!song) song = tone("");
  spc_player player;

  for (int i = 0; i < stop_cycles; ++i) {
    player.play(song);
    sleep_seconds(play_seconds);
    player.stop();
    expect_thread_gone(0, "Play, Stop");
  }

  player.play(song);
  sleep_seconds(play_seconds / 2);
  player.play(tone(""));  // stops the playing thread first
  sleep_seconds(play_seconds / 2);
  player.stop();
  expect_thread_gone(0, "Play over a playing song, Stop");

  // One second and no fade: the thread ends on its own; Stop joins it.
  player.play(tone("1"));
  expect_thread_gone(30, "a one-second song");
  player.stop();

  std::printf("memcheck_play: %d problems\n", problems);
  return problems == 0 ? 0 : 1;
}
