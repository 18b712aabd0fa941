// Play and Stop pressed over and over in the real window, through the real
// emulation library into a real sound server: with songs ending by
// themselves and files loaded mid-song. No hang, no crash, never more than
// one playing thread. QUORLIN_PLAY_STOP_CYCLES sets the count (default 100).

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "audio_harness.h"
#include "gui_support.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "spc_builder.h"

namespace {

int cycles_asked() {
  const char* text = std::getenv("QUORLIN_PLAY_STOP_CYCLES");
  const int cycles = text ? std::atoi(text) : 0;
  return cycles > 0 ? cycles : 100;
}

class PlayStopStress : public testing::Test {
 protected:
  void SetUp() override {
    const char* sink = std::getenv("QUORLIN_TEST_SINK");
    if (!sink || !*sink) GTEST_SKIP() << "QUORLIN_TEST_SINK is not set: no sound server to play into";
    use_libao_config("default_driver=pulse\n");
    gui_window();
  }

  void click_play_button() {
    gtk_button_clicked(GTK_BUTTON(main_window_get_widgets(gui_window()).button_play));
    most_threads = std::max(most_threads, threads_named(playback_thread_name));
  }
  std::string label() { return gui_text(main_window_get_widgets(gui_window()).button_play); }

  // Lets the main loop run for `seconds` while counting playing threads.
  void run_for(double seconds) {
    const double end = now_seconds() + seconds;
    gui_wait_until([&] {
      most_threads = std::max(most_threads, threads_named(playback_thread_name));
      return now_seconds() >= end;
    }, static_cast<int>(seconds * 1000) + 1000);
  }

  temp_dir dir;
  int most_threads = 0;
};

TEST_F(PlayStopStress, PlayAndStopNeverHangOrOverlap) {
  const int cycles = cycles_asked();
  hang_guard guard(30 + cycles * 2.0, "Play/Stop stress");
  // A song that ends by itself after 1 s with a 0.2 s fade, and one that
  // plays until stopped.
  const std::string ending = spc_builder().square_wave_tone()
                                 .text_tag("Ending", "Stress", "", "1", "200")
                                 .write_to(dir.path(), "ending.spc");
  const std::string endless = spc_builder().square_wave_tone().write_to(dir.path(), "endless.spc");
  std::mt19937 random(7);

  ASSERT_TRUE(main_window_load_file(gui_window(), endless.c_str()));
  for (int cycle = 0; cycle < cycles; ++cycle) {
    ASSERT_EQ(label(), "Play") << "cycle " << cycle;
    click_play_button();
    ASSERT_EQ(label(), "Stop");
    switch (cycle % 10) {
      case 3:  // another file loaded mid-song: the old song stops with it
        ASSERT_TRUE(main_window_load_file(gui_window(), cycle % 20 == 3 ? ending.c_str() : endless.c_str()));
        EXPECT_EQ(label(), "Play") << "cycle " << cycle;
        break;
      case 7:  // Stop, then the ending song: Stop lands in its fade, or the song
               // ended and the button reads "Play" again
        click_play_button();
        ASSERT_TRUE(main_window_load_file(gui_window(), ending.c_str()));
        click_play_button();
        run_for(1.0 + (random() % 400) / 1000.0);
        break;
      default:
        run_for((random() % 60) / 1000.0);
    }
    if (label() == "Stop") click_play_button();  // joins the thread, whatever its state
    // A joined thread's task may stay listed for a moment on its way out.
    EXPECT_TRUE(wait_until([] { return threads_named(playback_thread_name) == 0; }, 1.0))
        << "cycle " << cycle;
  }
  EXPECT_LE(most_threads, 1);
  EXPECT_EQ(label(), "Play");
}

}  // namespace
