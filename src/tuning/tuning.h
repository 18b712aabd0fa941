// A played sample's tuning: its own pitch where it has a clear one, checked
// against (and finely corrected by) the pitches the song plays it at; the
// song's most played note where it has none. Pure functions; any thread.
#pragma once

#include <vector>

#include "pitch_detect.h"
#include "sample_tuning.h"
#include "song_trace.h"

// The song's spread of fractional parts (in cents) up to which its notes
// are taken to fix the fine tune exactly.
inline constexpr double song_fine_tune_max_spread = 10.0;

// Adds `more` to `pool` (pitches ascending, counts summed): the evidence of
// several songs playing the same sample. Any thread.
void pool_pitches(std::vector<sample_play::pitch_count>& pool,
                  const std::vector<sample_play::pitch_count>& more);

// The tuning of a sample with pitch `own` that the song keys on at
// `pitches`:
// - own pitch clear (confidence at least own_pitch_min_confidence): root
//   69 + 12·log2(f / 440), method "loop period" or "autocorrelation". When
//   the song plays it and its notes share one fractional part (spread at
//   most song_fine_tune_max_spread cents), the root moves by that part so
//   the song's notes land on whole keys: the song's pitches are exact where
//   the measurement is not.
// - otherwise, played: the note the song plays it at most often, counting
//   pitch 0x1000 as C4, is its root key: the kit plays it at that pitch
//   from that key. Method "most played note"; confidence the share of
//   key-ons at that note.
// - otherwise: own pitch if any, else C4 with method "none".
// Any thread.
sample_tuning tune_sample(const own_pitch& own,
                          const std::vector<sample_play::pitch_count>& pitches);

// The MIDI note (real) pitch register value `pitch` sounds for a sample
// whose root is `root`. Any thread.
double played_note(double root, u16 pitch);
