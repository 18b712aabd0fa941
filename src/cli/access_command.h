// quorlin --access: which bytes of audio RAM each file's sound program
// executes, reads and writes while its song is followed, as text or JSON.
// No GTK.
#pragma once

#include <optional>
#include <string>
#include <vector>

// Per file, the header "address	reads	writes	executes" and one
// tab-separated line per address the program touched (four hex digits, then
// decimal counts), in address order; with several files each block comes
// after a "==> FILE <==" line, blocks apart by a blank line. With `json`, one
// JSON document for all files instead. `seconds` as song_length_of takes it.
// Returns the exit status: 0, or 1 when any file failed. Main thread only.
int run_access_command(const std::vector<std::string>& files, std::optional<double> seconds,
                       bool json);
