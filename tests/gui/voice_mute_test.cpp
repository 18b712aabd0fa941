// Mute and Solo on the Voices page: real presses on the check boxes set the
// mask the song plays with (here the test double of the emulation library,
// which keeps the last mask handed over), while it plays too; a sample
// played alone is never muted; a new file starts with every voice heard.
#include <gtest/gtest.h>

#include "fake_openspc.h"
#include "gui_input.h"
#include "gui_support.h"
#include "inspector_pane.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "play_button.h"
#include "sample_inspector.h"
#include "spc_builder.h"
#include "table_fixture.h"
#include "voice_mute.h"
#include "voice_table.h"

namespace {

class VoiceMuteTest : public testing::Test {
 protected:
  void SetUp() override {
    gui_window();
    table_fixture_reset();
    fake_openspc_reset();
  }
  // Once the window is built.
  const inspector_pane_widgets& pane() { return inspector_pane_get_widgets(gui_pane()); }
  void TearDown() override { play_button_stop(main_window_play_button(gui_window())); }

  void load_and_show_voices(const std::string& name) {
    ASSERT_TRUE(main_window_load_file(gui_window(), spc_builder().two_tones().write_to(dir.path(), name).c_str()));
    gtk_notebook_set_current_page(GTK_NOTEBOOK(pane().notebook), 1);
    ASSERT_TRUE(gui_wait_laid_out(pane().voice_table));
  }
  void press(voice_switch which, int voice) {
    gui_click_cell(GTK_TREE_VIEW(pane().voice_table), voice,
                   voice_table_switch_column(pane().voice_table, which));
  }
  bool box_ticked(voice_switch which, int voice) {
    GtkTreeModel* model = gtk_tree_view_get_model(GTK_TREE_VIEW(pane().voice_table));
    GtkTreeIter iter;
    gboolean ticked = FALSE;
    if (gtk_tree_model_iter_nth_child(model, &iter, nullptr, voice))
      gtk_tree_model_get(model, &iter, VOICE_COLUMN_COUNT + (which == voice_switch::solo), &ticked, -1);
    return ticked;
  }

  const main_window_widgets& w = main_window_get_widgets(gui_window());
  temp_dir dir;
};

TEST_F(VoiceMuteTest, SwitchesSetTheSongsMaskWhilePlayingAndANewFileClearsThem) {
  load_and_show_voices("first.spc");
  press(voice_switch::mute, 1);
  EXPECT_EQ(voice_mute_mask(gui_voices()), 0x02);
  EXPECT_TRUE(box_ticked(voice_switch::mute, 1));
  press(voice_switch::solo, 0);
  press(voice_switch::solo, 1);
  EXPECT_EQ(voice_mute_mask(gui_voices()), 0xFE) << "soloed but muted: voice 1 stays silent";

  gtk_button_clicked(GTK_BUTTON(w.button_play));
  ASSERT_TRUE(play_button_is_playing(main_window_play_button(gui_window())));
  EXPECT_EQ(fake_openspc_mute_mask(), 0xFEu) << "not handed over before Play";
  press(voice_switch::mute, 1);
  EXPECT_EQ(fake_openspc_mute_mask(), 0xFCu) << "not handed over while playing";
  EXPECT_FALSE(box_ticked(voice_switch::mute, 1));

  inspector_pane_inspect(gui_pane(), 1);
  GtkWidget* play_sample = sample_inspector_play_button(pane().inspector);
  gtk_button_clicked(GTK_BUTTON(play_sample));
  ASSERT_EQ(gui_text(play_sample), "Stop Sample");
  EXPECT_EQ(fake_openspc_mute_mask(), 0u) << "a sample alone plays on voice 0 whatever the song mutes";
  press(voice_switch::mute, 0);
  EXPECT_EQ(fake_openspc_mute_mask(), 0u);
  gtk_button_clicked(GTK_BUTTON(w.button_play));
  EXPECT_EQ(fake_openspc_mute_mask(), 0xFDu);

  load_and_show_voices("second.spc");
  EXPECT_EQ(voice_mute_mask(gui_voices()), 0);
  EXPECT_FALSE(box_ticked(voice_switch::solo, 0));
  EXPECT_FALSE(box_ticked(voice_switch::mute, 0));
}

}  // namespace
