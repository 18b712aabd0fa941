#include "hex_text.h"

#include <cstdio>
#include <cstdlib>

std::string hex_text_format(unsigned long value) {
  char text[2 * sizeof value + 1];
  std::snprintf(text, sizeof text, "%lX", value);
  return text;
}

long hex_text_parse(const char* text) {
  return text ? std::strtol(text, nullptr, 16) : 0;
}
