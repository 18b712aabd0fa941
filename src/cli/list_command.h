// quorlin --list: the sample table of each file as text, for scripts. No GTK.
#pragma once

#include <optional>
#include <string>
#include <vector>

// What the song adds to a listing.
struct list_options {
  bool played_only = false;  // only the entries the song keys on
  std::optional<double> seconds;  // how long to follow the song (--seconds); none: song_length_of's
};

// Per file, the table's five column titles and then one line per entry in
// directory order, tab-separated, in the window's hexadecimal texts; with
// several files each block comes after a "==> FILE <==" line (the name's
// tabs, line breaks and backslashes escaped), blocks apart by a blank line.
// With `json`, one JSON document for all files instead, with what the song
// plays of each sample. A file that can't be read is reported on standard
// error (and, in JSON, in the document). Returns the exit status: 0, or 1
// when any file failed or standard output could not be written.
// Main thread only.
int run_list_command(const std::vector<std::string>& files, bool json,
                     const list_options& options = {});
