// The S-DSP's envelope as a sampler's: the ADSR or GAIN registers of a
// key-on turned into attack and decay times, a sustain level and a release
// time, the shape SoundFont 2 and SFZ envelopes have. Pure functions; any
// thread.
#pragma once

#include <string>

#include "sample_tuning.h"

struct sampler_envelope {
  double attack_seconds = 0;    // linear rise from silence to full
  // Time the decay would take to fall 100 dB (SoundFont's and SFZ's measure:
  // the fall is a constant number of dB a second), stopping at the sustain.
  double decay_seconds = 0;
  double sustain_level = 1;     // 0 ... 1 of full amplitude; 0 is silence
  double release_seconds = 0;   // after key-off
  double level = 1;             // 0 ... 1: a fixed volume for the whole note (direct GAIN)
  // How the DSP's shape was bent to fit, when it was ("" when it fits as is).
  std::string approximation;
};

// The DSP's counter periods in output samples for rates 0 ... 31 (rate 0
// never steps). Any thread.
int dsp_envelope_rate_period(int rate);

// The envelope a voice keyed on with these registers plays. Any thread.
sampler_envelope sampler_envelope_from(const key_on_envelope& registers);
