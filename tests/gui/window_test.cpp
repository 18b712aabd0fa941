// The window as a user lives in it: playback that follows the file, failures
// in the message line, the status line, the layout, the elapsed time,
// browsing a folder and the remembered folder. Real window, real input.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "fake_openspc.h"
#include "filter_panel.h"
#include "gui_input.h"
#include "gui_support.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "sample_table.h"
#include "settings.h"
#include "song_follow.h"
#include "spc_builder.h"
#include "table_fixture.h"

namespace {

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    gui_window();
    gui_focus_window();
  }
  void TearDown() override {
    if (gui_text(w.button_play) == "Stop") gtk_button_clicked(GTK_BUTTON(w.button_play));
    table_fixture_reset();
  }
  const main_window_widgets& w = main_window_get_widgets(gui_window());
  temp_dir dir;

  std::string tone(const std::string& name, const char* length = "65") {
    return spc_builder().text_tag("Tone", "Game", "", length).square_wave_tone().write_to(dir.path(), name);
  }
  bool message_shown() { return gtk_widget_get_visible(w.info_bar); }
  // Back to the size the window opens at (a test before may have changed it).
  void lay_out_at_default_size() {
    gtk_window_resize(GTK_WINDOW(w.window), 1100, 600);
    ASSERT_TRUE(gui_wait_laid_out(w.window));
    ASSERT_EQ(gtk_widget_get_allocated_width(w.window), 1100);
  }
};

TEST_F(WindowTest, OpeningAnotherFileStopsTheSongWhetherItLoadsOrNot) {
  ASSERT_TRUE(main_window_load_file(gui_window(), tone("first.spc").c_str()));
  gtk_button_clicked(GTK_BUTTON(w.button_play));
  ASSERT_EQ(gui_text(w.button_play), "Stop");
  ASSERT_TRUE(main_window_load_file(gui_window(), tone("second.spc").c_str()));
  EXPECT_EQ(gui_text(w.button_play), "Play");
  EXPECT_FALSE(quorlin_player_thread_exists(play_button_player(main_window_play_button(gui_window()))))
      << "the first song plays under the second's name";

  gtk_button_clicked(GTK_BUTTON(w.button_play));
  EXPECT_FALSE(main_window_load_file(gui_window(), dir.file("missing.spc").c_str()));
  EXPECT_FALSE(quorlin_player_thread_exists(play_button_player(main_window_play_button(gui_window()))))
      << "a song plays on with no button left to stop it";
  EXPECT_EQ(gui_text(w.button_play), "Play");
}

// The player says what it does, and the Play button's label follows: Play,
// Stop, and a song that ends by itself (the test library's ends after two
// buffers).
TEST_F(WindowTest, ThePlayersStateFollowsPlayStopAndTheEndOfTheSong) {
  ASSERT_TRUE(main_window_load_file(gui_window(), tone("states.spc").c_str()));
  QuorlinPlayer* player = play_button_player(main_window_play_button(gui_window()));
  std::vector<int> states;
  const gulong handler = g_signal_connect(
      player, "state-changed", G_CALLBACK(+[](QuorlinPlayer*, int state, gpointer seen) noexcept {
        static_cast<std::vector<int>*>(seen)->push_back(state);
      }),
      &states);
  gtk_button_clicked(GTK_BUTTON(w.button_play));
  EXPECT_EQ(gui_text(w.button_play), "Stop");
  gtk_button_clicked(GTK_BUTTON(w.button_play));
  EXPECT_EQ(gui_text(w.button_play), "Play");
  fake_openspc_set_song({.bytes_per_run = 32000, .runs = 2});
  gtk_button_clicked(GTK_BUTTON(w.button_play));
  EXPECT_TRUE(gui_wait_until([&] { return states.back() == QUORLIN_PLAYER_ENDED; }));
  EXPECT_EQ(gui_text(w.button_play), "Play");
  EXPECT_EQ(states, (std::vector<int>{QUORLIN_PLAYER_PLAYING, QUORLIN_PLAYER_IDLE,
                                      QUORLIN_PLAYER_PLAYING, QUORLIN_PLAYER_ENDED}));
  g_signal_handler_disconnect(player, handler);
  fake_openspc_reset();
}

// Selectable, the file name label could take the keys first, a text cursor
// blinking in it; the table is what the keys move through.
// GTK gives a window shown without a focus the first widget that takes one.
TEST_F(WindowTest, KeysStartInTheTableNotInTheFileName) {
  ASSERT_TRUE(main_window_load_file(gui_window(), tone("focus.spc").c_str()));
  gtk_widget_hide(w.window);
  gtk_window_set_focus(GTK_WINDOW(w.window), nullptr);
  main_window_show(gui_window());
  ASSERT_TRUE(gui_wait_until([&] { return gtk_widget_get_mapped(w.window) != FALSE; }));
  EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(w.window)), GTK_WIDGET(sample_table_view(gui_table())));
  EXPECT_FALSE(gtk_widget_has_focus(w.label_filename));
}

TEST_F(WindowTest, FailuresShowInTheMessageLineUntilTheNextLoad) {
  std::ofstream(dir.file("notes.spc")) << std::string(70000, 'x');
  EXPECT_FALSE(main_window_load_file(gui_window(), dir.file("notes.spc").c_str()));
  EXPECT_TRUE(message_shown());
  EXPECT_EQ(gui_text(w.label_message), "notes.spc: This does not look like a valid SPC file.");
  EXPECT_FALSE(main_window_load_file(gui_window(), dir.file("gone.spc").c_str()));
  EXPECT_EQ(gui_text(w.label_message), "gone.spc: Unable to open file: No such file or directory");
  ASSERT_TRUE(main_window_load_file(gui_window(), tone("good.spc").c_str()));
  EXPECT_FALSE(message_shown());

  main_window_show_message(gui_window(), message_kind::info, "Wrote 3 samples to /tmp");
  gtk_info_bar_response(GTK_INFO_BAR(w.info_bar), GTK_RESPONSE_CLOSE);
  EXPECT_FALSE(message_shown()) << "its close button dismisses it";
}

// The label holds the path as chosen, shortened in its middle on screen so
// that the file name at its end stays in view.
TEST_F(WindowTest, LabelShowsThePathTitleTheNameAndALongPathNeverWidensTheWindow) {
  gtk_window_resize(GTK_WINDOW(w.window), 640, 600);
  gui_wait_laid_out(w.window);
  const int width = gtk_widget_get_allocated_width(w.window);
  const std::string name = std::string(200, 'n') + ".spc";
  const std::string path = tone(name);
  ASSERT_TRUE(main_window_load_file(gui_window(), path.c_str()));
  gui_wait_laid_out(w.window);
  EXPECT_EQ(gtk_window_get_title(GTK_WINDOW(w.window)), name + " \u2014 Quorlin");
  EXPECT_EQ(gui_text(w.label_filename), path);
  EXPECT_EQ(gui_tooltip(w.label_filename), path);
  EXPECT_TRUE(gtk_label_get_selectable(GTK_LABEL(w.label_filename)));
  EXPECT_TRUE(pango_layout_is_ellipsized(gtk_label_get_layout(GTK_LABEL(w.label_filename))));
  EXPECT_EQ(gtk_widget_get_allocated_width(w.window), width);
  EXPECT_LT(gtk_widget_get_allocated_width(w.button_play), 200) << "Play stretched with the name";
}

// What the five columns of the table take, side by side, in pixels.
int columns_width() {
  int columns = 0;
  for (int i = 0; i < SAMPLE_COLUMN_COUNT; ++i)
    columns += gtk_tree_view_column_get_width(sample_table_column(gui_table(), i));
  return columns;
}

TEST_F(WindowTest, AllColumnsFitAndTheFilterPanelKeepsTheWindowShort) {
  ASSERT_TRUE(main_window_load_file(gui_window(), table_fixture_file(dir).c_str()));
  lay_out_at_default_size();
  EXPECT_LE(columns_width(), gtk_widget_get_allocated_width(w.scrolled_table));
  filter_panel_set_visible(gui_filter_panel(), true);
  gui_wait_laid_out(w.window);
  EXPECT_LE(gtk_widget_get_allocated_height(w.window), 700);
}

// Inside the window's allocation, whole: what a user can reach on screen
// (there is no window manager to put the window anywhere but at 0,0).
bool fully_inside_window(GtkWidget* widget) {
  GtkWidget* window = gtk_widget_get_toplevel(widget);
  int x = 0;
  int y = 0;
  if (!gtk_widget_get_mapped(widget) ||
      !gtk_widget_translate_coordinates(widget, window, 0, 0, &x, &y))
    return false;
  return x >= 0 && y >= 0 &&
         x + gtk_widget_get_allocated_width(widget) <= gtk_widget_get_allocated_width(window) &&
         y + gtk_widget_get_allocated_height(widget) <= gtk_widget_get_allocated_height(window);
}

// At its default size the window fits a 1280 x 1024 screen and, 700 pixels
// high at most, a 1366 x 768 one: the filters must fit into it as it is.
TEST_F(WindowTest, ShowingTheFiltersKeepsTheWindowsSizeAndEveryBoundInSight) {
  ASSERT_TRUE(main_window_load_file(gui_window(), table_fixture_file(dir).c_str()));
  filter_panel_set_visible(gui_filter_panel(), false);
  lay_out_at_default_size();
  const int width = gtk_widget_get_allocated_width(w.window);

  gui_click_button(filter_panel_get_widgets(gui_filter_panel()).button_show_filters);
  ASSERT_TRUE(gui_wait_laid_out(w.window));
  EXPECT_EQ(gtk_widget_get_allocated_width(w.window), width) << "the filters widened the window";
  EXPECT_LE(gtk_widget_get_allocated_height(w.window), 700);
  const filter_panel_widgets& panel = filter_panel_get_widgets(gui_filter_panel());
  EXPECT_TRUE(fully_inside_window(panel.button_show_filters));
  for (int i = 0; i < chart_filter_count; ++i)
    EXPECT_TRUE(fully_inside_window(panel.spinner[i])) << "bound " << i;
  EXPECT_TRUE(fully_inside_window(panel.check_only_played));
  // The table gave the room: what it cannot show is a scroll away.
  GtkWidget* sideways = gtk_scrolled_window_get_hscrollbar(GTK_SCROLLED_WINDOW(w.scrolled_table));
  EXPECT_TRUE(gtk_widget_get_mapped(sideways));

  gui_click_button(panel.button_show_filters);
  ASSERT_TRUE(gui_wait_laid_out(w.window));
  EXPECT_EQ(gtk_widget_get_allocated_width(w.window), width);
  EXPECT_LE(columns_width(), gtk_widget_get_allocated_width(w.scrolled_table))
      << "hidden again, the filters left the table narrow";
}

TEST_F(WindowTest, StatusLineCountsRowsSaysWhatWasCopiedAndNamesHiddenFilters) {
  ASSERT_TRUE(main_window_load_file(gui_window(), table_fixture_file(dir).c_str()));
  EXPECT_EQ(gui_text(w.label_status), "Showing 5 of 5 entries");
  // Once the song has been followed the line counts what it plays too.
  ASSERT_TRUE(gui_wait_until([] { return !main_window_song_follow(gui_window()).running(); }, 30000));
  const std::string played =
      ", " + std::to_string(sample_table_played_count(gui_table())) + " played by the song";
  EXPECT_EQ(gui_text(w.label_status), "Showing 5 of 5 entries" + played);
  gui_flush();
  gui_click_cell(sample_table_view(gui_table()), 2, sample_table_column(gui_table(), SAMPLE_COLUMN_LOOP));
  EXPECT_EQ(gui_text(w.label_status), "Copied 412");

  filter_panel_set_visible(gui_filter_panel(), true);
  GtkWidget* start_min = filter_panel_get_widgets(gui_filter_panel()).spinner[SAMPLE_COLUMN_START];
  ASSERT_TRUE(gui_wait_until([&] { return gtk_widget_get_mapped(start_min) != FALSE; }));
  gui_type_into(start_min, "$400");
  gui_key(GDK_KEY_Return);
  EXPECT_EQ(sample_table_chart_filters(gui_table())[SAMPLE_COLUMN_START], 0x400);
  EXPECT_EQ(gui_text(w.label_status), "Showing 3 of 5 entries" + played);
  std::vector<int> shown;  // what an export of the rows shown would take, in their order
  for (const std::string& number : table_fixture_column(SAMPLE_COLUMN_NUMBER))
    shown.push_back(static_cast<int>(std::stol(number, nullptr, 16)));
  EXPECT_EQ(sample_table_shown_sample_numbers(gui_table()), shown);
  filter_panel_set_visible(gui_filter_panel(), false);
  EXPECT_EQ(gui_text(w.label_status), "Showing 3 of 5 entries (filters active)" + played);
}

// The GUI tests play into libao's null device, which takes audio as fast as
// it comes: the clock runs fast, but only from what the thread played.
TEST_F(WindowTest, ElapsedTimeFollowsWhatThePlayingThreadPlayed) {
  ASSERT_TRUE(main_window_load_file(gui_window(), tone("timed.spc", "258").c_str()));
  EXPECT_FALSE(gtk_widget_get_visible(w.label_elapsed));
  gtk_button_clicked(GTK_BUTTON(w.button_play));
  EXPECT_TRUE(gtk_widget_get_visible(w.label_elapsed));
  const std::regex with_length("[1-9][0-9]*:[0-5][0-9] / 4:18|0:[0-5][1-9] / 4:18");
  EXPECT_TRUE(gui_wait_until([&] { return std::regex_match(gui_text(w.label_elapsed), with_length); }))
      << gui_text(w.label_elapsed);
  gtk_button_clicked(GTK_BUTTON(w.button_play));
  EXPECT_FALSE(gtk_widget_get_visible(w.label_elapsed));

  ASSERT_TRUE(main_window_load_file(gui_window(), tone("endless.spc", "").c_str()));
  gtk_button_clicked(GTK_BUTTON(w.button_play));
  EXPECT_TRUE(std::regex_match(gui_text(w.label_elapsed), std::regex("[0-9]+:[0-5][0-9]")))
      << "no length in the tag: " << gui_text(w.label_elapsed);
}

TEST_F(WindowTest, NextAndPreviousFileBrowseTheFolderInNameOrderAndWrap) {
  for (const char* name : {"track10.spc", "track2.SPC", "intro.spc"}) tone(name);
  std::ofstream(dir.file("notes.txt")) << "not a song";
  ASSERT_TRUE(main_window_load_file(gui_window(), dir.file("intro.spc").c_str()));
  gui_key(GDK_KEY_Right, GDK_MOD1_MASK);
  EXPECT_EQ(gui_text(w.label_filename), dir.file("track2.SPC"));
  gui_key(GDK_KEY_Page_Down);
  EXPECT_EQ(gui_text(w.label_filename), dir.file("track10.spc"));
  gui_key(GDK_KEY_Page_Down);
  EXPECT_EQ(gui_text(w.label_filename), dir.file("intro.spc")) << "Next wraps at the end";
  gui_key(GDK_KEY_Left, GDK_MOD1_MASK);
  EXPECT_EQ(gui_text(w.label_filename), dir.file("track10.spc")) << "Previous wraps at the start";
}

// A broken file in the folder is reported and stepped past, both ways, also
// when it is the first file opened.
TEST_F(WindowTest, NextAndPreviousFileStepPastAFileThatCannotBeRead) {
  tone("a.spc");
  tone("c.spc");
  std::ofstream(dir.file("b.spc")) << 'x';
  ASSERT_TRUE(main_window_load_file(gui_window(), dir.file("a.spc").c_str()));
  const auto reported_b = [&] {
    return message_shown() && gui_text(w.label_message).rfind("b.spc: ", 0) == 0;
  };
  gui_key(GDK_KEY_Page_Down);
  EXPECT_TRUE(reported_b());
  gui_key(GDK_KEY_Page_Down);
  EXPECT_EQ(gui_text(w.label_filename), dir.file("c.spc"));
  gui_key(GDK_KEY_Left, GDK_MOD1_MASK);
  EXPECT_TRUE(reported_b());
  gui_key(GDK_KEY_Left, GDK_MOD1_MASK);
  EXPECT_EQ(gui_text(w.label_filename), dir.file("a.spc"));

  ASSERT_FALSE(main_window_load_file(gui_window(), dir.file("b.spc").c_str()));
  EXPECT_TRUE(gtk_widget_get_sensitive(w.menu_file_previous));
  gtk_menu_item_activate(GTK_MENU_ITEM(w.menu_file_previous));
  EXPECT_EQ(gui_text(w.label_filename), dir.file("a.spc"));
}

TEST_F(WindowTest, OpenDialogStartsWhereTheLastFileWasAndIgnoresADamagedSettingsFile) {
  ASSERT_TRUE(main_window_load_file(gui_window(), tone("here.spc").c_str()));
  EXPECT_EQ(gui_open_through_dialog("").folder, dir.path());

  g_autofree char* settings =
      g_build_filename(g_get_user_config_dir(), "quorlin", "settings.ini", nullptr);
  std::ofstream(settings) << "\xFF[[[ not a key file";
  EXPECT_EQ(settings_last_folder(), "");
  ASSERT_TRUE(main_window_load_file(gui_window(), tone("again.spc").c_str()));
  EXPECT_EQ(settings_last_folder(), dir.path()) << "a damaged file is replaced";
}

TEST_F(WindowTest, AboutCreditsTheEmulatorAndListsTheShortcuts) {
  const dialog_seen seen = gui_about();
  EXPECT_NE(seen.secondary_text.find("Game_Music_Emu"), std::string::npos);
  EXPECT_NE(seen.secondary_text.find("Lesser General Public License"), std::string::npos);
  for (const char* key : {"Ctrl+O", "Ctrl+E", "Alt+Left", "Page Down", "Space", "Ctrl+Q"})
    EXPECT_NE(seen.secondary_text.find(key), std::string::npos) << key;
}

}  // namespace
