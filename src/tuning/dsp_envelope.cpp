#include "dsp_envelope.h"

#include <algorithm>
#include <array>
#include <cmath>

// The envelope's rules, as the console's sound hardware documentation
// (fullsnes, "SNES APU DSP ADSR/Gain Envelope") gives them: an 11-bit level
// (0 ... 0x7FF) stepped once per period of its rate's counter, the periods
// below; attack adds 32 (1024 at the fastest rate) until the level passes
// 0x7E0; decay and sustain subtract (level - 1) / 256 + 1 each step, an
// exponential fall; the sustain level is (SL + 1) / 8 of full; release
// subtracts 8 every sample. GAIN's custom modes step at their own rate:
// linear -32 or +32, exponential as decay, and the bent rise +32 below
// 0x600 and +8 above.

namespace {

constexpr std::array<int, 32> rate_periods = {
    0,   2048, 1536, 1280, 1024, 768, 640, 512, 384, 320, 256, 192, 160, 128, 96, 80,
    64,  48,   40,   32,   24,   20,  16,  12,  10,  8,   6,   5,   4,   3,   2,  1};

constexpr double dsp_rate_hz = 32000.0;
constexpr double full_level = 0x7FF;
// One exponential step multiplies the level by 255/256 (for the levels that
// matter): this many dB.
const double db_per_exponential_step = 20.0 * std::log10(256.0 / 255.0);
// The DSP's quietest non-zero level: about 66 dB below full.
const double floor_db = 20.0 * std::log10(full_level);
constexpr double sampler_decay_db = 100.0;
// Key-off: 8 a sample from full.
constexpr double release_seconds = full_level / 8.0 / dsp_rate_hz;

double step_seconds(int rate) { return rate_periods[static_cast<std::size_t>(rate)] / dsp_rate_hz; }

double db_of(double level) { return level > 0 ? -20.0 * std::log10(level) : floor_db; }

// Decay time in the sampler's measure for an exponential fall at `rate`.
double exponential_decay_seconds(int rate) {
  return sampler_decay_db / db_per_exponential_step * step_seconds(rate);
}

sampler_envelope from_adsr(const key_on_envelope& r) {
  sampler_envelope out;
  const int attack_rate = (r.adsr1 & 0x0F) * 2 + 1;
  const int decay_rate = ((r.adsr1 >> 4) & 0x07) * 2 + 16;
  const int sustain_rate = r.adsr2 & 0x1F;
  const double sustain = ((r.adsr2 >> 5) + 1) / 8.0;
  // 0x7E0 / 32 = 63 steps; the fastest rate adds 1024 and needs two.
  out.attack_seconds = attack_rate == 31 ? 2 * step_seconds(31) : 63 * step_seconds(attack_rate);
  out.decay_seconds = exponential_decay_seconds(decay_rate);
  out.sustain_level = sustain;
  out.release_seconds = release_seconds;
  if (sustain_rate != 0) {
    // The DSP keeps falling through the sustain at its own rate until
    // silence; a sampler holds its sustain. Fall to silence instead, at the
    // one rate that reaches the DSP's floor when the DSP does.
    const double to_sustain = db_of(sustain) / db_per_exponential_step * step_seconds(decay_rate);
    const double to_floor =
        (floor_db - db_of(sustain)) / db_per_exponential_step * step_seconds(sustain_rate);
    out.decay_seconds = (to_sustain + to_floor) * sampler_decay_db / floor_db;
    out.sustain_level = 0;
    out.approximation = "sustain that keeps falling: one decay to silence";
  }
  return out;
}

sampler_envelope from_gain(const key_on_envelope& r) {
  sampler_envelope out;
  out.release_seconds = release_seconds;
  if (!(r.gain & 0x80)) {
    out.level = (r.gain & 0x7F) * 16 / full_level;
    return out;
  }
  const int rate = r.gain & 0x1F;
  if (rate == 0) {
    // A custom mode that never steps holds the level the voice starts at;
    // a driver that keys on like this has set the level just before.
    out.approximation = "GAIN at rate 0: held at full";
    return out;
  }
  switch ((r.gain >> 5) & 3) {
    case 0:
    case 1:
      // A key-on starts the envelope at 0, where a decrease keeps it: what
      // sounds comes from the envelope the driver sets after the key-on
      // (these are usually the last note's release). Held at full.
      out.approximation = "GAIN decrease at key-on: held at full";
      break;
    case 2:  // linear increase: 64 steps of 32, a sampler's attack exactly
      out.attack_seconds = 64 * step_seconds(rate);
      break;
    default:  // bent increase: 48 steps of 32, then 64 of 8
      out.attack_seconds = (48 + 64) * step_seconds(rate);
      out.approximation = "bent GAIN increase: one linear attack of the same length";
      break;
  }
  return out;
}

}  // namespace

int dsp_envelope_rate_period(int rate) {
  return rate_periods[static_cast<std::size_t>(std::clamp(rate, 0, 31))];
}

sampler_envelope sampler_envelope_from(const key_on_envelope& registers) {
  return (registers.adsr1 & 0x80) ? from_adsr(registers) : from_gain(registers);
}
