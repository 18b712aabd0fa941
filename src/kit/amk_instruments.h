// AddMusicK's #instruments lines for a song's played samples: the BRR file,
// the key-on's ADSR1, ADSR2 and GAIN, and two tuning bytes. Pure functions;
// any thread.
#pragma once

#include <string>
#include <vector>

#include "kit_sample.h"

// AddMusicK's tuning: an 8.8 multiplier of its note table's pitch.
struct amk_tuning {
  u8 multiplier = 0;  // $DD: whole part
  u8 fraction = 0;    // $EE: 1/256ths
};

// The multiplier that makes AddMusicK's o4 a sound A4 (440 Hz) with a sample
// whose root (the MIDI note it sounds at pitch 0x1000) is `root`. Any thread.
amk_tuning amk_tuning_for_root(double root);

// The pitch register value AddMusicK writes for its note `note` (0 = o1 c)
// with `tuning`. Any thread.
u16 amk_pitch(int note, amk_tuning tuning);

// The text to paste into a song: a comment, then `#instruments { ... }` with
// one `"FILE.brr" $AA $BB $CC $DD $EE` line per sample. Any thread.
std::string amk_instruments_text(const std::string& title, const std::vector<kit_sample>& samples);
