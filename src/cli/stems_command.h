// quorlin --stems: each voice of every file alone, and its mix, as WAV
// files in a folder. No GTK.
#pragma once

#include <string>
#include <vector>

// Reads every file and writes its stems into `folder`, `seconds` long (0:
// the tag's length plus fade, or 180 s). A file that can't be read is
// reported on standard error and the others are still done; skipped voices
// are named there too. Returns the exit status: 0, or 1 when any file
// failed or the writing failed. Main thread only.
int run_stems_command(const std::string& folder, double seconds, bool force,
                      const std::vector<std::string>& files);
