// quorlin --list: the sample table of each file as text, for scripts. No GTK.
#pragma once

#include <string>
#include <vector>

// Per file, the table's five column titles and then one line per entry in
// directory order, tab-separated, in the window's hexadecimal texts; with
// several files each block comes after a "==> FILE <==" line, blocks apart
// by a blank line. With `json`, one JSON document for all files instead.
// A file that can't be read is reported on standard error (and, in JSON, in
// the document). Returns the exit status: 0, or 1 when any file failed.
// Main thread only.
int run_list_command(const std::vector<std::string>& files, bool json);
