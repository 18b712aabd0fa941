// What a failed load may write on standard error: one line that names the
// program and the file, then one of the reader's three messages, as the
// command line does ("quorlin: FILE: Unable to open file: No such file or
// directory").
#pragma once

#include <string>

// Whether `report` is exactly one such line and nothing else.
bool load_report_is_expected(const std::string& report);

// What a load that succeeds may write: nothing, or the one line saying that
// the tag's length is not believed ("quorlin: FILE: the tag claims
// 16777225 s, more than an hour: 180 s followed instead").
bool load_report_is_quiet(const std::string& report);
