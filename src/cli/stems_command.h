// quorlin --stems: each voice of every file alone, and its mix, as WAV
// files in a folder. No GTK.
#pragma once

#include <optional>
#include <string>
#include <vector>

// Reads every file and writes its stems into `folder`, `seconds` long
// (none: as long as song_length_of says). A file that can't be read, a
// skipped voice and a file whose name can't be written are reported on
// standard error and the others are still done. Returns the exit status:
// 0, or 1 when any file failed or the writing failed. Main thread only.
int run_stems_command(const std::string& folder, std::optional<double> seconds, bool force,
                      const std::vector<std::string>& files);
