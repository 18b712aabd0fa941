// The eight DSP voices as the snapshot left them. Pure functions of the
// image; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "dsp_registers.h"
#include "spc.h"

struct voice_state {
  int voice;               // 0 ... 7
  u8 source;               // SRCN: directory index of its sample
  std::int8_t vol_left;    // signed volumes
  std::int8_t vol_right;
  u16 pitch;               // 14 bits; 0x1000 = one BRR sample per output sample
  double rate_hz;          // BRR samples per second at that pitch
  u8 adsr1, adsr2, gain;
  u8 envx, outx;
  bool keyed_on;           // its KON bit
  bool echo;               // its EON bit
  bool noise;              // its NON bit
  bool pitch_mod;          // its PMON bit (never set for voice 0)
};

std::array<voice_state, dsp_voice_count> read_voices(const spc_format& spc);

// Voices (0 ... 7, ascending) whose SRCN register is `source`.
std::vector<int> voices_using_source(const spc_format& spc, int source);
