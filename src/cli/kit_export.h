// --export --instruments: every file's played samples traced and tuned, and
// beside its WAV and BRR files STEM.sf2, STEM.sfz and STEM-instruments.txt.
// No GTK.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sample_export.h"
#include "song_trace.h"

typedef struct _JsonBuilder JsonBuilder;

// Traces every readable file for `seconds` (none: as long as
// song_length_of says) and tunes the samples its song keys on;
// with `pool_identical` (--unique) identical samples share their key-ons
// across the files. Files that can't be read are left for the export to
// report. With `played` (--played), also the sample numbers each file's song
// keys on (none for a file that can't be read), from the same traces.
// With `kept_traces` (--midi), the traces themselves, by the file's path.
// Main thread only.
export_tunings tune_export_files(const std::vector<std::string>& files, bool pool_identical,
                                 std::optional<double> seconds = std::nullopt,
                                 std::vector<std::vector<int>>* played = nullptr,
                                 std::map<std::string, song_trace>* kept_traces = nullptr);

// The tuning of the samples `trace` keys on, for an export of the image read
// from `path` alone (the window's). Any thread.
export_tunings tune_traced_image(const spc_format& spc, const song_trace& trace,
                                 const std::string& path);

// Adds "tuning": null for a sample the song never plays, else its root
// (MIDI note and name), fine tune in cents, method, confidence, the notes
// played, their spread in cents, the first key-on's envelope registers and
// the kit's preset of entry `srcn` (bank and program). Any thread.
void json_add_tuning(JsonBuilder* builder, const sample_instrument* instrument, int srcn);

// The kit files of the image read from `path`, whose samples the export
// named after `stem`, in `folder`.
class kit_export {
 public:
  kit_export(std::string folder, const export_tunings& tunings, bool force)
      : folder_(std::move(folder)), tunings_(tunings), force_(force) {}

  // With `write`, makes and writes the kit files (replacing only with
  // force); without, checks that none is in the way. On failure returns
  // false and says why in `failure`, naming the file. Main thread only.
  // `names` are the export's names of the files holding each sample number
  // (sample_export::names_given), which the kit's files point at.
  bool put(const std::string& stem, const std::map<int, std::string>& names,
           const spc_format& spc, const std::string& path, bool write, std::string& failure);

  // Kit files written so far. Main thread only.
  int files_written() const { return files_written_; }

  // Kit files whose name could not be written, each named with why; put()
  // went on with the others. Main thread only.
  const std::vector<std::string>& files_failed() const { return files_failed_; }

 private:
  std::string folder_;
  const export_tunings& tunings_;
  bool force_;
  int files_written_ = 0;
  std::vector<std::string> files_failed_;
};
