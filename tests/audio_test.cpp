// The engine with the real emulation library, playing into a PulseAudio
// null sink (scripts/sound-server) and recorded from the sink's monitor.
// What reaches the sink is compared with renders made here through
// OSPC_Init/OSPC_Run, aligned by cross-correlation (the monitor says nothing
// about when a stream started).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio_analysis.h"
#include "audio_harness.h"
#include "audio_recorder.h"
#include "audio_render.h"
#include "audio_spy.h"
#include "brr.h"
#include "gme_reference.h"
#include "openspc.h"
#include "playback.h"
#include "spc.h"
#include "spc700_program.h"
#include "spc_builder.h"

#if defined(__SANITIZE_THREAD__)
// libpulse (not instrumented) hands its objects between its own threads
// through atomics ThreadSanitizer cannot see, and gets reported for it.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libpulse.so\nrace:libpulsecommon\n";
}
#endif

namespace {

constexpr double sound_threshold = 200.0;

// The device holds about 60 ms beyond the buffer being written: a playing
// thread held up longer than that (a very busy machine) lets the sink run
// dry, and the recording gets a stretch of silence.
constexpr std::size_t dropout_frames = 32;
constexpr const char* dropout_hint =
    "the sink ran dry (silence inside the sound): the playing thread fell more than "
    "~60 ms behind, on a busy machine or a stalled thread";

// dropout_hint when x[first, last) holds a dropout, else nothing.
std::string dropout_note(const std::vector<double>& x, std::size_t first, std::size_t last) {
  return longest_zero_run(x, first, last) >= dropout_frames ? dropout_hint : "";
}

std::size_t frames(double seconds) { return static_cast<std::size_t>(seconds * pcm_rate); }

std::vector<double> slice(const std::vector<double>& x, double from, double seconds) {
  return {x.begin() + static_cast<std::ptrdiff_t>(frames(from)),
          x.begin() + static_cast<std::ptrdiff_t>(frames(from + seconds))};
}

double process_cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class audio : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* sink = std::getenv("QUORLIN_TEST_SINK");
    if (sink == nullptr || *sink == '\0') {
      GTEST_SKIP() << "QUORLIN_TEST_SINK is not set: no sound server to play into "
                      "(scripts/sound-server start FILE, then source FILE)";
    }
    if (!audio_recorder::available()) GTEST_SKIP() << "parec (pulseaudio-utils) is not installed";
    sink_ = sink;
    audio_spy_reset();
    // Straight to the test server, whatever /etc/libao.conf and ALSA say.
    use_libao_config("default_driver=pulse\n");
  }
  void TearDown() override { player.stop(); }

  spc_player player;

  // What the sink played while `scenario` ran (and 0.3 s after), as mono.
  std::vector<double> record(const std::function<void()>& scenario) {
    audio_recorder recorder(sink_, dir_.file("capture.raw"));
    EXPECT_TRUE(recorder.started()) << "parec did not start";
    EXPECT_TRUE(recorder.wait_for_data(3.0)) << "the sink's monitor delivers nothing";
    recording_ = &recorder;
    scenario();
    sink_plays_on(0.3);
    recording_ = nullptr;
    return mono(recorder.stop());
  }

  // Waits until the playing thread has handed `seconds` of its song to the
  // device: on a busy machine that takes longer than `seconds`.
  void play_on_for(double seconds) {
    wait_until([this, seconds] { return player.frames_played() >= frames(seconds); },
               seconds + 10.0);
  }

  // Waits, inside record(), until the recording holds `seconds` more of the
  // sink: what was queued has played out.
  void sink_plays_on(double seconds) { recording_->wait_for_more(seconds); }

  // Plays a tone for 1.5 s with the thread held up before every write, and
  // checks that it played until Stop without a gap.
  void expect_no_gap_with_a_late_thread() {
    const auto tone = std::make_shared<const spc_format>(spc_builder().square_wave_tone().image());
    audio_spy_set(spy_device::held_up);
    const auto x = record([&] {
      player.play(tone);
      play_on_for(1.5);
      player.stop();
    });
    EXPECT_GE(audio_spy_counts_now().calls, 4) << "the writes did not go through the spy";
    const auto sound = find_sound(x, sound_threshold);
    ASSERT_TRUE(sound) << "nothing reached the sink";
    const double seconds = static_cast<double>(sound->last - sound->first) / pcm_rate;
    EXPECT_GT(seconds, 1.2) << "the tone did not play until Stop";
    EXPECT_LT(longest_zero_run(x, sound->first, sound->last), dropout_frames)
        << "the sink ran dry while the thread was held up";
  }

  std::string sink_;
  temp_dir dir_;
  const audio_recorder* recording_ = nullptr;
  hang_guard guard_{60, "an audio test"};
};

TEST_F(audio, ToneImageSoundsAtOneThousandHertz) {
  const auto tone = std::make_shared<const spc_format>(spc_builder().square_wave_tone().image());
  const auto x = record([&] {
    player.play(tone);
    play_on_for(1.5);
    player.stop();
  });
  const auto sound = find_sound(x, sound_threshold);
  ASSERT_TRUE(sound) << "nothing reached the sink";
  const double seconds = static_cast<double>(sound->last - sound->first) / pcm_rate;
  EXPECT_GT(seconds, 1.2);
  EXPECT_LT(seconds, 2.0);
  EXPECT_GT(energy_share_at(x, sound->first + frames(0.2), frames(0.8), 1000.0), 0.7)
      << dropout_note(x, sound->first, sound->last);
}

// A sample auditioned through the one engine: the tone image's own sample
// an octave down, alone (its song keys it at 1000 Hz), until Stop, as the
// library renders the audition image.
TEST_F(audio, AuditionedSamplePlaysAloneUntilStopAsRendered) {
  const std::shared_ptr<const spc_format> audition =
      make_audition_spc(spc_builder().square_wave_tone().image(), 0, -12);
  ASSERT_TRUE(audition);
  const auto expected = mono(render_song(*audition, 2.0));
  const auto x = record([&] {
    player.play(audition);
    play_on_for(2.0);
    player.stop();
  });
  const auto sound = find_sound(x, sound_threshold);
  ASSERT_TRUE(sound) << "nothing reached the sink";
  const std::string note = dropout_note(x, sound->first, sound->last);
  EXPECT_GT(static_cast<double>(sound->last - sound->first) / pcm_rate, 1.7) << "ended before Stop";
  EXPECT_GT(energy_share_at(x, sound->first + frames(0.2), frames(1.0), 500.0), 0.7) << note;
  EXPECT_LT(energy_share_at(x, sound->first + frames(0.2), frames(1.0), 1000.0), 0.01) << note;
  EXPECT_GT(best_alignment(x, slice(expected, 1.0, 0.5)).correlation, 0.99) << note;
}

// What reaches the sink at pitch 0x1000 is the decoder's loop, one BRR
// sample per output frame: a 32-sample triangle in two blocks, looping,
// recorded and matched against its decoded loop repeated. The DSP's
// Gaussian interpolation softens the corners, so a near match suffices.
TEST_F(audio, AuditionSoundsAsTheDecoderDecodesTheLoop) {
  spc_builder builder;
  builder.dir_entry(0, 0x2000, 0x2000);
  const int rise[16] = {0, 1, 2, 3, 4, 5, 6, 7, 7, 6, 5, 4, 3, 2, 1, 0};
  for (int b = 0; b < 2; ++b) {
    std::vector<u8> block{static_cast<u8>(0xB0 | (b == 1 ? brr_end_flag | brr_loop_flag : 0))};
    for (int i = 0; i < 16; i += 2) {
      const int hi = b == 0 ? rise[i] : -rise[i] - 1;
      const int lo = b == 0 ? rise[i + 1] : -rise[i + 1] - 1;
      block.push_back(static_cast<u8>((hi & 0xF) << 4 | (lo & 0xF)));
    }
    for (int i = 0; i < brr_block_bytes; ++i)
      builder.aram(static_cast<u16>(0x2000 + 9 * b + i), {block[static_cast<std::size_t>(i)]});
  }
  const spc_format& image = builder.image();
  const auto chart = sample_chart{1, 0x2000, 0x2000, 18, 18};
  const brr_sample sample = brr_decode_entry(image, chart);
  ASSERT_TRUE(sample.loop_sample);
  brr_history history = sample.history_at_end;
  const std::vector<std::int16_t> loop = brr_decode_loop_pass(image, sample, history);
  ASSERT_EQ(loop.size(), 32u);
  std::vector<double> expected;
  for (int repeat = 0; repeat < 500; ++repeat)
    expected.insert(expected.end(), loop.begin(), loop.end());

  const std::shared_ptr<const spc_format> audition = make_audition_spc(image, 0, 0);
  ASSERT_TRUE(audition);
  const auto x = record([&] {
    player.play(audition);
    play_on_for(1.5);
    player.stop();
  });
  const auto sound = find_sound(x, sound_threshold);
  ASSERT_TRUE(sound) << "nothing reached the sink";
  const std::string note = dropout_note(x, sound->first, sound->last);
  EXPECT_GT(energy_share_at(x, sound->first + frames(0.2), frames(1.0), 1000.0), 0.8) << note;
  EXPECT_GT(best_alignment(slice(x, 0, 1.5), expected).correlation, 0.95) << note;
}

// The device keeps enough queued for a thread that comes back to it late:
// 30 ms late before every write leaves no gap in the song.
TEST_F(audio, AThreadHeldUpBeforeEachWriteLeavesNoGap) {
  expect_no_gap_with_a_late_thread();
}

// The same through libao's ALSA driver, Debian's default, which reaches the
// server through ALSA's PulseAudio plugin: the engine asks that driver for
// longer periods, and they must still leave a late thread no gap.
TEST_F(audio, ThroughAlsaAThreadHeldUpBeforeEachWriteLeavesNoGap) {
  use_libao_config("default_driver=alsa\n");
  expect_no_gap_with_a_late_thread();
}

TEST_F(audio, RealSongReachesTheSinkAsTheLibraryRendersIt) {
  const auto song = corpus_image("osoumen_gtme.spc");
  if (!song) GTEST_SKIP() << "osoumen_gtme.spc is not in the corpus folder";
  const auto expected = mono(render_song(*song, 3.0));
  const auto x = record([&] {
    player.play(song);
    play_on_for(3.0);
    player.stop();
  });
  const auto first = best_alignment(x, slice(expected, 1.0, 1.0));
  const auto sound = find_sound(x, sound_threshold);
  ASSERT_TRUE(sound) << "nothing reached the sink";
  const std::string note = dropout_note(x, sound->first, sound->last);
  EXPECT_GT(first.correlation, 0.99) << note;
  // The next half second follows without a gap or a repeat.
  const auto next = best_alignment(x, slice(expected, 2.0, 0.5));
  EXPECT_GT(next.correlation, 0.99) << note;
  EXPECT_NEAR(static_cast<double>(next.offset), static_cast<double>(first.offset + frames(1.0)), 2.0);
}

TEST_F(audio, StopSilencesWithinHalfASecondAndPlayStartsOver) {
  const auto song = corpus_image("osoumen_gtme.spc");
  if (!song) GTEST_SKIP() << "osoumen_gtme.spc is not in the corpus folder";
  const auto opening = slice(mono(render_song(*song, 1.0)), 0.5, 0.5);
  double played_for = 0;
  double stop_took = 0;
  const auto x = record([&] {
    const double start = now_seconds();
    player.play(song);
    play_on_for(1.5);
    const double stop = now_seconds();
    player.stop();
    stop_took = now_seconds() - stop;
    played_for = stop - start;
    sink_plays_on(1.0);
    player.play(song);
    play_on_for(1.5);
    player.stop();
  });
  EXPECT_LT(stop_took, 0.5);
  const auto sound = find_sound(x, sound_threshold);
  ASSERT_TRUE(sound) << "nothing reached the sink";
  // Both plays put the opening into the sink sample for sample, so over the
  // whole recording the better match is a toss-up of rounding: look for the
  // first one only where the second cannot have started yet.
  const std::size_t before_second = std::min(x.size(), sound->first + frames(2.0));
  const auto first = best_alignment(
      std::vector<double>(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(before_second)), opening);
  ASSERT_GT(first.correlation, 0.95) << "the song's opening is not in the recording; "
                                     << dropout_note(x, sound->first, sound->first + frames(1.4));
  const std::size_t first_start = first.offset - frames(0.5);

  // The opening again, after the first play and the pause: the song started over.
  const std::size_t after = first_start + frames(2.0);
  ASSERT_LT(after, x.size());
  const auto second = best_alignment(std::vector<double>(x.begin() + static_cast<std::ptrdiff_t>(after), x.end()),
                                     opening);
  EXPECT_GT(second.correlation, 0.95) << "the second Play did not start from the beginning";
  const std::size_t second_start = after + second.offset - frames(0.5);

  // Sound between the two starts lasts no more than until Stop plus 0.5 s.
  const auto heard = find_sound(std::vector<double>(x.begin() + static_cast<std::ptrdiff_t>(first_start),
                                                    x.begin() + static_cast<std::ptrdiff_t>(second_start)),
                                sound_threshold);
  ASSERT_TRUE(heard);
  const double sounded = static_cast<double>(heard->last) / pcm_rate;
  EXPECT_GT(sounded, played_for - 0.5);
  EXPECT_LT(sounded, played_for + 0.5) << "sound went on after Stop";
}

TEST_F(audio, TaggedSongEndsByItselfAfterItsFade) {
  const auto song = std::make_shared<const spc_format>(
      spc_builder().square_wave_tone().text_tag("short", "game", "artist", "2", "1000").image());
  bool ended_by_itself = false;
  const auto x = record([&] {
    player.play(song);
    ASSERT_TRUE(wait_until([] { return threads_named(playback_thread_name) == 1; }, 2));
    ended_by_itself = wait_until([] { return threads_named(playback_thread_name) == 0; }, 8);
    sink_plays_on(0.5);  // the device's buffer plays out
  });
  EXPECT_TRUE(ended_by_itself);
  EXPECT_TRUE(player.thread_exists()) << "only Stop joins a thread that ended";
  player.stop();
  EXPECT_FALSE(player.thread_exists());

  const auto sound = find_sound(x, sound_threshold);
  ASSERT_TRUE(sound);
  const double seconds = static_cast<double>(sound->last - sound->first) / pcm_rate;
  EXPECT_NEAR(seconds, 3.0, 0.15) << "2 s of song and a 1 s fade; "
                                   << dropout_note(x, sound->first, sound->first + frames(2.9));
  const double full = rms(x, sound->first + frames(1.0), frames(1.0));
  const double expected[] = {0.875, 0.625, 0.375, 0.125};  // mean gain of each fade quarter
  for (int quarter = 0; quarter < 4; ++quarter) {
    const double level = rms(x, sound->first + frames(2.0 + 0.25 * quarter), frames(0.25)) / full;
    EXPECT_NEAR(level, expected[quarter], 0.08) << "fade quarter " << quarter;
  }
}

TEST_F(audio, PlayingIsPacedByTheDevice) {
  const auto song = corpus_image("osoumen_gtme.spc");
  if (!song) GTEST_SKIP() << "osoumen_gtme.spc is not in the corpus folder";
  player.play(song);
  play_on_for(0.5);  // past the device's first fill
  const double cpu_before = process_cpu_seconds();
  const double wall_before = now_seconds();
  play_on_for(3.5);
  const double cpu = process_cpu_seconds() - cpu_before;
  const double wall = now_seconds() - wall_before;
  player.stop();
  // Rendering takes well under a tenth of real time; a spinning thread a whole core.
  EXPECT_LT(cpu / wall, 0.5);
}

// Mute reaches what is heard. Voice 0 (1000 Hz) muted before Play is not in
// the recording, which matches libgme's render with the same mask and not
// the song's; muted while playing, it falls silent from the next buffer the
// playing thread renders (the one after the buffer the device holds).
TEST_F(audio, MutedVoiceIsNotHeardAndMutingWhilePlayingTakesTheNextBuffer) {
  const auto song = std::make_shared<const spc_format>(spc_builder().two_tones().image());
  OSPC_MuteVoices(0x01);
  const auto muted = record([&] {
    player.play(song);
    play_on_for(1.5);
    player.stop();
  });
  OSPC_MuteVoices(0);
  const auto sound = find_sound(muted, sound_threshold);
  ASSERT_TRUE(sound) << "nothing reached the sink";
  const std::string note = dropout_note(muted, sound->first, sound->last);
  const auto with_mask = mono(gme_reference_render(*song, 1.5, 0x01));
  const auto unmuted = mono(gme_reference_render(*song, 1.5, 0));
  EXPECT_GT(best_alignment(muted, slice(with_mask, 0.5, 0.5)).correlation, 0.99) << note;
  EXPECT_LT(best_alignment(muted, slice(unmuted, 0.5, 0.5)).correlation, 0.9);
  EXPECT_LT(energy_share_at(muted, sound->first + frames(0.2), frames(1.0), 1000.0), 0.01);

  std::uint64_t handed = 0;
  const auto switched = record([&] {
    player.play(song);
    play_on_for(1.0);
    handed = player.frames_played();
    OSPC_MuteVoices(0x01);
    play_on_for(2.5);
    player.stop();
  });
  OSPC_MuteVoices(0);
  // The thread was writing the buffer after `handed`, or (had it just
  // finished) the one after that: the mute starts at the next one.
  double best = 0;
  for (std::uint64_t buffers : {1, 2}) {
    const std::uint64_t from = handed + buffers * 8000;
    const auto expected = mono(gme_reference_render(*song, 3.0, 0x01, from));
    const double at = static_cast<double>(from) / pcm_rate;
    best = std::max(best, best_alignment(switched, slice(expected, at - 0.25, 0.5)).correlation);
  }
  EXPECT_GT(best, 0.99) << "the mute did not start where a buffer starts; "
                        << dropout_note(switched, 0, switched.size());
}

}  // namespace
