// An export's MIDI files: beside each file's kit, STEM.mid, the song's
// trace as notes on the kit's presets (see song_midi.h). No GTK, and no
// printing: the command line and the window each say what it wrote.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "file_publish.h"
#include "sample_tuning.h"
#include "song_trace.h"

// The traces the export's tuning followed, by the file's path (as given).
using export_traces = std::map<std::string, song_trace>;

// The MIDI files of an export, in `folder`.
class midi_export {
 public:
  // The files traced in `traces`, which outlive this.
  midi_export(std::string folder, const export_tunings& tunings, const export_traces& traces,
              bool force, const publish_context& publishing = {})
      : folder_(std::move(folder)), tunings_(tunings), force_(force), publishing_(publishing) {
    for (const auto& [path, trace] : traces) traces_[path] = &trace;
  }
  // One file, read from `path`, whose song is `trace` (the window's).
  midi_export(std::string folder, const export_tunings& tunings, const std::string& path,
              const song_trace& trace, bool force, const publish_context& publishing = {})
      : folder_(std::move(folder)),
        tunings_(tunings),
        traces_{{path, &trace}},
        force_(force),
        publishing_(publishing) {}

  // Like kit_export::put: with `write`, makes STEM.mid of the image read
  // from `path` and publishes it whole (replacing only with force), and
  // written() then says what it holds; without, checks that nothing is in
  // the way. A song with no kit gets no MIDI file. On failure returns false
  // and says why in `failure`, naming the file. One thread at a time.
  bool put(const std::string& stem, const std::map<int, std::string>& names,
           const spc_format& spc, const std::string& path, bool write, std::string& failure);

  // What the last put() wrote: "STEM.mid: 96 notes on 5 voices, ..."; ""
  // when it wrote nothing. One thread at a time.
  const std::string& written() const { return written_; }
  // The path of the last file put() wrote; "" when none. One thread at a time.
  const std::string& written_path() const { return written_path_; }

  int files_written() const { return files_written_; }
  // Files that could not be written, each named with why. One thread at a time.
  const std::vector<std::string>& files_failed() const { return files_failed_; }

 private:
  std::string folder_;
  const export_tunings& tunings_;
  std::map<std::string, const song_trace*> traces_;  // not owned
  bool force_;
  publish_context publishing_;
  int files_written_ = 0;
  std::string written_;
  std::string written_path_;
  std::vector<std::string> files_failed_;
};
