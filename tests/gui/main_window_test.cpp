// The main window as a user meets it: the menus, the file chooser, the
// information panel and the rows of a loaded file.

#include <gtest/gtest.h>

#include "gui_support.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "spc_builder.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override { gui_window(); }
  const main_window_widgets& w = main_window_get_widgets(gui_window());
  temp_dir dir;

  // A tagged file with samples 1 and 2 (start 0x1000 and 0x600).
  std::string tagged_file(const std::string& name = "tagged.spc") {
    spc_builder builder;
    builder.text_tag("Song", "Game", "Artist", "065").dir_entry(0, 0x1000, 0x1012);
    builder.dir_entry(1, 0x0600, 0x0600).brr_chain(0x1000, 4).brr_chain(0x0600, 1);
    return builder.write_to(dir.path(), name);
  }
};

TEST_F(MainWindowTest, TitleAndMenus) {
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(w.window)), "Quorlin");
  EXPECT_EQ(gui_text(w.button_play), "Play");
  EXPECT_EQ(gui_text(w.menu_file_open), "Open SPC");
  EXPECT_EQ(gui_text(w.menu_file_quit), "Quit");
  EXPECT_EQ(gui_text(w.menu_help_about), "About");
}

TEST_F(MainWindowTest, StartsEmptyWithPlayHidden) {
  if (main_window_current_spc(gui_window())) GTEST_SKIP() << "an earlier test in this process loaded a file";
  for (GtkWidget* label : {w.label_filename, w.label_game_title, w.label_song_title,
                           w.label_artist_name, w.label_song_length})
    EXPECT_EQ(gui_text(label), "");
  EXPECT_FALSE(gtk_widget_get_visible(w.button_play));
  EXPECT_TRUE(gui_visible_rows().empty());
}

TEST_F(MainWindowTest, OpenThroughTheRealChooser) {
  const std::string path = tagged_file();
  const dialog_seen seen = gui_open_through_dialog(path);
  ASSERT_TRUE(seen.appeared);
  EXPECT_EQ(seen.title, "Open SPC File");
  EXPECT_EQ(seen.filter_name, "SPC Files");
  EXPECT_TRUE(seen.filter_list.empty()) << "the filter is not offered as a choice";

  EXPECT_EQ(gui_tooltip(w.label_filename), path);
  EXPECT_EQ(gui_text(w.label_game_title), "Game");
  EXPECT_EQ(gui_text(w.label_song_title), "Song");
  EXPECT_EQ(gui_text(w.label_artist_name), "Artist");
  EXPECT_EQ(gui_text(w.label_song_length), "1:05");
  EXPECT_TRUE(gtk_widget_get_visible(w.button_play));
  const auto rows = gui_visible_rows();
  ASSERT_EQ(rows.size(), 2u);
  // Whatever the view's order, both rows are there with hexadecimal texts.
  std::vector<std::vector<std::string>> expected = {{"1", "1000", "1012", "24", "12"},
                                                    {"2", "600", "600", "9", "9"}};
  const std::vector<std::vector<std::string>> reversed = {expected[1], expected[0]};
  EXPECT_TRUE(rows == expected || rows == reversed);
}

TEST_F(MainWindowTest, CancelChangesNothing) {
  ASSERT_TRUE(main_window_load_file(gui_window(), tagged_file().c_str()));
  const std::string before = gui_text(w.label_filename);
  const dialog_seen seen = gui_open_through_dialog("");
  EXPECT_TRUE(seen.appeared);
  EXPECT_EQ(gui_text(w.label_filename), before);
  EXPECT_EQ(gui_visible_rows().size(), 2u);
}

TEST_F(MainWindowTest, UntaggedFileSaysSoInEveryTagLabel) {
  spc_builder builder;
  builder.tag_marker(0).dir_entry(0, 0x2000, 0x2000).brr_chain(0x2000, 1);
  ASSERT_TRUE(main_window_load_file(gui_window(), builder.write_to(dir.path(), "untagged.spc").c_str()));
  for (GtkWidget* label : {w.label_game_title, w.label_song_title, w.label_artist_name,
                           w.label_song_length})
    EXPECT_EQ(gui_text(label), "[No ID666 Info]");
  EXPECT_TRUE(gtk_widget_get_visible(w.button_play));
  EXPECT_EQ(gui_visible_rows().size(), 1u);
}

TEST_F(MainWindowTest, InvalidFileAfterAValidOne) {
  ASSERT_TRUE(main_window_load_file(gui_window(), tagged_file().c_str()));
  const std::string bad = dir.file("bad.spc");
  g_file_set_contents(bad.c_str(), "not an spc", -1, nullptr);
  CaptureStderr();
  EXPECT_FALSE(main_window_load_file(gui_window(), bad.c_str()));
  EXPECT_EQ(GetCapturedStderr().rfind("quorlin: " + bad + ": Unable to read SPC file", 0), 0u);
  EXPECT_FALSE(gtk_widget_get_visible(w.button_play));
  EXPECT_FALSE(main_window_current_spc(gui_window()));
  for (GtkWidget* label : {w.label_game_title, w.label_song_title, w.label_artist_name,
                           w.label_song_length})
    EXPECT_EQ(gui_text(label), "");
  // The file name and rows of the last good file stay.
  EXPECT_NE(gui_text(w.label_filename).find("tagged.spc"), std::string::npos);
  EXPECT_EQ(gui_visible_rows().size(), 2u);
}

TEST_F(MainWindowTest, SecondFileReplacesEverything) {
  ASSERT_TRUE(main_window_load_file(gui_window(), tagged_file().c_str()));
  spc_builder other;
  other.text_tag("Other Song", "Other Game", "Someone", "180").dir_entry(9, 0x0100, 0x0100);
  other.brr_chain(0x0100, 2);
  ASSERT_TRUE(main_window_load_file(gui_window(), other.write_to(dir.path(), "other.spc").c_str()));
  EXPECT_EQ(gui_text(w.label_song_title), "Other Song");
  EXPECT_EQ(gui_text(w.label_song_length), "3:00");
  const auto rows = gui_visible_rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"A", "100", "100", "12", "12"}));
}

TEST_F(MainWindowTest, FileWithoutSamplesLeavesNoStaleRows) {
  ASSERT_TRUE(main_window_load_file(gui_window(), tagged_file().c_str()));
  ASSERT_TRUE(main_window_load_file(gui_window(), spc_builder().write_to(dir.path(), "none.spc").c_str()));
  EXPECT_TRUE(gui_visible_rows().empty());
}

TEST_F(MainWindowTest, NonUtf8TagAndFileNameReachGtkAsUtf8) {
  spc_builder builder;
  builder.text_tag("Caf\xE9", "\x83\x5B\x83\x8B\x83\x5F", "", "1");
  const std::string path = builder.write_to(dir.path(), "caf\xE9.spc");
  ASSERT_TRUE(main_window_load_file(gui_window(), path.c_str()));
  EXPECT_EQ(gui_text(w.label_song_title), "Café");
  EXPECT_EQ(gui_text(w.label_game_title), "ゼルダ");
  EXPECT_TRUE(g_utf8_validate(gui_text(w.label_filename).c_str(), -1, nullptr));
}

TEST_F(MainWindowTest, AboutNamesTheProgram) {
  const dialog_seen seen = gui_about();
  ASSERT_TRUE(seen.appeared);
  EXPECT_EQ(seen.primary_text.rfind("Quorlin", 0), 0u);
}

TEST_F(MainWindowTest, CorpusFilesShowTheirTags) {
  const std::string sato = corpus_file("sato_forest_01.spc");
  if (sato.empty()) GTEST_SKIP() << "SPC corpus folder not found; skipping real files";
  ASSERT_TRUE(main_window_load_file(gui_window(), sato.c_str()));
  EXPECT_EQ(gui_text(w.label_song_title), "Forest");
  EXPECT_EQ(gui_text(w.label_game_title), "Message for Peace");
  EXPECT_EQ(gui_text(w.label_artist_name), "Yoshiaki Sato");
  EXPECT_EQ(gui_text(w.label_song_length), "4:18");
  EXPECT_EQ(gui_visible_rows().size(), 199u);
}

}  // namespace
