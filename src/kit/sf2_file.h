// A SoundFont 2 bank of a song's played samples: one preset per sample
// (kit_preset_of its SRCN: bank SRCN / 128, program SRCN % 128), written
// with libinstpatch. Main thread
// only, as libinstpatch's object system is set up on first use.
#pragma once

#include <string>
#include <vector>

#include "kit_sample.h"

// A sample's frames as SoundFont 2.01 asks them laid out: a loop of at
// least 32 frames with at least 8 valid frames before its start and after
// its end (the loop is unrolled or moved on by whole loop lengths to get
// them; the sound is the same). loop_end is one past the loop's last frame,
// as SoundFont counts. Any thread.
struct sf2_frames {
  std::vector<std::int16_t> pcm;
  std::size_t loop_start = 0;
  std::size_t loop_end = 0;  // 0 when the sample does not loop
};
sf2_frames sf2_frames_for(const looped_pcm& sample);

// The bank's bytes: each sample at 32000 Hz with its loop, original pitch =
// root key and pitch correction = the cents that bring the fine tune back to
// the key's pitch, key range the whole keyboard, and the envelope of its
// first key-on. Empty, with `failure` set, when libinstpatch fails. Main
// thread only.
std::vector<u8> sf2_file_bytes(const std::string& bank_name,
                               const std::vector<kit_sample>& samples, std::string& failure);
