// quorlin --export: every entry of every file as WAV and BRR, with one
// manifest, into a folder. No GTK.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sample_export.h"

// Writes the samples of every file into `folder` in one run, a file at a
// time, and the manifest last. Without force, first checks that no file is
// in the way (then nothing is written). A file whose stem an earlier one has
// gets "STEM (2)", said on standard error. A file that can't be read is
// reported on standard error and the others are still exported. Returns the
// exit status: 0, or 1 when any file failed, the writing failed or standard
// output could not be written. Main thread only.
// With `played_only`, only the entries each file's song keys on, followed
// for `seconds` (none: as long as song_length_of says); a file whose song keys on
// none of them writes nothing, as said on standard error.
int run_export_command(const std::string& folder, const export_options& options,
                       const std::vector<std::string>& files, bool played_only = false,
                       std::optional<double> seconds = std::nullopt);
