// The sample table through real input: header clicks sort it numerically,
// the default bounds hide what cannot fit, and a press on a cell copies it.

#include <gtest/gtest.h>

#include <algorithm>

#include "gui_input.h"
#include "gui_support.h"
#include "main_window.h"
#include "sample_table.h"
#include "table_fixture.h"

namespace {

class SampleTableTest : public testing::Test {
 protected:
  void SetUp() override {
    table_fixture_reset();
    view = sample_table_view(gui_table());
    ASSERT_TRUE(main_window_load_file(gui_window(), table_fixture_file(dir).c_str()));
    // The tests press where the rows are drawn.
    gui_wait_laid_out(GTK_WIDGET(view));
  }

  GtkTreeView* view = nullptr;
  temp_dir dir;
};

void click_header(int column) {
  gui_click_button(gtk_tree_view_column_get_button(sample_table_column(gui_table(), column)));
}

std::vector<std::string> reversed(std::vector<std::string> texts) {
  std::reverse(texts.begin(), texts.end());
  return texts;
}

// The row, in view order, whose Sample # is `number`; -1 when not shown.
int view_row_of_sample(const std::string& number) {
  const auto numbers = table_fixture_column(SAMPLE_COLUMN_NUMBER);
  const auto at = std::find(numbers.begin(), numbers.end(), number);
  return at == numbers.end() ? -1 : static_cast<int>(at - numbers.begin());
}

TEST_F(SampleTableTest, FreshFileStandsInAscendingStartAddressOrder) {
  EXPECT_EQ(gui_visible_rows(), table_fixture_rows());
  gint column = -1;
  GtkSortType order = GTK_SORT_DESCENDING;
  ASSERT_TRUE(gtk_tree_sortable_get_sort_column_id(GTK_TREE_SORTABLE(sample_table_sorted(gui_table())),
                                                   &column, &order));
  EXPECT_EQ(column, SAMPLE_COLUMN_START);
  EXPECT_EQ(order, GTK_SORT_ASCENDING);
  EXPECT_EQ(gtk_tree_selection_get_mode(gtk_tree_view_get_selection(view)), GTK_SELECTION_NONE);
}

TEST_F(SampleTableTest, HeaderClicksSortEachColumnNumericallyBothWays) {
  const std::vector<std::vector<std::string>> ascending = {
      {"1", "2", "9", "A", "10"},
      {"FF", "100", "400", "2000", "3000"},
      {"FF", "100", "412", "2000", "3009"},
      {"9", "9", "24", "FC", "105"},
      {"9", "9", "12", "FC", "FC"}};
  // The table starts sorted by Start Address, so its first click reverses.
  click_header(SAMPLE_COLUMN_START);
  EXPECT_EQ(table_fixture_column(SAMPLE_COLUMN_START), reversed(ascending[SAMPLE_COLUMN_START]));
  // Once another column leads, a first click sorts ascending and a second reverses.
  for (int column = 0; column < SAMPLE_COLUMN_COUNT; ++column) {
    SCOPED_TRACE(chart_headings[column]);
    click_header(column);
    EXPECT_EQ(table_fixture_column(column), ascending[column]);
    click_header(column);
    EXPECT_EQ(table_fixture_column(column), reversed(ascending[column]));
    EXPECT_EQ(gui_visible_rows().size(), table_fixture_rows().size());
  }
}

TEST_F(SampleTableTest, PressOnACellCopiesItsTextWhateverTheOrder) {
  click_header(SAMPLE_COLUMN_NUMBER);
  const int row = view_row_of_sample("A");
  ASSERT_EQ(row, 3) << "sorted 1, 2, 9, A, 10";
  gui_set_clipboard_text("before");
  gui_click_cell(view, row, sample_table_column(gui_table(), SAMPLE_COLUMN_LOOP));
  EXPECT_EQ(gui_clipboard_text(), "412");

  click_header(SAMPLE_COLUMN_NUMBER);  // descending: A is second now
  ASSERT_EQ(view_row_of_sample("A"), 1);
  const auto rows = gui_visible_rows();
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    for (int column = 0; column < SAMPLE_COLUMN_COUNT; ++column) {
      gui_click_cell(view, r, sample_table_column(gui_table(), column));
      EXPECT_EQ(gui_clipboard_text(), rows[r][column]) << "row " << r << " column " << column;
    }
  }
}

TEST_F(SampleTableTest, AnyMouseButtonAndDoublePressesCopyToo) {
  const GdkRectangle area = gui_cell_area(view, 2, sample_table_column(gui_table(), SAMPLE_COLUMN_START));
  GdkWindow* rows = gtk_tree_view_get_bin_window(view);
  gui_set_clipboard_text("before");
  gui_press_at(rows, area.x + 1, area.y + 1, 3);
  EXPECT_EQ(gui_clipboard_text(), "400");
  gui_set_clipboard_text("before");
  gui_press_at(rows, area.x + 1, area.y + 1, 2);
  EXPECT_EQ(gui_clipboard_text(), "400");
  for (GdkEventType press : {GDK_2BUTTON_PRESS, GDK_3BUTTON_PRESS}) {
    gui_set_clipboard_text("before");
    gui_press_at(rows, area.x + 1, area.y + 1, 1, press);
    EXPECT_EQ(gui_clipboard_text(), "400") << "press kind " << press;
  }
}

TEST_F(SampleTableTest, PressBelowTheLastRowCopiesNothing) {
  const int last = static_cast<int>(table_fixture_rows().size()) - 1;
  const GdkRectangle area = gui_cell_area(view, last, sample_table_column(gui_table(), SAMPLE_COLUMN_LOOP));
  GdkWindow* rows = gtk_tree_view_get_bin_window(view);
  const double below = area.y + area.height + 20;
  ASSERT_LT(below, gdk_window_get_height(rows)) << "the view leaves room under its rows";
  gui_set_clipboard_text("unchanged");
  gui_press_at(rows, area.x + area.width / 2.0, below);
  EXPECT_EQ(gui_clipboard_text(), "unchanged");
}

TEST_F(SampleTableTest, PressInAnEmptyTableCopiesNothing) {
  spc_builder empty;
  ASSERT_TRUE(main_window_load_file(gui_window(), empty.write_to(dir.path(), "empty.spc").c_str()));
  gui_flush();
  ASSERT_TRUE(gui_visible_rows().empty());
  gui_set_clipboard_text("unchanged");
  gui_press_at(gtk_tree_view_get_bin_window(view), 10, 5);
  EXPECT_EQ(gui_clipboard_text(), "unchanged");
}

TEST_F(SampleTableTest, PressRightOfTheLastColumnCopiesThatRowsLoopLength) {
  const int row = view_row_of_sample("A");
  const GdkRectangle area =
      gui_cell_area(view, row, sample_table_column(gui_table(), SAMPLE_COLUMN_LOOP_LENGTH));
  GdkWindow* rows = gtk_tree_view_get_bin_window(view);
  const double right_edge = gdk_window_get_width(rows) - 1;
  ASSERT_GE(right_edge, area.x + area.width) << "the press lies past the column's text";
  gui_set_clipboard_text("before");
  gui_press_at(rows, right_edge, area.y + area.height / 2.0);
  EXPECT_EQ(gui_clipboard_text(), "12");
}

TEST_F(SampleTableTest, InitialBoundsHideALengthBeyondSixteenBits) {
  spc_builder builder;
  // 7300 blocks run once round all of ARAM: lay the chain first, then the
  // directory and the short sample over its (zero) data bytes.
  builder.brr_chain(0x1000, 7300);
  builder.dir_page(0x80).dir_entry(0, 0x1000, 0x1000).dir_entry(1, 0x2005, 0x2005);
  builder.brr_chain(0x2005, 1);
  ASSERT_GT(calculate_sample_length(builder.image(), 0x1000), 0xFFFF);
  ASSERT_EQ(calculate_sample_length(builder.image(), 0x2005), 9);
  ASSERT_TRUE(main_window_load_file(gui_window(), builder.write_to(dir.path(), "long.spc").c_str()));
  gui_flush();

  EXPECT_EQ(gtk_tree_model_iter_n_children(GTK_TREE_MODEL(sample_table_store(gui_table())), nullptr), 2);
  const table_rows expected = {{"2", "2005", "2005", "9", "9"}};
  EXPECT_EQ(gui_visible_rows(), expected);
}

TEST_F(SampleTableTest, RefilterWhileARowIsHalfAddedNeverShowsIt) {
  GtkListStore* store = sample_table_store(gui_table());
  GtkTreeIter added;
  // What a row looks like between its insertion and its values.
  gtk_list_store_append(store, &added);
  sample_table_refilter(gui_table());
  gui_flush();

  GtkTreeModel* filtered = GTK_TREE_MODEL(sample_table_filtered(gui_table()));
  EXPECT_EQ(gtk_tree_model_iter_n_children(filtered, nullptr),
            static_cast<int>(table_fixture_rows().size()));
  GtkTreeIter iter;
  for (gboolean more = gtk_tree_model_get_iter_first(filtered, &iter); more;
       more = gtk_tree_model_iter_next(filtered, &iter)) {
    g_autofree char* number = nullptr;
    gtk_tree_model_get(filtered, &iter, SAMPLE_COLUMN_NUMBER, &number, -1);
    EXPECT_NE(number, nullptr);
  }
  EXPECT_EQ(gui_visible_rows(), table_fixture_rows());
  gtk_list_store_remove(store, &added);
}

TEST_F(SampleTableTest, SorterTreatsAnUnsetTextAsEqual) {
  GtkListStore* store = sample_table_store(gui_table());
  GtkTreeIter unset;
  GtkTreeIter set;
  gtk_list_store_append(store, &unset);
  gtk_list_store_insert_with_values(store, &set, -1, SAMPLE_COLUMN_START, "FF", -1);
  GtkTreeModel* model = GTK_TREE_MODEL(store);
  const gpointer start = GINT_TO_POINTER(SAMPLE_COLUMN_START);
  EXPECT_EQ(sample_table_sorter(model, &unset, &set, start), 0);
  EXPECT_EQ(sample_table_sorter(model, &set, &unset, start), 0);
  gtk_list_store_remove(store, &unset);
  gtk_list_store_remove(store, &set);
}

}  // namespace
