// The one rule for numbers the user sees: written as uppercase hexadecimal
// without prefix or leading zeros, read back as strtol reads base 16.
#pragma once

#include <string>

// "%X" of `value` (e.g. 256 -> "100"). Any thread.
std::string hex_text_format(unsigned long value);

// Leading white space skipped, optional sign and 0x/0X or $, stops at the first
// non-hex character, no digits gives 0; saturates at LONG_MIN/LONG_MAX
// instead of wrapping. Null reads as 0. Any thread.
long hex_text_parse(const char* text);
