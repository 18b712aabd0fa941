// The filter panel through real input: texts typed into the spin buttons
// and confirmed with Return (or by leaving them), arrow and page keys, and
// clicks on the toggle and on Reset All Filters.

#include <gtest/gtest.h>

#include "filter_panel.h"
#include "gui_input.h"
#include "gui_support.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "sample_table.h"
#include "table_fixture.h"

namespace {

constexpr int min_of(int column) { return column; }
constexpr int max_of(int column) { return column + SAMPLE_COLUMN_COUNT; }

class FilterPanelTest : public testing::Test {
 protected:
  void SetUp() override {
    table_fixture_reset();
    filter_panel_set_visible(gui_filter_panel(), true);
    ASSERT_TRUE(main_window_load_file(gui_window(), table_fixture_file(dir).c_str()));
    gui_flush();
    ASSERT_EQ(gui_visible_rows(), table_fixture_rows());
  }
  void TearDown() override { table_fixture_reset(); }

  GtkWidget* spinner(int index) const { return w.spinner[index]; }
  std::string shown(int index) const { return gtk_entry_get_text(GTK_ENTRY(spinner(index))); }
  double value(int index) const {
    return gtk_spin_button_get_value(GTK_SPIN_BUTTON(spinner(index)));
  }
  std::int32_t bound(int index) const { return sample_table_chart_filters(gui_table())[index]; }

  // Types `text` over the spin button's text and presses Return.
  void enter(int index, const std::string& text) const {
    gui_type_into(spinner(index), text);
    gui_key(GDK_KEY_Return);
  }

  // The window first: the panel builds its spin buttons into it when asked for them.
  GtkWidget* window = GTK_WIDGET(gui_window());
  const filter_panel_widgets& w = filter_panel_get_widgets(gui_filter_panel());
  temp_dir dir;
};

long hex(const std::string& text) { return std::stol(text, nullptr, 16); }

TEST_F(FilterPanelTest, StartsWithTheDefaultBoundsInHexadecimal) {
  for (int column = 0; column < SAMPLE_COLUMN_COUNT; ++column) {
    EXPECT_EQ(shown(min_of(column)), "0");
    EXPECT_EQ(shown(max_of(column)), column == SAMPLE_COLUMN_NUMBER ? "100" : "FFFF");
  }
  for (int index = 0; index < chart_filter_count; ++index)
    EXPECT_EQ(bound(index), chart_filter_defaults[index]);
}

TEST_F(FilterPanelTest, MinimumEqualToAValueKeepsItsRow) {
  enter(min_of(SAMPLE_COLUMN_START), "400");
  EXPECT_EQ(shown(min_of(SAMPLE_COLUMN_START)), "400");
  EXPECT_EQ(bound(min_of(SAMPLE_COLUMN_START)), 0x400);
  EXPECT_EQ(gui_visible_rows(), table_fixture_rows_where([](const auto& row) {
              return hex(row[SAMPLE_COLUMN_START]) >= 0x400;
            }));
}

TEST_F(FilterPanelTest, MaximumOneBelowAValueHidesItsRow) {
  enter(max_of(SAMPLE_COLUMN_START), "3FF");
  EXPECT_EQ(bound(max_of(SAMPLE_COLUMN_START)), 0x3FF);
  EXPECT_EQ(gui_visible_rows(), table_fixture_rows_where([](const auto& row) {
              return hex(row[SAMPLE_COLUMN_START]) <= 0x3FF;
            }));
}

TEST_F(FilterPanelTest, LowerCaseFfIntoAMaximumShowsFfAndHidesWhatIsAbove) {
  enter(max_of(SAMPLE_COLUMN_LENGTH), "ff");
  EXPECT_EQ(shown(max_of(SAMPLE_COLUMN_LENGTH)), "FF");
  EXPECT_EQ(bound(max_of(SAMPLE_COLUMN_LENGTH)), 0xFF);
  EXPECT_EQ(gui_visible_rows(), table_fixture_rows_where([](const auto& row) {
              return hex(row[SAMPLE_COLUMN_LENGTH]) <= 0xFF;
            }));
  ASSERT_EQ(gui_visible_rows().size(), 4u) << "only the 105 row is gone";

  enter(max_of(SAMPLE_COLUMN_START), "ff");
  EXPECT_EQ(shown(max_of(SAMPLE_COLUMN_START)), "FF");
  EXPECT_EQ(gui_visible_rows(), table_rows{table_fixture_rows()[0]});
}

TEST_F(FilterPanelTest, TextThatIsNotHexadecimalReadsAsZero) {
  enter(min_of(SAMPLE_COLUMN_START), "10");
  ASSERT_EQ(value(min_of(SAMPLE_COLUMN_START)), 0x10);
  enter(min_of(SAMPLE_COLUMN_START), "zz");
  EXPECT_EQ(value(min_of(SAMPLE_COLUMN_START)), 0);
  EXPECT_EQ(shown(min_of(SAMPLE_COLUMN_START)), "0");

  enter(max_of(SAMPLE_COLUMN_LOOP_LENGTH), "zz");
  EXPECT_EQ(shown(max_of(SAMPLE_COLUMN_LOOP_LENGTH)), "0");
  EXPECT_EQ(bound(max_of(SAMPLE_COLUMN_LOOP_LENGTH)), 0);
  EXPECT_TRUE(gui_visible_rows().empty());

  enter(max_of(SAMPLE_COLUMN_LOOP_LENGTH), "1Czz");  // leading digits count
  EXPECT_EQ(bound(max_of(SAMPLE_COLUMN_LOOP_LENGTH)), 0x1C);
}

TEST_F(FilterPanelTest, SampleNumberAboveItsRangeClampsTo100) {
  enter(max_of(SAMPLE_COLUMN_NUMBER), "A");
  enter(max_of(SAMPLE_COLUMN_NUMBER), "200");
  EXPECT_EQ(value(max_of(SAMPLE_COLUMN_NUMBER)), 256);
  EXPECT_EQ(shown(max_of(SAMPLE_COLUMN_NUMBER)), "100");
  EXPECT_EQ(bound(max_of(SAMPLE_COLUMN_NUMBER)), 256);
  EXPECT_EQ(gui_visible_rows(), table_fixture_rows());

  enter(min_of(SAMPLE_COLUMN_NUMBER), "200");
  EXPECT_EQ(shown(min_of(SAMPLE_COLUMN_NUMBER)), "100");
  EXPECT_TRUE(gui_visible_rows().empty()) << "no sample numbered 100 in the file";
}

TEST_F(FilterPanelTest, OverlongTextsClampToTheBoundsWithoutWrapping) {
  const std::string twelve_fs(12, 'F');
  const std::string forty_fs(40, 'F');  // more than any integer type holds
  for (const std::string& text : {twelve_fs, forty_fs, std::string("FFFFFFFF"),
                                  std::string("100000000")}) {
    SCOPED_TRACE(text);
    enter(max_of(SAMPLE_COLUMN_START), "10");
    enter(max_of(SAMPLE_COLUMN_START), text);
    EXPECT_EQ(value(max_of(SAMPLE_COLUMN_START)), 0xFFFF);
    EXPECT_EQ(shown(max_of(SAMPLE_COLUMN_START)), "FFFF");
    EXPECT_EQ(bound(max_of(SAMPLE_COLUMN_START)), 0xFFFF);

    enter(min_of(SAMPLE_COLUMN_NUMBER), text);
    EXPECT_EQ(shown(min_of(SAMPLE_COLUMN_NUMBER)), "100");
    EXPECT_EQ(bound(min_of(SAMPLE_COLUMN_NUMBER)), 0x100);
    enter(min_of(SAMPLE_COLUMN_NUMBER), "0");
  }
  enter(min_of(SAMPLE_COLUMN_START), "-" + forty_fs);
  EXPECT_EQ(bound(min_of(SAMPLE_COLUMN_START)), 0);
  EXPECT_EQ(shown(min_of(SAMPLE_COLUMN_START)), "0");
  EXPECT_EQ(gui_visible_rows(), table_fixture_rows());
}

TEST_F(FilterPanelTest, UpArrowAddsOneAndPageUpSixteen) {
  GtkWidget* start_min = spinner(min_of(SAMPLE_COLUMN_START));
  gtk_widget_grab_focus(start_min);
  gui_flush();
  gui_key(GDK_KEY_Up);
  EXPECT_EQ(shown(min_of(SAMPLE_COLUMN_START)), "1");
  EXPECT_EQ(bound(min_of(SAMPLE_COLUMN_START)), 1);
  gui_key(GDK_KEY_Page_Up);
  EXPECT_EQ(shown(min_of(SAMPLE_COLUMN_START)), "11");
  EXPECT_EQ(bound(min_of(SAMPLE_COLUMN_START)), 0x11);
  gui_key(GDK_KEY_Down);
  EXPECT_EQ(shown(min_of(SAMPLE_COLUMN_START)), "10");

  // At the top, Up stays there: no wrapping.
  enter(max_of(SAMPLE_COLUMN_NUMBER), "FF");
  gui_key(GDK_KEY_Page_Up);
  EXPECT_EQ(shown(max_of(SAMPLE_COLUMN_NUMBER)), "100");
  gui_key(GDK_KEY_Up);
  EXPECT_EQ(shown(max_of(SAMPLE_COLUMN_NUMBER)), "100");
  EXPECT_EQ(bound(max_of(SAMPLE_COLUMN_NUMBER)), 0x100);
}

TEST_F(FilterPanelTest, LoopLengthMaximumEightHidesEveryRow) {
  enter(max_of(SAMPLE_COLUMN_LOOP_LENGTH), "8");
  EXPECT_TRUE(gui_visible_rows().empty()) << "loop lengths are at least 9";
  enter(max_of(SAMPLE_COLUMN_LOOP_LENGTH), "9");
  EXPECT_EQ(gui_visible_rows().size(), 2u);
}

TEST_F(FilterPanelTest, MinimumAboveMaximumIsKeptAndHidesEveryRow) {
  enter(min_of(SAMPLE_COLUMN_LOOP), "2000");
  enter(max_of(SAMPLE_COLUMN_LOOP), "1000");
  EXPECT_EQ(bound(min_of(SAMPLE_COLUMN_LOOP)), 0x2000);
  EXPECT_EQ(bound(max_of(SAMPLE_COLUMN_LOOP)), 0x1000);
  EXPECT_EQ(shown(min_of(SAMPLE_COLUMN_LOOP)), "2000");
  EXPECT_EQ(shown(max_of(SAMPLE_COLUMN_LOOP)), "1000");
  EXPECT_TRUE(gui_visible_rows().empty());
}

TEST_F(FilterPanelTest, ResetAllFiltersRestoresTextsBoundsAndRows) {
  enter(min_of(SAMPLE_COLUMN_NUMBER), "2");
  enter(max_of(SAMPLE_COLUMN_NUMBER), "F");
  enter(min_of(SAMPLE_COLUMN_LOOP), "2000");
  enter(max_of(SAMPLE_COLUMN_LENGTH), "8");
  gui_type_into(spinner(max_of(SAMPLE_COLUMN_LOOP_LENGTH)), "5");  // typed, never confirmed
  ASSERT_TRUE(gui_visible_rows().empty());

  gui_click_button(w.button_reset_filters);
  for (int column = 0; column < SAMPLE_COLUMN_COUNT; ++column) {
    EXPECT_EQ(shown(min_of(column)), "0");
    EXPECT_EQ(shown(max_of(column)), column == SAMPLE_COLUMN_NUMBER ? "100" : "FFFF");
  }
  for (int index = 0; index < chart_filter_count; ++index)
    EXPECT_EQ(bound(index), chart_filter_defaults[index]) << "bound " << index;
  EXPECT_EQ(gui_visible_rows(), table_fixture_rows());
}

TEST_F(FilterPanelTest, ToggleShowsAndHidesTheFrameAndKeepsTheBounds) {
  filter_panel_set_visible(gui_filter_panel(), false);
  gui_flush();
  EXPECT_EQ(gui_text(w.button_show_filters), "Show Filters");
  EXPECT_FALSE(gtk_widget_get_visible(w.frame_filters));

  gui_click_button(w.button_show_filters);
  EXPECT_EQ(gui_text(w.button_show_filters), "Hide Filters");
  EXPECT_TRUE(gtk_widget_get_visible(w.frame_filters));
  EXPECT_TRUE(gui_wait_until([this] { return gtk_widget_get_mapped(w.frame_filters) != FALSE; }));

  enter(max_of(SAMPLE_COLUMN_START), "FF");
  gui_click_button(w.button_show_filters);
  EXPECT_EQ(gui_text(w.button_show_filters), "Show Filters");
  EXPECT_FALSE(gtk_widget_get_visible(w.frame_filters));
  EXPECT_EQ(gui_visible_rows(), table_rows{table_fixture_rows()[0]}) << "hidden, still applied";
}

TEST_F(FilterPanelTest, BoundsPersistAcrossAFileLoad) {
  enter(max_of(SAMPLE_COLUMN_START), "ff");
  const std::string other = table_fixture_file(dir, "other.spc");
  const dialog_seen seen = gui_open_through_dialog(other);
  ASSERT_TRUE(seen.appeared);
  ASSERT_EQ(gui_tooltip(main_window_get_widgets(gui_window()).label_filename), other);
  EXPECT_EQ(shown(max_of(SAMPLE_COLUMN_START)), "FF");
  EXPECT_EQ(bound(max_of(SAMPLE_COLUMN_START)), 0xFF);
  EXPECT_EQ(gui_visible_rows(), table_rows{table_fixture_rows()[0]});
}

TEST_F(FilterPanelTest, LeavingTheEntryAppliesTheTextToo) {
  if (!gui_focus_window()) GTEST_SKIP() << "the X server did not give the window the keyboard";
  gui_type_into(spinner(min_of(SAMPLE_COLUMN_START)), "2000");
  EXPECT_EQ(bound(min_of(SAMPLE_COLUMN_START)), 0) << "not applied while typing";
  gui_key(GDK_KEY_Tab);
  EXPECT_NE(gtk_window_get_focus(GTK_WINDOW(gui_window())), spinner(min_of(SAMPLE_COLUMN_START)));
  EXPECT_EQ(bound(min_of(SAMPLE_COLUMN_START)), 0x2000);
  EXPECT_EQ(shown(min_of(SAMPLE_COLUMN_START)), "2000");
  EXPECT_EQ(gui_visible_rows().size(), 2u);
}

}  // namespace
