// libgme's own render of an image, beside our emulation library, to check
// that what we play and write is what libgme plays. Any thread.
#pragma once

#include <cstddef>
#include <vector>

#include "spc.h"

// Interleaved stereo samples of `seconds` of `image` at 32000 Hz, played
// from its start with no end and no fade; the voices in `mute_mask` are
// silenced from frame `mute_from` on (gme_mute_voices between two
// gme_play calls). Empty when libgme rejects the image.
std::vector<short> gme_reference_render(const spc_format& image, double seconds,
                                        unsigned mute_mask, std::size_t mute_from = 0);
