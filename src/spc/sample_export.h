// Samples out as files: WAV (16-bit mono at the DSP's 32000 Hz, with a smpl
// loop), the raw BRR bytes, and a manifest, written so that nothing a user
// made is overwritten (unless asked) or left half-written. No GTK; the
// window and the command line both call it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "brr.h"
#include "spc.h"

struct export_options {
  bool unique = false;       // identical samples (bytes and loop offset) written once per run
  bool loop_header = false;  // BRR files start with the 2-byte loop offset
  bool force = false;        // existing files are replaced
};

// A sample as a sampler should play it: the first pass, then the loop's
// later passes until one repeats the one before (at most 16 passes in all),
// with the loop over the last. No loop for a sample without loop_sample.
// Any thread.
struct looped_pcm {
  std::vector<std::int16_t> pcm;
  std::optional<std::size_t> loop_start;  // first sample of the loop; it runs to the end
};
looped_pcm playable_pcm(const spc_format& spc, const brr_sample& sample);

// RIFF/WAVE bytes: PCM, mono, 16-bit, 32000 Hz, and with a loop a smpl chunk
// of one forward loop from loop_start to the last sample, both inclusive.
// Any thread.
std::vector<u8> wav_file_bytes(const looped_pcm& sample);

// The chain's bytes; with `loop_header` preceded by the loop's offset in
// bytes (little-endian; the chain's size when it does not loop). Any thread.
std::vector<u8> brr_file_bytes(const spc_format& spc, const brr_sample& sample, bool loop_header);

// How an export went, in a form the window can show as one line.
struct export_result {
  bool ok = true;
  int samples_written = 0;   // entries whose files were written (or shared, with unique)
  int files_written = 0;     // WAV and BRR files, the manifest not counted
  int not_ended = 0;         // entries left out: their chain has no end flag
  std::string folder;
  std::string failure;       // when !ok: what failed, naming the file
  bool target_existed = false;  // it failed because a file was in the way (no force)
  // "12 samples written to /x/y". Any thread.
  std::string written_text() const;
  // written_text() and the entries left out, or the failure. Any thread.
  std::string summary() const;
};

// One run's export, over any number of images: first every chosen entry is
// decoded and its files made in memory, then write() checks every target and
// writes them.
class sample_export {
 public:
  explicit sample_export(export_options options) : options_(options) {}

  // Adds the entries of `spc` whose sample numbers (1 ... 256, as the table
  // shows them) are in `sample_numbers`, or all entries when it is empty.
  // Files are named after `spc_path`: <stem>-<sample # in hex>.wav/.brr.
  // Main thread only.
  void add_image(const spc_format& spc, const std::string& spc_path,
                 const std::vector<int>& sample_numbers = {});

  // Creates `folder` when missing and writes every file and samples.tsv. Without
  // force, writes nothing when any target exists and names the first.
  // Main thread only.
  export_result write(const std::string& folder);

 private:
  struct file_to_write {
    std::string name;
    std::vector<u8> bytes;
  };
  export_options options_;
  std::vector<file_to_write> files_;
  std::map<std::pair<std::vector<u8>, std::size_t>, std::string> written_by_content_;
  std::string manifest_;
  int samples_ = 0;
  int not_ended_ = 0;
};

// The window's export: entries `sample_numbers` of the image read from
// `spc_path`, into `folder`. Main thread only.
export_result export_samples(const spc_format& spc, const std::string& spc_path,
                             const std::vector<int>& sample_numbers, const std::string& folder,
                             const export_options& options);

// Name of the manifest in the export folder.
inline constexpr const char* export_manifest_name = "samples.tsv";
