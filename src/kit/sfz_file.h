// An SFZ instrument of a song's played samples, one region per sample over
// the WAV files exported beside it. Pure function; any thread.
#pragma once

#include <string>
#include <vector>

#include "kit_sample.h"

// The .sfz text: per sample `sample=`, `pitch_keycenter=`, `tune=`, the loop
// (end inclusive, as SFZ counts) and the ampeg_ envelope. Regions cover the
// whole keyboard and are told apart as the SoundFont's presets are: one
// <group> per bank (bank select, controller 0: locc0/hicc0 = SRCN / 128),
// and within it by program (loprog/hiprog = SRCN % 128).
// Any thread.
std::string sfz_text(const std::string& title, const std::vector<kit_sample>& samples);
