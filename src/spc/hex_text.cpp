#include "hex_text.h"

#include <cstdlib>

const char* const chart_headings[chart_column_count] = {
    "Sample #", "Start Address", "Loop Address", "Sample Length", "Loop Length"};

std::string hex_text_format(unsigned long value) {
  // "%lX" by hand: a listing of many files writes thousands of these, and
  // snprintf's format parsing was most of its cost.
  char text[2 * sizeof value];
  char* const end = text + sizeof text;
  char* first = end;
  do {
    *--first = "0123456789ABCDEF"[value & 0xF];
    value >>= 4;
  } while (value != 0);
  return std::string(first, end);
}

long hex_text_parse(const char* text) {
  return text ? std::strtol(text, nullptr, 16) : 0;
}

std::array<std::string, chart_column_count> chart_row_texts(const sample_chart& row) {
  return {hex_text_format(static_cast<std::uint32_t>(row.sample_number)),
          hex_text_format(row.sample_address), hex_text_format(row.loop_address),
          hex_text_format(static_cast<std::uint32_t>(row.sample_length)),
          hex_text_format(static_cast<std::uint32_t>(row.loop_length))};
}
