#include "table_fixture.h"

#include "filter_panel.h"
#include "gui_support.h"
#include "sample_table.h"

std::string table_fixture_file(const temp_dir& dir, const std::string& name) {
  spc_builder builder;
  // The directory out of the way of the chains, so that 400 and 412 are free.
  builder.dir_page(0x80);
  builder.dir_entry(0, 0x00FF, 0x00FF).brr_chain(0x00FF, 1);
  builder.dir_entry(8, 0x0100, 0x0100).brr_chain(0x0100, 1);  // inside FF's block, after its header
  builder.dir_entry(9, 0x0400, 0x0412).brr_chain(0x0400, 4);
  builder.dir_entry(15, 0x2000, 0x2000).brr_chain(0x2000, 28);
  builder.dir_entry(1, 0x3000, 0x3009).brr_chain(0x3000, 29);
  return builder.write_to(dir.path(), name);
}

const table_rows& table_fixture_rows() {
  static const table_rows rows = {{"1", "FF", "FF", "9", "9"},
                                  {"9", "100", "100", "9", "9"},
                                  {"A", "400", "412", "24", "12"},
                                  {"10", "2000", "2000", "FC", "FC"},
                                  {"2", "3000", "3009", "105", "FC"}};
  return rows;
}

void table_fixture_reset() {
  gui_window();
  gtk_button_clicked(GTK_BUTTON(filter_panel_get_widgets(gui_filter_panel()).button_reset_filters));
  filter_panel_set_visible(gui_filter_panel(), false);
  gtk_tree_sortable_set_sort_column_id(GTK_TREE_SORTABLE(sample_table_sorted(gui_table())),
                                       SAMPLE_COLUMN_START, GTK_SORT_ASCENDING);
  gui_flush();
}

std::vector<std::string> table_fixture_column(int column) {
  std::vector<std::string> texts;
  for (const auto& row : gui_visible_rows()) texts.push_back(row[column]);
  return texts;
}
