// The song as a Standard MIDI File played by its own kit: the trace's
// key-ons as notes on the SoundFont presets of STEM.sf2 (bank SRCN / 128,
// program SRCN % 128), tuned as the kit declares each sample, one track per
// sounding voice ("Voice N" on channel N + 1). Pure functions; any thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "key_on_grid.h"
#include "sample_tuning.h"
#include "song_trace.h"

// Pitch bend reaches this many semitones either way (set by RPN 0 at the
// start of every voice's track): a slide of up to 24 semitones from the
// note's key stays one note, and 8192 steps still give a cent under 0.3.
inline constexpr int midi_bend_range_semitones = 24;
// Ticks per quarter note. At the slowest tempo chosen (40 bpm, 1.5 s a
// quarter) a tick is 1.56 ms, and every event lies within half a tick
// (0.8 ms) of its traced time: the file's times are the song's to 1 ms.
inline constexpr int midi_ticks_per_quarter = 960;
// A song without one key-on grid is measured in sections this long (8 s),
// each with its own tempo.
inline constexpr std::int64_t tempo_section_samples = 8 * 32000;

// One sample of the kit as the MIDI file plays it.
struct midi_instrument {
  sample_tuning tuning;      // root key and fine tune as the kit declares them
  key_on_envelope envelope;  // the preset's envelope
  u16 start = 0;             // the directory entry's start: key-ons of another start are not it
  std::size_t frames = 0;    // the kit's PCM frames (at pitch 0x1000, one a DSP sample)
  bool loops = false;
  // A sample taken from the song (preset from_song_preset_first and up):
  // the key-ons that played these bytes are its notes. Null for the table's.
  std::shared_ptr<const traced_sample> from_song = nullptr;
};

struct song_midi_source {
  const song_trace* trace = nullptr;
  // By preset: the table's samples by directory index (SRCN), then those
  // taken from the song.
  std::map<int, midi_instrument> instruments;
  std::string title;  // the tag's song title and game ("" when none)
  std::string game;
};

struct song_midi {
  std::vector<u8> bytes;  // the file
  int notes = 0;
  int voices = 0;         // tracks after the first
  key_on_grid grid;       // the tempo's source (the whole song's)
  int tempo_changes = 0;  // tempo meta events after the first (the song had no one grid)
  int surround_volumes = 0;     // key-ons and volume changes with a negative volume
  int envelopes_differing = 0;  // key-ons whose ADSR or GAIN differs from the preset's
  int key_ons_without_sample = 0;  // key-ons of no sample of the kit: no note
};

// The key (real: 60.5 lies between C4 and C#4) a sample of `tuning` sounds
// at pitch register `pitch`, counted so that key N of the kit's preset
// plays N: the kit declares the sample's root_key() and fine_tune_cents(),
// which it sounds at pitch 0x1000. Minus infinity at pitch 0. Any thread.
double midi_sounding_key(const sample_tuning& tuning, u16 pitch);

// The song's MIDI file. Any thread.
song_midi make_song_midi(const song_midi_source& source);
