// Stems: each voice of a song alone, and the whole mix, rendered by the
// emulation library as it plays them (libgme with the other voices muted)
// and written as 16-bit stereo WAV files at 32000 Hz. No GTK; the command
// line and the window both call it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "file_publish.h"
#include "song_length.h"
#include "spc.h"

// What is written for one SPC file: <stem>-voiceN.wav per voice that
// sounds, and <stem>-mix.wav.
struct stem_plan {
  std::shared_ptr<const spc_format> image;
  std::string spc_path;
  std::string stem;          // the SPC file's name without its extension
  std::int64_t frames = 0;   // stereo frames at 32000 Hz in each file
  std::int64_t fade_frames = 0;  // the last frames, faded out as the tag says
  std::vector<int> voices;   // voices that get a file, ascending
  std::vector<int> skipped;  // never keyed on and silent at the snapshot

  // The file names, voices first, then the mix. Any thread.
  std::vector<std::string> file_names() const;
};

// Plans the stems of `image` read from `spc_path`, `length` long
// (song_length_of), ending with its fade; voices the song never keys on in
// that time (traced) and that are silent at the snapshot are skipped.
// Raising `cancel` cuts the trace short (the plan then skips nothing it
// could not trace). Any thread.
stem_plan plan_stems(std::shared_ptr<const spc_format> image, const std::string& spc_path,
                     const song_length& length, const std::atomic<bool>* cancel = nullptr);

// Mask of the voices muted in a stem: all but `voice`, or none for the mix
// (voice < 0). Any thread.
unsigned stem_mute_mask(int voice);

struct stems_result {
  bool ok = true;               // false: the run stopped (failure says why)
  bool cancelled = false;
  bool target_existed = false;  // nothing was written: a file was in the way (no force)
  int files_written = 0;
  int files_planned = 0;
  std::string folder;
  std::string failure;  // when !ok: what failed, naming the file
  // Files whose name could not be written (too long, refused by the file
  // system), each named with why; the run went on without them.
  std::vector<std::string> files_failed;
  // "18 stem files written to /x/y", the files that failed, or what stopped
  // it. Any thread.
  std::string summary() const;
};

// Writes every plan's files into `folder` (made when the first file is,
// removed again if the run writes none there), one file rendered at a time
// and streamed to its file as it is rendered: memory does not grow with
// the length. Nothing is written when a plan is longer than a WAV file
// holds (wav_stereo_max_frames) or, without `force`, when any of the
// plans' names exists, a skipped voice's included (the first is named).
// With `force`, a skipped voice's file of an earlier run is removed, so
// every stem of a STEM in the folder is this run's. A file whose name
// can't be written is named in files_failed and the others are still done.
// `progress` (may be empty) gets the share done (0 ... 1) after every
// rendered buffer; raising `cancel` stops at the next buffer, and the file
// being rendered is not written. A file is written whole or not at all.
// `publishing` holds the command line's interrupted_run, if any.
// Any thread (one call per plan set).
stems_result write_stems(const std::vector<stem_plan>& plans, const std::string& folder,
                         bool force, const std::atomic<bool>* cancel = nullptr,
                         const std::function<void(double)>& progress = {},
                         const publish_context& publishing = {});
