#include "dsp_voice.h"

namespace {

constexpr int full_level = 0x7FF;

}  // namespace

// The counter's periods in samples: dsp_envelope_rate_period's (rate 0 is
// never asked).
const unsigned dsp_rate_counter::periods[32] = {
    1,  2048, 1536, 1280, 1024, 768, 640, 512, 384, 320, 256, 192, 160, 128, 96, 80,
    64, 48,   40,   32,   24,   20,  16,  12,  10,  8,   6,   5,   4,   3,   2,  1};
// Where each rate's steps fall in the counter's cycle: the hardware shifts
// the counter by one of three offsets, in turn from rate to rate, so that
// rates of related periods do not all step in the same sample.
const unsigned dsp_rate_counter::offsets[32] = {
    0, 0, 1040, 536, 0, 1040, 536, 0, 1040, 536, 0, 1040, 536, 0, 1040, 536,
    0, 1040, 536, 0, 1040, 536, 0, 1040, 536, 0, 1040, 536, 0, 1040, 0, 0};

void dsp_voice::step_envelope(u8 adsr1, u8 adsr2, u8 gain, const dsp_rate_counter& counter) {
  int next = level;
  if (mode == dsp_envelope_mode::release) {
    // Key-off: 8 down every sample, whatever the counter says.
    level = next - 8 < 0 ? 0 : next - 8;
    return;
  }
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
  if (unsigned(next) > unsigned(full_level)) {
    next = next < 0 ? 0 : full_level;
    if (mode == dsp_envelope_mode::attack) mode = dsp_envelope_mode::decay;
  }
  // Only the level waits for the counter; the mode changes above do not.
  if (counter.fires(rate)) level = next;
}
