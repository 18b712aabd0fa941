// quorlin --free: the ranges of audio RAM each file's song never touches
// (free_space.h says what counts), largest first, as text or JSON. No GTK.
#pragma once

#include <optional>
#include <string>
#include <vector>

// Per file, the header "start	end	bytes" and one tab-separated line per
// free range, largest first: start and end (inclusive) as four hex digits,
// the size in decimal; with several files each block comes after a
// "==> FILE <==" line, blocks apart by a blank line. With `json`, one JSON
// document for all files instead. `seconds` as song_length_of takes it.
// Returns the exit status: 0, or 1 when any file failed. Main thread only.
int run_free_command(const std::vector<std::string>& files, std::optional<double> seconds,
                     bool json);
