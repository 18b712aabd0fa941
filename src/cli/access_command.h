// quorlin --access: which bytes of audio RAM each file's sound program
// executes, reads and writes while its song is followed, as text or JSON.
// No GTK.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "aram_access.h"
#include "song_trace.h"

// Per file, the header "address	reads	writes	executes" and one
// tab-separated line per address the program touched (four hex digits, then
// decimal counts), in address order; with several files each block comes
// after a "==> FILE <==" line, blocks apart by a blank line. With `json`, one
// JSON document for all files instead. `seconds` as song_length_of takes it.
// Returns the exit status: 0, or 1 when any file failed. Main thread only.
int run_access_command(const std::vector<std::string>& files, std::optional<double> seconds,
                       bool json);

// One file's song followed with the access record on, as --access and --free
// follow it: the image, the trace and the record. The trace's summary line
// (and the length's warning, if any) goes to standard error. Image and
// record null, the reason in `failure` (reported too), when the file can't
// be read. Main thread only.
struct recorded_song {
  std::unique_ptr<spc_format> image;
  song_trace trace;
  std::unique_ptr<aram_access_record> access;
};
recorded_song record_song_accesses(const std::string& path, std::optional<double> seconds,
                                   std::string& failure);
