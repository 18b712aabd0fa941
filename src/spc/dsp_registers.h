// The S-DSP's register file as an SPC image stores it (dsp_registers[128]):
// eight voices of sixteen registers each, and the global registers between
// them. Values and meanings from the console's sound hardware.
#pragma once

#include "spc.h"

inline constexpr int dsp_voice_count = 8;

// Per-voice registers: voice v's register r sits at v * 0x10 + r.
enum dsp_voice_register : u8 {
  v_vol_left = 0x00,    // signed volume
  v_vol_right = 0x01,
  v_pitch_low = 0x02,   // 14-bit pitch; 0x1000 plays one BRR sample per output sample
  v_pitch_high = 0x03,
  v_source = 0x04,      // SRCN: directory index of the sample
  v_adsr1 = 0x05,       // bit 7: ADSR on (else GAIN)
  v_adsr2 = 0x06,
  v_gain = 0x07,
  v_envx = 0x08,        // current envelope, written by the DSP
  v_outx = 0x09,        // current sample, written by the DSP
};

// Global registers.
enum dsp_global_register : u8 {
  r_main_vol_left = 0x0C,
  r_main_vol_right = 0x1C,
  r_echo_vol_left = 0x2C,
  r_echo_vol_right = 0x3C,
  r_key_on = 0x4C,       // KON: one bit per voice
  r_key_off = 0x5C,      // KOFF
  r_flags = 0x6C,        // FLG: reset, mute, echo writes off (bit 5), noise clock
  r_end_flags = 0x7C,    // ENDX
  r_echo_feedback = 0x0D,
  r_pitch_mod = 0x2D,    // PMON
  r_noise_on = 0x3D,     // NON
  r_echo_on = 0x4D,      // EON
  r_directory = 0x5D,    // DIR: page of the sample directory
  r_echo_start = 0x6D,   // ESA: page of the echo buffer
  r_echo_delay = 0x7D,   // EDL: echo buffer size in 2 KiB steps
};

inline constexpr u8 flg_echo_writes_off = 0x20;

// Register `reg` of voice `voice` (0 ... 7).
inline u8 dsp_voice_reg(const spc_format& spc, int voice, dsp_voice_register reg) {
  return spc.dsp_registers[voice * 0x10 + reg];
}
