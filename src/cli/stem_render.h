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

#include "spc.h"

// The length used when neither the caller nor the tag gives one.
inline constexpr double stems_default_seconds = 180.0;

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

// Plans the stems of `image` read from `spc_path`: `seconds` long (0: the
// tag's length plus fade, or stems_default_seconds when it gives none),
// ending with the tag's fade; voices the song never keys on in that time
// (traced) and that are silent at the snapshot are skipped. Raising
// `cancel` cuts the trace short (the plan then skips nothing it could not
// trace). Any thread.
stem_plan plan_stems(std::shared_ptr<const spc_format> image, const std::string& spc_path,
                     double seconds, const std::atomic<bool>* cancel = nullptr);

// Mask of the voices muted in a stem: all but `voice`, or none for the mix
// (voice < 0). Any thread.
unsigned stem_mute_mask(int voice);

struct stems_result {
  bool ok = true;
  bool cancelled = false;
  bool target_existed = false;  // nothing was written: a file was in the way (no force)
  int files_written = 0;
  int files_planned = 0;
  std::string folder;
  std::string failure;  // when !ok: what failed, naming the file
  // "18 stem files written to /x/y", or what stopped it. Any thread.
  std::string summary() const;
};

// Creates `folder` when missing and writes every plan's files there, one
// file rendered and written at a time. Without `force`, writes nothing when
// any of them exists and names the first. `progress` (may be empty) gets
// the share done (0 ... 1) after every rendered buffer; raising `cancel`
// stops at the next buffer, and the file being rendered is not written.
// A file is written whole or not at all. Any thread (one call per plan set).
stems_result write_stems(const std::vector<stem_plan>& plans, const std::string& folder,
                         bool force, const std::atomic<bool>* cancel = nullptr,
                         const std::function<void(double)>& progress = {});
