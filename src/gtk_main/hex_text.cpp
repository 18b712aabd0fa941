#include "hex_text.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>

std::string hex_text_format(unsigned long value) {
  char text[2 * sizeof value + 1];
  std::snprintf(text, sizeof text, "%lX", value);
  return text;
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
