// The playback engine and the Play button against a fake emulation library
// (fake_openspc.cpp) and a spy on ao_play (audio_spy.cpp). libao itself is
// real: its null driver stands for a device, and a pulse driver aimed at no
// server for a missing one. The button tests need a display (xvfb-run).
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include "audio_harness.h"
#include "audio_spy.h"
#include "fake_openspc.h"
#include "play_button.h"
#include "playback.h"
#include "spc.h"
#include "spc_builder.h"

namespace {

constexpr const char* no_device_config = "default_driver=pulse\nserver=unix:/nonexistent/quorlin\n";
constexpr const char* null_device_config = "default_driver=null\n";

// Once a Play has opened a device, libao keeps its driver for the whole process.
bool device_may_be_open = false;

std::shared_ptr<const spc_format> image_with_title(const std::string& title) {
  return std::make_shared<const spc_format>(spc_builder().text_tag(title, "game", "artist", "").image());
}

bool playback_thread_gone() { return threads_named(playback_thread_name) == 0; }

// After Stop: a joined thread's task can stay listed in /proc for a moment
// after pthread_join returns, on its way out of the kernel.
bool playback_thread_gone_after_join() { return wait_until(playback_thread_gone, 1.0); }

class engine : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_openspc_reset();
    audio_spy_reset();
    use_libao_config(null_device_config);
    device_may_be_open = true;
  }
  void TearDown() override {
    player.stop();
    EXPECT_TRUE(playback_thread_gone_after_join());
  }
  hang_guard guard_{60, "an engine test"};
  spc_player player;
};

// These need the device never to have opened in this process (ctest runs
// each test in a process of its own).
class engine_without_device : public engine {
 protected:
  void SetUp() override {
    if (device_may_be_open) GTEST_SKIP() << "a device was opened earlier in this process";
    fake_openspc_reset();
    audio_spy_reset();
    use_libao_config(no_device_config);
  }
};

std::string play_and_capture_stdout(spc_player& player, std::shared_ptr<const spc_format> image) {
  ::testing::internal::CaptureStdout();
  player.play(std::move(image));
  return ::testing::internal::GetCapturedStdout();
}

TEST_F(engine_without_device, EveryPlayReportsTheMissingDeviceOnStdoutAndStopStillWorks) {
  const auto image = image_with_title("one");
  for (int i = 0; i < 3; ++i) {
    const long runs_before = fake_openspc_counts_now().run_calls;
    EXPECT_EQ(play_and_capture_stdout(player, image), "Error opening audio device.\n") << "Play " << i;
    EXPECT_TRUE(wait_until([=] { return fake_openspc_counts_now().run_calls > runs_before; }, 5));
    const double before = now_seconds();
    player.stop();
    EXPECT_LT(now_seconds() - before, 0.2) << "Stop waited for the sleep to end";
    EXPECT_TRUE(playback_thread_gone_after_join());
  }
  EXPECT_EQ(audio_spy_counts_now().calls, 0);
}

// Plays a never-ending song for one second of wall time, then stops, and
// checks the thread kept real-time pace: 32000 bytes is a quarter of a
// second, so about 5 runs, not thousands.
void expect_real_time_pace_for_one_second(spc_player& player,
                                          std::shared_ptr<const spc_format> image) {
  ::testing::internal::CaptureStdout();  // a missing device is reported there
  player.play(std::move(image));
  sleep_seconds(1.0);
  const auto counts = fake_openspc_counts_now();
  player.stop();
  ::testing::internal::GetCapturedStdout();
  EXPECT_GE(counts.run_calls, 2);
  EXPECT_LE(counts.run_calls, 8);
  EXPECT_LT(counts.run_thread_cpu_ns, 250'000'000) << "the thread used most of a core";
}

TEST_F(engine_without_device, PlayWithNothingToHearLeavesTheButtonAtPlay) {
  if (!gtk_init_check(nullptr, nullptr)) GTEST_SKIP() << "no display for GTK (run under xvfb-run)";
  const play_button_ptr controls = play_button_new();
  play_button_set_image(*controls, image_with_title("silent"));
  GtkWidget* play = play_button_get_widgets(*controls).button_play;
  ::testing::internal::CaptureStdout();
  play_spc_shim(play, controls.get());
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error opening audio device.\n");
  EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(play)), "Play");
  EXPECT_FALSE(quorlin_player_thread_exists(play_button_player(*controls)));
  EXPECT_EQ(quorlin_player_get_state(play_button_player(*controls)), QUORLIN_PLAYER_IDLE);
}

TEST_F(engine_without_device, RendersAtRealTimePaceInsteadOfSpinning) {
  expect_real_time_pace_for_one_second(player, image_with_title("paced"));
  EXPECT_EQ(audio_spy_counts_now().calls, 0);
}

TEST_F(engine_without_device, ALaterPlayOpensTheDeviceOnceItCan) {
  EXPECT_EQ(play_and_capture_stdout(player, image_with_title("first")), "Error opening audio device.\n");
  use_libao_config(null_device_config);
  device_may_be_open = true;
  EXPECT_EQ(play_and_capture_stdout(player, image_with_title("second")), "");
  EXPECT_TRUE(wait_until([] { return audio_spy_counts_now().calls > 0; }, 5))
      << "nothing reached the device opened at the second Play";
}

TEST_F(engine, SongThatEndsAtOnceWritesNothingAndStaysJoinable) {
  fake_openspc_set_song({.bytes_per_run = 0});
  player.play(image_with_title("empty"));
  ASSERT_TRUE(wait_until([] { return fake_openspc_counts_now().run_calls >= 1; }, 5));
  ASSERT_TRUE(wait_until(playback_thread_gone, 5)) << "the thread did not end by itself";
  EXPECT_EQ(audio_spy_counts_now().calls, 0);
  EXPECT_TRUE(player.thread_exists()) << "only Stop (or the next Play) joins the thread";
  player.stop();
  EXPECT_FALSE(player.thread_exists());
}

TEST_F(engine, PlayJoinsTheThreadOfASongThatEndedByItself) {
  fake_openspc_set_song({.bytes_per_run = 0});
  const auto image = image_with_title("short");
  long vm_after_first = 0;
  // A thread that is never joined keeps its stack (8 MiB by default) mapped.
  for (int i = 0; i < 64; ++i) {
    player.play(image);
    ASSERT_TRUE(wait_until([i] { return fake_openspc_counts_now().run_calls >= i + 1; }, 5));
    ASSERT_TRUE(wait_until(playback_thread_gone, 5));
    ASSERT_TRUE(player.thread_exists());
    if (i == 0) vm_after_first = vm_size_kib();
  }
  EXPECT_LT(vm_size_kib() - vm_after_first, 64 * 1024) << "finished threads were not joined";
}

TEST_F(engine, EveryPlayStartsTheSongOverFromTheImage) {
  const auto first = image_with_title("first");
  const auto second = image_with_title("second");
  player.play(first);
  ASSERT_TRUE(wait_until([] { return fake_openspc_counts_now().run_calls >= 3; }, 5));
  player.play(second);
  ASSERT_TRUE(wait_until([] { return fake_openspc_counts_now().run_calls >= 6; }, 5));
  player.play(second);
  ASSERT_TRUE(wait_until([] { return fake_openspc_counts_now().run_calls >= 9; }, 5));
  player.stop();
  EXPECT_EQ(fake_openspc_counts_now().init_calls, 3);
  const auto* raw = reinterpret_cast<const std::uint8_t*>(second.get());
  EXPECT_EQ(fake_openspc_last_image(), std::vector<std::uint8_t>(raw, raw + spc_image_size));
  // The spy sees each song start at frame 0 and run on without a gap.
  EXPECT_EQ(audio_spy_counts_now().pattern_breaks, 0);
}

TEST_F(engine, TheThreadKeepsItsImageAliveUntilItEnds) {
  auto image = image_with_title("kept");
  const std::weak_ptr<const spc_format> watch = image;
  player.play(std::move(image));  // the caller holds no reference any more
  ASSERT_TRUE(wait_until([] { return fake_openspc_counts_now().run_calls >= 20; }, 5));
  EXPECT_FALSE(watch.expired());
  EXPECT_EQ(fake_openspc_counts_now().image_changes, 0);
  player.stop();
  EXPECT_TRUE(watch.expired()) << "the stopped thread did not release its image";
}

TEST_F(engine, ASongThatEndsReleasesItsImageBeforeStop) {
  fake_openspc_set_song({.bytes_per_run = 32000, .runs = 3});
  auto image = image_with_title("ends");
  const std::weak_ptr<const spc_format> watch = image;
  player.play(std::move(image));
  ASSERT_TRUE(wait_until([] { return fake_openspc_counts_now().run_calls >= 4; }, 5));
  ASSERT_TRUE(wait_until(playback_thread_gone, 5));
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(audio_spy_counts_now().calls, 3);
}

TEST_F(engine, WritesExactlyWhatTheLibraryRendered) {
  fake_openspc_set_song({.bytes_per_run = 1000, .runs = 20});
  player.play(image_with_title("partial"));
  ASSERT_TRUE(wait_until([] { return fake_openspc_counts_now().run_calls >= 21; }, 5));
  ASSERT_TRUE(wait_until(playback_thread_gone, 5));
  const auto written = audio_spy_counts_now();
  EXPECT_EQ(written.calls, 20);
  EXPECT_EQ(written.bytes, 20 * 1000);
  EXPECT_EQ(written.pattern_breaks, 0);
}

TEST_F(engine, StopCancelsOnlyBetweenBuffersAndWithinOneBuffer) {
  audio_spy_set(spy_device::real_time);
  player.play(image_with_title("blocking"));
  for (int stops = 0; stops < 4; ++stops) {
    ASSERT_TRUE(wait_until([] { return audio_spy_counts_now().calls >= 2; }, 5));
    const double before = now_seconds();
    player.stop();
    EXPECT_LT(now_seconds() - before, 0.6) << "Stop took longer than one buffer";
    const auto run = fake_openspc_counts_now();
    const auto play = audio_spy_counts_now();
    EXPECT_EQ(run.runs_entered, run.runs_left) << "cancelled inside OSPC_Run";
    EXPECT_EQ(play.entered, play.left) << "cancelled inside ao_play";
    audio_spy_reset();
    audio_spy_set(spy_device::real_time);
    player.play(image_with_title("again"));
  }
}

TEST_F(engine, TwoHundredPlayStopCyclesNeitherHangNorLeak) {
  const auto image = image_with_title("cycles");
  const std::weak_ptr<const spc_format> watch = image;
  for (int i = 0; i < 200; ++i) {
    player.play(image);
    if (i % 3 == 0) sleep_seconds(0.002);
    player.stop();
    if (i % 7 == 0) player.stop();  // a second Stop has nothing to join
  }
  const auto run = fake_openspc_counts_now();
  EXPECT_EQ(run.init_calls, 200);
  EXPECT_EQ(run.runs_entered, run.runs_left);
  EXPECT_EQ(audio_spy_counts_now().pattern_breaks, 0);
  EXPECT_EQ(watch.use_count(), 1) << "a stopped thread still holds the image";
  EXPECT_FALSE(player.thread_exists());
}

TEST_F(engine, ADeviceThatRefusesAudioDoesNotMakeTheThreadSpin) {
  audio_spy_set(spy_device::refuses);
  expect_real_time_pace_for_one_second(player, image_with_title("refused"));
  EXPECT_GT(audio_spy_counts_now().calls, 0);
}

TEST_F(engine, PlayWithoutAnImageEndsAtOnce) {
  player.play(nullptr);
  ASSERT_TRUE(wait_until([] { return fake_openspc_counts_now().run_calls >= 1; }, 5));
  ASSERT_TRUE(wait_until(playback_thread_gone, 5));
  EXPECT_EQ(audio_spy_counts_now().calls, 0);
  EXPECT_TRUE(fake_openspc_last_image().empty());
}

// The image the button was handed, as the window hands it the loaded one.
std::shared_ptr<const spc_format> window_image;

class play_button : public engine {
 protected:
  void SetUp() override {
    engine::SetUp();
    // No accessibility bus or settings daemon for a bare button.
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    if (!gtk_init_check(nullptr, nullptr)) GTEST_SKIP() << "no display for GTK (run under xvfb-run)";
    controls = play_button_new();
    play = GTK_WIDGET(g_object_ref_sink(play_button_get_widgets(*controls).button_play));
    g_signal_connect(play_button_player(*controls), "state-changed",
                     G_CALLBACK(+[](QuorlinPlayer*, int state, gpointer seen) noexcept {
                       static_cast<std::vector<int>*>(seen)->push_back(state);
                     }),
                     &states);
  }
  void TearDown() override {
    controls.reset();
    if (play) g_object_unref(play);
    window_image.reset();
    engine::TearDown();
  }
  void click(GtkWidget* button) { play_spc_shim(button, controls.get()); }
  std::string label() const { return gtk_button_get_label(GTK_BUTTON(play)); }
  bool thread_exists() const { return quorlin_player_thread_exists(play_button_player(*controls)); }

  play_button_ptr controls;
  GtkWidget* play = nullptr;  // the controls' Play button, referenced here
  std::vector<int> states;    // what "state-changed" said, in order
};

TEST_F(play_button, PlayPlaysTheWindowsImageAndTurnsIntoStop) {
  window_image = image_with_title("in the window");
  play_button_set_image(*controls, window_image);
  click(play);
  EXPECT_EQ(label(), "Stop");
  EXPECT_TRUE(thread_exists());
  ASSERT_TRUE(wait_until([] { return fake_openspc_counts_now().init_calls == 1; }, 5));
  const auto* raw = reinterpret_cast<const std::uint8_t*>(window_image.get());
  EXPECT_EQ(fake_openspc_last_image(), std::vector<std::uint8_t>(raw, raw + spc_image_size));

  click(play);
  EXPECT_EQ(label(), "Play");
  EXPECT_FALSE(thread_exists());
  EXPECT_EQ(states, (std::vector<int>{QUORLIN_PLAYER_PLAYING, QUORLIN_PLAYER_IDLE}));
}

// Lets the main loop run what the playing thread posted to it.
bool label_becomes(GtkWidget* button, const char* text, double seconds = 5) {
  return wait_until(
      [&] {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        return gtk_button_get_label(GTK_BUTTON(button)) == std::string(text);
      },
      seconds);
}

TEST_F(play_button, ASongThatEndsTurnsTheButtonBackToPlay) {
  fake_openspc_set_song({.bytes_per_run = 32000, .runs = 3});
  window_image = image_with_title("ends");
  play_button_set_image(*controls, window_image);
  click(play);
  ASSERT_EQ(label(), "Stop");
  ASSERT_TRUE(label_becomes(play, "Play")) << "the button still offers to stop an ended song";
  EXPECT_FALSE(thread_exists()) << "the end joins the finished thread";
  EXPECT_EQ(quorlin_player_get_position(play_button_player(*controls)), 3 * 8000.0 / 32000)
      << "the clock counts every frame the device got";
  EXPECT_EQ(states, (std::vector<int>{QUORLIN_PLAYER_PLAYING, QUORLIN_PLAYER_ENDED}));
  click(play);
  EXPECT_EQ(label(), "Stop");
  EXPECT_TRUE(wait_until([] { return fake_openspc_counts_now().init_calls == 2; }, 5))
      << "the next click plays the song again from its start";
  EXPECT_EQ(states.back(), QUORLIN_PLAYER_PLAYING);
}

TEST_F(play_button, TheEndOfAnEarlierSongDoesNotStopTheNextOne) {
  fake_openspc_set_song({.bytes_per_run = 0});
  window_image = image_with_title("short");
  play_button_set_image(*controls, window_image);
  click(play);
  ASSERT_TRUE(wait_until(playback_thread_gone, 5));  // its notice waits in the main loop
  fake_openspc_set_song({});
  click(play);
  click(play);
  ASSERT_EQ(label(), "Stop");
  EXPECT_FALSE(label_becomes(play, "Play", 0.5)) << "a stale song-end notice stopped the new song";
  EXPECT_TRUE(thread_exists());
  EXPECT_EQ(quorlin_player_get_state(play_button_player(*controls)), QUORLIN_PLAYER_PLAYING);
}

// Another button playing through the same player (Play Sample): Play stops
// it and plays the song; the other button's label follows the player too.
TEST_F(play_button, PlayOverAnotherButtonsSongTakesThePlayerOver) {
  window_image = image_with_title("song");
  play_button_set_image(*controls, window_image);
  GtkWidget* other = GTK_WIDGET(g_object_ref_sink(gtk_button_new_with_label("Play Sample")));
  ASSERT_TRUE(play_button_play(*controls, other, image_with_title("sample"), "Play Sample",
                               "Stop Sample"));
  EXPECT_EQ(gtk_button_get_label(GTK_BUTTON(other)), std::string("Stop Sample"));
  click(play);
  EXPECT_EQ(gtk_button_get_label(GTK_BUTTON(other)), std::string("Play Sample"));
  EXPECT_EQ(label(), "Stop");
  EXPECT_EQ(play_button_playing(*controls), play);
  click(play);
  EXPECT_EQ(label(), "Play");
  EXPECT_FALSE(thread_exists());
  g_object_unref(other);
}

}  // namespace
