// Instrument kits: a song's played samples tuned (their own pitch checked
// against the song's), with the envelope of their first key-on, and the
// kit files made of them (SoundFont 2, SFZ, AddMusicK lines). No GTK.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "kit_sample.h"
#include "song_trace.h"

// Per directory index (SRCN) the song plays, its instrument.
using song_instruments = std::map<int, sample_instrument>;

// One song to tune: its image and what its trace keyed on.
struct song_to_tune {
  const spc_format* image = nullptr;
  const song_trace* trace = nullptr;
};

// The instruments of every song, in order. A played entry whose chain never
// ends is left out. With `pool_identical` (a soundtrack exported with
// --unique), identical samples (same bytes and loop) pool the key-ons of
// every song, so a sample gets one tuning for the whole game. Any thread.
std::vector<song_instruments> tune_played_samples(const std::vector<song_to_tune>& songs,
                                                  bool pool_identical);

// The kit samples of one song: `instruments` with their PCM, named
// "STEM 1A" after the file's stem and the sample number, and the file
// names the export gave them (`file_name(sample_number, ".wav")`).
// Any thread.
std::vector<kit_sample> kit_samples_for(
    const spc_format& image, const std::string& stem, const song_instruments& instruments,
    const std::function<std::string(int sample_number, const char* extension)>& file_name);

// STEM.sf2, STEM.sfz and STEM-instruments.txt. Empty, with `failure` set,
// when the SoundFont cannot be made. Main thread only (libinstpatch).
struct kit_file {
  std::string name;
  std::vector<u8> bytes;
};
std::vector<kit_file> kit_files(const std::string& stem, const std::vector<kit_sample>& samples,
                                std::string& failure);
