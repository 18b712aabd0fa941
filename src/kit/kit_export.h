// An export's instruments: the played samples of a traced image tuned, and
// beside its WAV and BRR files STEM.sf2, STEM.sfz and STEM-instruments.txt.
// No GTK; the window and the command line both call it.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "instrument_kit.h"
#include "sample_export.h"
#include "song_trace.h"

// Follows the song of `image`, read from `path`, as long as the caller's
// length says, and says so where its user sees it (the command line: on
// standard error).
using song_tracer = std::function<song_trace(const std::string& path, const spc_format& image)>;

// Traces every readable file with `trace_file` and tunes the samples its
// song keys on; with `pool_identical` (--unique) identical samples share
// their key-ons across the files. Files that can't be read are left for the export to
// report. With `played` (--played), also the sample numbers each file's song
// keys on (none for a file that can't be read), from the same traces.
// With `kept_traces` (--midi), the traces themselves, by the file's path.
// Main thread only.
export_tunings tune_export_files(const std::vector<std::string>& files, bool pool_identical,
                                 const song_tracer& trace_file,
                                 std::vector<std::vector<int>>* played = nullptr,
                                 std::map<std::string, song_trace>* kept_traces = nullptr);

// The tuning of the samples `trace` keys on, for an export of the image read
// from `path` alone (the window's). Any thread.
export_tunings tune_traced_image(const spc_format& spc, const song_trace& trace,
                                 const std::string& path);

// The instruments of the image read from `path` that its kit holds: the
// played samples the export wrote (`names`: a kit of the others would
// point at files that are not there) and those taken from the song, by
// preset. Any thread.
song_instruments kit_instruments_of(const export_tunings& tunings,
                                    const std::map<int, std::string>& names,
                                    const std::string& path);

// The kit files of the image read from `path`, whose samples the export
// named after `stem`, in `folder`; `publishing` holds the command line's
// interrupted_run, if any.
class kit_export {
 public:
  kit_export(std::string folder, const export_tunings& tunings, bool force,
             const publish_context& publishing = {})
      : folder_(std::move(folder)), tunings_(tunings), force_(force), publishing_(publishing) {}

  // With `write`, makes and writes the kit files (replacing only with
  // force); without, checks that none is in the way. On failure returns
  // false and says why in `failure`, naming the file. Main thread only.
  // `names` are the export's names of the files holding each sample number
  // (sample_export::names_given), which the kit's files point at.
  bool put(const std::string& stem, const std::map<int, std::string>& names,
           const spc_format& spc, const std::string& path, bool write, std::string& failure);

  // How many samples of the image read from `path` the kit takes from the
  // song rather than from the snapshot's table. Main thread only.
  int samples_from_song(const std::string& path) const;

  // Kit files written so far. Main thread only.
  int files_written() const { return files_written_; }

  // Kit files whose name could not be written, each named with why; put()
  // went on with the others. Main thread only.
  const std::vector<std::string>& files_failed() const { return files_failed_; }

 private:
  std::string folder_;
  const export_tunings& tunings_;
  bool force_;
  publish_context publishing_;
  // Made by the kit when the song's samples are all from the song: the
  // table's export then wrote nothing into it.
  run_folder folder_made_{folder_, publishing_};
  int files_written_ = 0;
  std::vector<std::string> files_failed_;
};
