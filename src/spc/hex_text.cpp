#include "hex_text.h"

#include <cctype>
#include <climits>
#include <cstdlib>

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
  if (!text) return 0;
  // "$8000" is how SNES documents and assemblers write hexadecimal: the
  // dollar takes the place 0x has for strtol, after any space and sign.
  const char* at = text;
  while (std::isspace(static_cast<unsigned char>(*at))) ++at;
  const bool negative = *at == '-';
  if (*at == '+' || *at == '-') ++at;
  if (*at != '$') return std::strtol(text, nullptr, 16);
  ++at;
  if (!std::isxdigit(static_cast<unsigned char>(*at))) return 0;
  const long value = std::strtol(at, nullptr, 16);
  return negative ? (value == LONG_MAX ? LONG_MIN : -value) : value;
}

std::array<std::string, chart_column_count> chart_row_texts(const sample_chart& row) {
  return {hex_text_format(static_cast<std::uint32_t>(row.sample_number)),
          hex_text_format(row.sample_address), hex_text_format(row.loop_address),
          hex_text_format(static_cast<std::uint32_t>(row.sample_length)),
          hex_text_format(static_cast<std::uint32_t>(row.loop_length))};
}
