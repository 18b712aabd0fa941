// The song's tempo from its key-ons. A sound driver steps its sequences on
// a timer of fixed rate, so the song's notes start on a grid of that tick;
// the grid's step, times a whole number, is the beat. Pure function; any
// thread.
#pragma once

#include <cstdint>
#include <vector>

struct key_on_grid {
  bool found = false;
  double step_samples = 0;         // the grid's step, in DSP samples (32000 a second)
  double fit = 0;                  // the onsets' phase coherence on it, 0 ... 1
  int onsets = 0;                  // distinct onsets measured
  double quarter_samples = 16000;  // the quarter note chosen, in DSP samples (120 bpm without a grid)

  double beats_per_minute() const { return 60.0 * 32000.0 / quarter_samples; }
  double step_milliseconds() const { return step_samples / 32.0; }
};

// The grid of `key_on_samples` (DSP sample indices, any order). Key-ons
// within 2 ms of each other are one onset (a chord). Candidate steps are the
// six commonest intervals between onsets (32 ms to 4 s, to 0.5 ms) and their
// halves, thirds and quarters; each is refined, within 2 %, to the step on
// which the onsets' phases agree best over the whole song (their phase
// coherence, see key_on_grid.cpp), and the most coherent step wins when its
// coherence is 0.5 or more. A driver's timer keeps its grid exact over
// minutes, so the step comes out to a hundredth of a sample; a song whose
// tempo changes has no one step, and none is found. The quarter note is the
// step times 1, 2, 4, 8 or 16, whichever is closest to 120 bpm within 40 to
// 240 bpm; without a grid it is 0.5 s. Any thread.
key_on_grid find_key_on_grid(std::vector<std::int64_t> key_on_samples);
