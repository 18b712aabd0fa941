// A sample's own pitch, from its decoded PCM alone: the fundamental it
// sounds at when played at pitch 0x1000 (32000 samples a second). Pure
// functions; any thread.
#pragma once

#include <optional>

#include "brr.h"

struct own_pitch {
  std::optional<double> hz;  // none: silent, too short, or no period found
  // 0 ... 1: how clearly the signal repeats at that period (1 minus the
  // normalised difference there); for a loop that is its own single period,
  // how little of its energy lies in the fast wiggles noise is made of.
  double confidence = 0.0;
  bool from_loop = false;    // measured over the loop as the DSP replays it
};

// Below this confidence a pitch is not taken as the sample's own.
inline constexpr double own_pitch_min_confidence = 0.6;

// The fundamental of `sample` (the first pass and the loop's later passes,
// as playable_pcm gives them). A looping sample is measured over its last
// (settled) loop pass: a period inside the loop, refined to a fraction of a
// sample and to a whole division of the loop when it is one; a loop with no
// shorter period is one period. A sample without a loop is measured over
// its steady part, past the attack. Any thread.
own_pitch detect_own_pitch(const looped_pcm& sample);
