// File > Export Stems… through the real folder chooser: the stems render off
// the main loop with a progress bar and Cancel in the message line (the test
// double of the emulation library holds its renderers until released), and
// nothing is left of a cancelled file or replaced unless asked.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fake_openspc.h"
#include "gui_input.h"
#include "gui_support.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "spc_builder.h"
#include "stems_dialog.h"

namespace {

class StemsDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    gui_window();
    spc = spc_builder().two_tones().text_tag("song", "game", "artist", "1", "").write_to(
        dir.path(), "song.spc");
    ASSERT_TRUE(main_window_load_file(gui_window(), spc.c_str()));
  }
  void TearDown() override {
    fake_openspc_hold_renderers(false);
    main_window_stems_dialog(gui_window()).cancel();
  }

  dialog_seen export_stems(bool replace = false) {
    return gui_open_through_dialog(
        out.path(), [this] { gtk_menu_item_activate(GTK_MENU_ITEM(w.menu_file_export_stems)); },
        [replace](GtkFileChooser* chooser) {
          gtk_toggle_button_set_active(
              GTK_TOGGLE_BUTTON(gtk_file_chooser_get_extra_widget(chooser)), replace);
        });
  }
  int files_in_out() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(out.path()))
      ++count;
    return count;
  }

  const main_window_widgets& w = main_window_get_widgets(gui_window());
  // The window (built once per process) owns the dialog.
  const stems_dialog_widgets& progress = main_window_stems_dialog(gui_window()).widgets();
  temp_dir dir, out{dir.path()};  // the chooser picks `out` in a quiet folder
  std::string spc;
};

TEST_F(StemsDialogTest, ProgressShowsWhileRenderingAndCancelLeavesNoFile) {
  fake_openspc_hold_renderers(true);
  ASSERT_TRUE(export_stems().appeared);
  ASSERT_TRUE(main_window_stems_dialog(gui_window()).busy());
  ASSERT_TRUE(gui_wait_until([&] { return gtk_widget_is_visible(progress.progress_bar); }));
  EXPECT_EQ(gui_text(w.label_message), "Rendering the stems of song.spc\u2026");
  gui_click_button(progress.button_cancel);
  fake_openspc_hold_renderers(false);
  ASSERT_TRUE(gui_wait_until([] { return !main_window_stems_dialog(gui_window()).busy(); }));
  EXPECT_EQ(gui_text(w.label_message), "Stems cancelled: 0 of 3 files written to " + out.path());
  EXPECT_FALSE(gtk_widget_get_visible(progress.progress_box));
  EXPECT_EQ(files_in_out(), 0) << "a cancelled stem was written, or its temporary file stayed";
}

TEST_F(StemsDialogTest, WritesEveryStemAndReplacesOnlyWhenAsked) {
  ASSERT_TRUE(export_stems().appeared);
  ASSERT_TRUE(gui_wait_until([] { return !main_window_stems_dialog(gui_window()).busy(); }));
  EXPECT_EQ(gui_text(w.label_message),
            "3 stem files written to " + out.path() +
                "; voices 2, 3, 4, 5, 6, 7 never keyed on and silent, left out");
  for (const char* name : {"song-voice0.wav", "song-voice1.wav", "song-mix.wav"})
    EXPECT_EQ(std::filesystem::file_size(out.file(name)), 44u + 32000u * 4) << name;

  std::ofstream(out.file("song-mix.wav"), std::ios::trunc) << "mine";
  testing::internal::CaptureStderr();
  ASSERT_TRUE(export_stems().appeared);
  ASSERT_TRUE(gui_wait_until([] { return !main_window_stems_dialog(gui_window()).busy(); }));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("already exists"), std::string::npos);
  EXPECT_EQ(gtk_info_bar_get_message_type(GTK_INFO_BAR(w.info_bar)), GTK_MESSAGE_ERROR);
  EXPECT_EQ(std::filesystem::file_size(out.file("song-mix.wav")), 4u) << "replaced unasked";

  ASSERT_TRUE(export_stems(true).appeared);
  ASSERT_TRUE(gui_wait_until([] { return !main_window_stems_dialog(gui_window()).busy(); }));
  EXPECT_EQ(std::filesystem::file_size(out.file("song-mix.wav")), 44u + 32000u * 4);
}

// A new load stops the render of the file before, within one buffer.
TEST_F(StemsDialogTest, LoadingAnotherFileCancelsTheRender) {
  fake_openspc_hold_renderers(true);
  ASSERT_TRUE(export_stems().appeared);
  ASSERT_TRUE(main_window_stems_dialog(gui_window()).busy());
  fake_openspc_hold_renderers(false);
  ASSERT_TRUE(main_window_load_file(gui_window(), spc.c_str()));
  EXPECT_FALSE(main_window_stems_dialog(gui_window()).busy());
  EXPECT_FALSE(gtk_widget_get_visible(progress.progress_box));
}

}  // namespace
