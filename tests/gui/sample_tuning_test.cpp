// The Sample page's tuning line and Play Sample's note field, in the real
// window: the root from the sample's own pitch at once, corrected by the
// song's notes when its trace lands; a note plays the sample, a word that
// is not one is refused.
#include <gtest/gtest.h>

#include <string>

#include "gui_input.h"
#include "gui_support.h"
#include "inspector_pane.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "message_line.h"
#include "play_button.h"
#include "song_follow.h"
#include "spc_builder.h"
#include "table_fixture.h"

namespace {

class SampleTuningTest : public testing::Test {
 protected:
  void SetUp() override {
    gui_window();
    gui_focus_window();
  }
  void TearDown() override {
    main_window_load_file(gui_window(), dir.file("missing.spc").c_str());  // stops what plays
    table_fixture_reset();
  }
  std::string facts() { return gui_text(sample_inspector_facts(pane.inspector)); }

  // The window first: the pane builds its pages into it when asked for them.
  GtkWidget* window = GTK_WIDGET(gui_window());
  const inspector_pane_widgets& pane = inspector_pane_get_widgets(gui_pane());
  temp_dir dir;
};

TEST_F(SampleTuningTest, TheRootShowsAndANotePlaysTheSample) {
  // A 1000 Hz square wave (B5 +21 cents) the image keys on at 0x1000.
  spc_builder tone;
  tone.square_wave_tone();
  const std::string path = tone.write_to(dir.path(), "tone.spc");
  ASSERT_TRUE(main_window_load_file(gui_window(), path.c_str()));
  inspector_pane_inspect(gui_pane(), 1);
  EXPECT_NE(facts().find("Root B5 +21 cents (loop period)"), std::string::npos) << facts();

  // The song plays it only at 0x1000: that pitch is its key, in tune.
  ASSERT_TRUE(gui_wait_until([] { return main_window_song_follow(gui_window()).trace() != nullptr; }, 30000));
  gui_flush();
  EXPECT_NE(facts().find("Root B5 +0 cents (loop period), played B5"), std::string::npos)
      << facts();

  GtkWidget* note = sample_inspector_note(pane.inspector);
  GtkWidget* play = sample_inspector_play_button(pane.inspector);
  ASSERT_TRUE(gui_wait_until([play] {
    return gtk_widget_get_mapped(play) && gtk_widget_is_sensitive(play) &&
           gtk_widget_get_allocated_width(play) > 1;
  }));
  gtk_entry_set_text(GTK_ENTRY(note), "H5");
  gui_click_button(play);
  EXPECT_FALSE(play_button_is_playing(main_window_play_button(gui_window())));
  EXPECT_NE(gui_text(message_line_get_widgets(GTK_WIDGET(gui_window()))->label_message).find("\"H5\" is not a note"),
            std::string::npos);

  gtk_entry_set_text(GTK_ENTRY(note), "A4");
  gui_click_button(play);
  EXPECT_TRUE(gui_wait_until([] { return play_button_is_playing(main_window_play_button(gui_window())); }));
}

}  // namespace
