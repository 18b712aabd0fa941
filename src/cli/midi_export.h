// --export --midi: beside each file's kit, STEM.mid, the song's trace as
// notes on the kit's presets (see song_midi.h). No GTK.
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
  midi_export(std::string folder, const export_tunings& tunings, const export_traces& traces,
              bool force, const publish_context& publishing = {})
      : folder_(std::move(folder)),
        tunings_(tunings),
        traces_(traces),
        force_(force),
        publishing_(publishing) {}

  // Like kit_export::put: with `write`, makes STEM.mid of the image read
  // from `path` and publishes it whole (replacing only with force), then
  // says on standard error what it holds; without, checks that nothing is
  // in the way. A song with no kit gets no MIDI file. On failure returns
  // false and says why in `failure`, naming the file. Main thread only.
  bool put(const std::string& stem, const std::map<int, std::string>& names,
           const spc_format& spc, const std::string& path, bool write, std::string& failure);

  int files_written() const { return files_written_; }
  // Files that could not be written, each named with why. Main thread only.
  const std::vector<std::string>& files_failed() const { return files_failed_; }

 private:
  std::string folder_;
  const export_tunings& tunings_;
  const export_traces& traces_;
  bool force_;
  publish_context publishing_;
  int files_written_ = 0;
  std::vector<std::string> files_failed_;
};
