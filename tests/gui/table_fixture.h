// What the sample table and filter panel tests share: a file whose rows
// tell numeric order from text order in every column, and a way back to
// the table's starting state (the window lives as long as the process).
#pragma once

#include <string>
#include <vector>

#include "spc_builder.h"

using table_rows = std::vector<std::vector<std::string>>;

// Five samples: numbers 1, 2, 9, A, 10; starts FF, 100, 400, 2000, 3000;
// loops FF, 100, 412, 2000, 3009; lengths 9, 9, 24, FC, 105; loop lengths
// 9, 9, 12, FC, FC. Written into `dir` as `name`; returns the path.
std::string table_fixture_file(const temp_dir& dir, const std::string& name = "mixed.spc");

// The rows of that file in ascending Start Address order.
const table_rows& table_fixture_rows();

// Default bounds (through Reset All Filters), the panel hidden, sorted by
// Start Address ascending.
void table_fixture_reset();

// The visible texts of one column, in the view's order.
std::vector<std::string> table_fixture_column(int column);

// The rows of table_fixture_rows() for which `keep` holds, in that order.
template <typename Keep>
table_rows table_fixture_rows_where(Keep keep) {
  table_rows kept;
  for (const auto& row : table_fixture_rows())
    if (keep(row)) kept.push_back(row);
  return kept;
}
