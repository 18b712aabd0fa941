// quorlin --export: every entry of every file as WAV and BRR, with one
// manifest, into a folder. No GTK.
#pragma once

#include <string>
#include <vector>

#include "sample_export.h"

// Reads every file, then writes all of their samples into `folder` in one
// run. A file that can't be read is reported on standard error and the
// others are still exported. Returns the exit status: 0, or 1 when any file
// failed or the writing failed. Main thread only.
int run_export_command(const std::string& folder, const export_options& options,
                       const std::vector<std::string>& files);
