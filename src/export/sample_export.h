// Samples out as files: WAV (16-bit mono at the DSP's 32000 Hz, with a smpl
// loop), the raw BRR bytes, and a manifest, written so that nothing a user
// made is overwritten (unless asked) or left half-written. No GTK; the
// window and the command line both call it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "brr.h"
#include "sample_tuning.h"
#include "file_publish.h"
#include "spc.h"

struct export_options {
  bool unique = false;       // identical samples (bytes and loop offset) written once per run
  bool loop_header = false;  // BRR files start with the 2-byte loop offset
  bool force = false;        // existing files are replaced
  bool instruments = false;  // the played samples also as a tuned kit (SF2, SFZ, AddMusicK)
  bool midi = false;         // with the kit, the song as STEM.mid played by it
  // With --instruments: the played samples' tuning, whose WAV files carry it
  // and whose manifest lines gain it. Not owned.
  const export_tunings* tunings = nullptr;
  // The command line's interrupted_run, which a signal's cleanup needs.
  publish_context publishing = {};
};

// RIFF/WAVE bytes: PCM, mono, 16-bit, 32000 Hz, and with a loop a smpl chunk
// of one forward loop from loop_start to the last sample, both inclusive.
// Any thread.
// With `tuning`, the smpl chunk (written then even without a loop) gives
// the sample's root: unity note and the fraction of a semitone above it.
std::vector<u8> wav_file_bytes(const looped_pcm& sample, const sample_tuning* tuning = nullptr);

// The 44-byte RIFF/WAVE header of `frames` frames of 16-bit stereo PCM at
// 32000 Hz, the samples following it. `frames` at most
// wav_stereo_max_frames. Any thread.
std::vector<u8> wav_stereo_header(std::uint32_t frames);

// The most frames a RIFF file's 32-bit sizes can hold: 1,073,741,814, or
// 33,554 s (9 h 19 min) at 32000 Hz.
inline constexpr std::uint32_t wav_stereo_max_frames = (0xFFFFFFFFu - 36u) / 4u;

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
  // Files whose name could not be written (too long, refused by the file
  // system), each named with why; the run went on without them.
  std::vector<std::string> files_failed;
  // "12 samples written to /x/y". Any thread.
  std::string written_text() const;
  // written_text(), the entries left out and the files that failed, or the
  // failure. Any thread.
  std::string summary() const;
};

// One run's export, over any number of images, one image at a time: each
// image's files are written as it is added, so memory stays flat however
// many there are, and the manifest last, so that it never names a file the
// run did not write. Two images with the same stem (gameA/01.spc,
// gameB/01.spc) get distinct ones: "01", then "01 (2)", in the order added.
//
// Without force, a run that finds a file in the way should write nothing:
// make a checking run first (check_only), adding the same images in the same
// order; it names files exactly as the writing run will and touches nothing.
class sample_export {
 public:
  enum class mode { write, check_only };
  sample_export(export_options options, std::string folder, mode how = mode::write);
  ~sample_export();
  sample_export(const sample_export&) = delete;
  sample_export& operator=(const sample_export&) = delete;

  // Adds the entries of `spc` whose sample numbers (1 ... 256, as the table
  // shows them) are in `sample_numbers`, or all entries when it is empty,
  // and writes their files: <stem>-<sample # in hex>.wav/.brr, the stem
  // being `spc_path`'s (see stem_given). The folder is made when the first
  // file is written. Returns false once the run has failed (finish() says
  // why); later calls then do nothing. Main thread only.
  bool add_image(const spc_format& spc, const std::string& spc_path,
                 const std::vector<int>& sample_numbers = {});

  // The stem the last add_image named its files after: the file's own stem
  // as output_name_from makes it (quotes too with instruments), or " (2)",
  // " (3)"… after that when an earlier image had that stem (letter case
  // aside, as FAT and exFAT ignore it). Main thread only.
  const std::string& stem_given() const { return stem_given_; }

  // The name (without extension) of the WAV and BRR files holding each
  // sample number the last add_image wrote; with unique, an earlier file's
  // for a sample already written. Main thread only.
  const std::map<int, std::string>& names_given() const { return names_given_; }

  // Writes samples.tsv and says how the run went; a checking run says
  // whether a file is in the way (the first one found). Main thread only.
  export_result finish();

 private:
  struct run_state;
  std::unique_ptr<run_state> state_;
  std::string stem_given_;
  std::map<int, std::string> names_given_;
};

// The window's export: entries `sample_numbers` of the image read from
// `spc_path`, into `folder`; without force, a check first so that nothing is
// written when a file is in the way. Main thread only.
export_result export_samples(const spc_format& spc, const std::string& spc_path,
                             const std::vector<int>& sample_numbers, const std::string& folder,
                             const export_options& options);

// Name of the manifest in the export folder.
inline constexpr const char* export_manifest_name = "samples.tsv";
