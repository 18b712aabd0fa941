// What a failed load may write on standard error: one of the reader's three
// messages, each followed by ": " and the system's reason.
#pragma once

#include <string>

// Whether `report` is exactly one such message and nothing else.
bool load_report_is_expected(const std::string& report);
