// File > Export Samples… with its instrument kit box ticked, through the
// real folder chooser: the kit lands beside the WAV files, tuned from the
// song the window followed.
#include <gtest/gtest.h>

#include <string>

#include "export_dialog.h"
#include "gui_input.h"
#include "gui_support.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "song_follow.h"
#include "spc_builder.h"
#include "table_fixture.h"

namespace {

class KitExportDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    gui_window();
    gui_focus_window();
  }
  void TearDown() override {
    main_window_load_file(gui_window(), dir.file("missing.spc").c_str());
    table_fixture_reset();
  }
  temp_dir dir;
};

TEST_F(KitExportDialogTest, WritesTheKitWhenTicked) {
  spc_builder tone;
  tone.square_wave_tone();
  const std::string path = tone.write_to(dir.path(), "tone.spc");
  ASSERT_TRUE(main_window_load_file(gui_window(), path.c_str()));
  ASSERT_TRUE(gui_wait_until([] { return main_window_song_follow(gui_window()).trace() != nullptr; }, 30000));
  temp_dir out(dir.path());  // the chooser picks it in a quiet folder
  const main_window_widgets& w = main_window_get_widgets(gui_window());
  const dialog_seen seen = gui_open_through_dialog(
      out.path(), [&w] { gtk_menu_item_activate(GTK_MENU_ITEM(w.menu_file_export)); },
      [](GtkFileChooser* chooser) {
        g_autoptr(GList) boxes = gtk_container_get_children(
            GTK_CONTAINER(gtk_file_chooser_get_extra_widget(chooser)));
        for (GList* at = boxes; at; at = at->next)
          if (gui_text(GTK_WIDGET(at->data)) == export_instruments_label)
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(at->data), TRUE);
      });
  ASSERT_TRUE(seen.appeared);
  ASSERT_TRUE(gui_wait_until(
      [] { return !main_window_background_tasks(gui_window()).running(task_kind::export_files); }));
  for (const char* name : {"tone-01.wav", "tone.sf2", "tone.sfz", "tone-instruments.txt"})
    EXPECT_TRUE(g_file_test(out.file(name).c_str(), G_FILE_TEST_EXISTS)) << name;
  EXPECT_NE(gui_text(w.label_message).find("instrument kit tone.sf2"), std::string::npos)
      << gui_text(w.label_message);
}

}  // namespace
