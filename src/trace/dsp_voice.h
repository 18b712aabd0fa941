// One S-DSP voice as far as the sound driver can observe it: its envelope
// (ADSR and every GAIN mode, stepped by the DSP's shared rate counter), its
// place in its BRR chain, and the KON delay. Nothing is decoded or mixed.
// The rules are the console's sound hardware's (fullsnes, "SNES APU DSP
// ADSR/Gain Envelope" and "BRR Samples"; the public cycle-accurate emulators
// agree). Any thread (one owner).
#pragma once

#include <cstdint>

#include "spc.h"

// The DSP's rate counter: one count down per output sample, shared by every
// voice's envelope and the noise generator. A rate's step happens in the
// samples where the counter, shifted by the rate's offset, is a multiple of
// the rate's period.
class dsp_rate_counter {
 public:
  // Once a sample, before the voices step (from 0 it wraps to the top).
  void tick() { value_ = value_ == 0 ? range - 1 : value_ - 1; }
  void tick(std::int64_t samples) {
    if (samples <= value_)  // the common short run, without a division
      value_ -= unsigned(samples);
    else
      value_ = unsigned(((std::int64_t(value_) - samples) % range + range) % range);
  }
  // Whether a step at `rate` (0 ... 31; 0 never steps) happens this sample.
  bool fires(int rate) const {
    return rate == 31 || (rate != 0 && (value_ + offsets[rate]) % periods[rate] == 0);
  }
  // How many ticks from now until a step at `rate` (1 ... 30) next happens:
  // 1 ... its period.
  std::int64_t ticks_to_fire(int rate) const {
    const unsigned t = (value_ + offsets[rate]) % periods[rate];
    return t ? t : periods[rate];
  }

 private:
  // The smallest span every period divides: 2048 × 5 × 3 samples.
  static constexpr unsigned range = 30720;
  unsigned value_ = 0;  // a reset leaves it at 0
  static const unsigned periods[32];
  static const unsigned offsets[32];
};

enum class dsp_envelope_mode : u8 { release, attack, decay, sustain };

inline constexpr int dsp_full_level = 0x7FF;

// A KON restarts a voice after this many samples in which it stays silent.
inline constexpr int dsp_key_on_delay_samples = 5;

struct dsp_voice {
  // The envelope: an 11-bit level.
  int level = 0;              // 0 ... 0x7FF
  int hidden_level = 0;       // the last step's result before clamping (the bent GAIN looks at it)
  dsp_envelope_mode mode = dsp_envelope_mode::release;
  int key_on_delay = 0;       // samples of the KON delay still to come (5 ... 1), 0 when playing
  // The BRR position: the block being decoded, the next data byte pair in
  // it, and the fractional position, 0x1000 per BRR sample. Decoding four
  // samples is due when it reaches 0x4000.
  u16 block = 0;
  int byte_in_block = 1;      // 1, 3, 5, 7
  int position = 0;           // 0 ... 0x7FFF
  u8 envx = 0;                // what ENVX shows for the sample being made: level / 16

  // Steps the envelope by one sample with the registers as the DSP reads
  // them then: ADSR1 (latched earlier in the sample), ADSR2 and GAIN.
  void step_envelope(u8 adsr1, u8 adsr2, u8 gain, const dsp_rate_counter& counter);

  // How many of the samples after this one would leave the envelope as it
  // is (level, mode and the bent GAIN's hidden level), with the same
  // registers and a counter that has ticked once more by each: a level the
  // step would not change, or a rate whose step is not yet due. Only for a
  // voice out of release. INT64_MAX when it stays for good.
  std::int64_t steady_samples(u8 adsr1, u8 adsr2, u8 gain, const dsp_rate_counter& counter) const;

 private:
  struct envelope_step {
    int next;  // the level the step sets when its rate fires
    int rate;
  };
  // A step out of release up to its rate's test: changes the mode and the
  // hidden level as the hardware does every sample.
  envelope_step prepare_step(u8 adsr1, u8 adsr2, u8 gain);
};

inline void dsp_voice::step_envelope(u8 adsr1, u8 adsr2, u8 gain, const dsp_rate_counter& counter) {
  if (mode == dsp_envelope_mode::release) {
    // Key-off: 8 down every sample, whatever the counter says.
    level = level - 8 < 0 ? 0 : level - 8;
    return;
  }
  const envelope_step step = prepare_step(adsr1, adsr2, gain);
  // Only the level waits for the counter; the mode changes do not.
  if (counter.fires(step.rate)) level = step.next;
}

inline std::int64_t dsp_voice::steady_samples(u8 adsr1, u8 adsr2, u8 gain,
                                              const dsp_rate_counter& counter) const {
  dsp_voice after = *this;
  const envelope_step step = after.prepare_step(adsr1, adsr2, gain);
  if (after.mode != mode || after.hidden_level != hidden_level) return 0;
  if (step.next == level || step.rate == 0) return INT64_MAX;
  if (step.rate == 31) return 0;
  return counter.ticks_to_fire(step.rate) - 1;
}

inline dsp_voice::envelope_step dsp_voice::prepare_step(u8 adsr1, u8 adsr2, u8 gain) {
  int next = level;
  int rate;
  // The register whose top three bits hold the sustain level in ADSR mode
  // (ADSR2), or GAIN itself in GAIN mode.
  int sustain_source = adsr2;
  if (adsr1 & 0x80) {
    if (mode == dsp_envelope_mode::attack) {
      rate = (adsr1 & 0x0F) * 2 + 1;
      next += rate < 31 ? 0x20 : 0x400;
    } else {
      // Decay and sustain fall exponentially: 1/256 of the level and 1 more.
      next -= 1;
      next -= next >> 8;
      rate = mode == dsp_envelope_mode::decay ? ((adsr1 >> 3) & 0x0E) + 0x10 : adsr2 & 0x1F;
    }
  } else {
    sustain_source = gain;
    const int gain_mode = gain >> 5;
    if (gain_mode < 4) {
      // Direct: the level is set at once.
      next = gain * 0x10;
      rate = 31;
    } else {
      rate = gain & 0x1F;
      switch (gain_mode) {
        case 4: next -= 0x20; break;                   // linear decrease
        case 5: next -= 1; next -= next >> 8; break;   // exponential decrease
        case 6: next += 0x20; break;                   // linear increase
        default:                                       // bent increase
          next += unsigned(hidden_level) < 0x600 ? 0x20 : 0x08;
          break;
      }
    }
  }
  // Decay becomes sustain when the level's top three bits reach the sustain
  // level (the bits are taken from GAIN in GAIN mode, as the hardware does).
  if (mode == dsp_envelope_mode::decay && (next >> 8) == (sustain_source >> 5))
    mode = dsp_envelope_mode::sustain;
  hidden_level = next;
  if (unsigned(next) > unsigned(dsp_full_level)) {
    next = next < 0 ? 0 : dsp_full_level;
    if (mode == dsp_envelope_mode::attack) mode = dsp_envelope_mode::decay;
  }
  return {next, rate};
}
