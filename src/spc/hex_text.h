// The one rule for numbers the user sees: written as uppercase hexadecimal
// without prefix or leading zeros, read back as strtol reads base 16. The
// window's table and the command line's listing both write chart rows with it.
#pragma once

#include <array>
#include <string>

#include "spc.h"

inline constexpr int chart_column_count = 5;

// Column headings, in column order. Characters, not pointers: a table with
// no relocations is read-only data.
inline constexpr char chart_headings[chart_column_count][14] = {
    "Sample #", "Start Address", "Loop Address", "Sample Length", "Loop Length"};

// "%X" of `value` (e.g. 256 -> "100"). Any thread.
std::string hex_text_format(unsigned long value);

// Leading white space skipped, optional sign and 0x/0X or $, stops at the first
// non-hex character, no digits gives 0; saturates at LONG_MIN/LONG_MAX
// instead of wrapping. Null reads as 0. Any thread.
long hex_text_parse(const char* text);

// The five texts of a chart row, in column order. Any thread.
std::array<std::string, chart_column_count> chart_row_texts(const sample_chart& row);
