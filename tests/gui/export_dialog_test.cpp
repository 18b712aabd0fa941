// File > Export Samples… through the real folder chooser: it writes the
// rows the filters let through, and replaces nothing unless asked.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "export_dialog.h"
#include "gui_input.h"
#include "gui_support.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "sample_export.h"
#include "sample_table.h"
#include "settings.h"
#include "table_fixture.h"

namespace {

class ExportDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    gui_window();
    gui_focus_window();
    table_fixture_reset();
  }
  void TearDown() override { table_fixture_reset(); }

  const main_window_widgets& w = main_window_get_widgets(gui_window());
  temp_dir dir, out{dir.path()};  // the chooser picks `out` in a quiet folder

  // Samples 1, 2, 9, A and 10 with at most `last` shown.
  void load_showing_up_to(int last) {
    ASSERT_TRUE(main_window_load_file(gui_window(), table_fixture_file(dir).c_str()));
    sample_table_chart_filters(gui_table())[SAMPLE_COLUMN_NUMBER + SAMPLE_COLUMN_COUNT] = last;
    sample_table_refilter(gui_table());
  }

  // Chooses `folder` after File > Export Samples…, ticking Replace when
  // `replace`, and waits for the files to be written.
  dialog_seen export_to(const std::string& folder, bool replace = false) {
    const dialog_seen seen = gui_open_through_dialog(
        folder, [this] { gtk_menu_item_activate(GTK_MENU_ITEM(w.menu_file_export)); },
        [replace](GtkFileChooser* chooser) {
          g_autoptr(GList) boxes = gtk_container_get_children(
              GTK_CONTAINER(gtk_file_chooser_get_extra_widget(chooser)));
          for (GList* at = boxes; at; at = at->next)
            if (gui_text(GTK_WIDGET(at->data)) == export_force_label)
              gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(at->data), replace);
        });
    // The job waits its turn on GLib's pool behind whatever else runs there.
    EXPECT_TRUE(gui_wait_until(
        [] { return !main_window_background_tasks(gui_window()).running(task_kind::export_files); },
        30000));
    return seen;
  }
  bool error_shown() {
    return gtk_info_bar_get_message_type(GTK_INFO_BAR(w.info_bar)) == GTK_MESSAGE_ERROR;
  }
};

TEST_F(ExportDialogTest, NeedsALoadedFileAndCtrlEOpensIt) {
  std::ofstream(dir.file("bad.spc")) << "not an SPC file";
  testing::internal::CaptureStderr();
  main_window_load_file(gui_window(), dir.file("bad.spc").c_str());
  testing::internal::GetCapturedStderr();
  EXPECT_FALSE(gtk_widget_is_sensitive(w.menu_file_export));
  load_showing_up_to(9);
  const dialog_seen seen = gui_open_through_dialog("", [] { gui_key(GDK_KEY_e, GDK_CONTROL_MASK); });
  EXPECT_EQ(seen.title, "Export Samples");
  EXPECT_EQ(seen.folder, dir.path()) << "no export folder remembered: the loaded file's";
  EXPECT_FALSE(gtk_widget_get_visible(w.info_bar)) << "Cancel reports nothing";
}

TEST_F(ExportDialogTest, WritesTheShownRowsAndReplacesOnlyWhenAsked) {
  load_showing_up_to(9);
  ASSERT_TRUE(export_to(out.path()).appeared);
  EXPECT_EQ(gui_text(w.label_message), "3 samples written to " + out.path());
  for (const char* name : {"mixed-01.wav", "mixed-02.brr", "mixed-09.wav", export_manifest_name})
    EXPECT_TRUE(g_file_test(out.file(name).c_str(), G_FILE_TEST_EXISTS)) << name;
  EXPECT_FALSE(g_file_test(out.file("mixed-0A.wav").c_str(), G_FILE_TEST_EXISTS));

  EXPECT_EQ(settings_last_export_folder(), out.path());
  const std::string users_file = out.file("mixed-01.wav");
  std::ofstream(users_file) << "mine";
  testing::internal::CaptureStderr();
  export_to(out.path());
  EXPECT_NE(testing::internal::GetCapturedStderr().find(users_file), std::string::npos);
  EXPECT_TRUE(error_shown());
  EXPECT_NE(gui_text(w.label_message).find(users_file), std::string::npos);
  EXPECT_EQ(file_text(users_file), "mine");

  export_to(out.path(), true);
  EXPECT_FALSE(error_shown());
  EXPECT_EQ(file_text(users_file).substr(0, 4), "RIFF");
}

// export_samples reads no numbers as every entry.
TEST_F(ExportDialogTest, NoRowsShownOpensNoChooser) {
  load_showing_up_to(0);
  EXPECT_FALSE(export_to(out.path()).appeared);
  EXPECT_EQ(gui_text(w.label_message), "No samples shown, so none exported");
}

}  // namespace
