#include "dsp_voice.h"

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
