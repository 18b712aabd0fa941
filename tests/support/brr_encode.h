// Puts waveforms made in code into an image as BRR samples, for the tuning
// and kit tests. Filter 0 only: each block's range is the smallest that
// holds its loudest sample. Any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "spc_builder.h"

// `blocks` blocks of `wave(i)` (i = 0, 1, ... one per output sample,
// values -1 ... 1) at `address`, as directory entry `srcn`. With
// `loop_block` the chain loops from that block. Returns the address after
// the chain.
u16 put_brr_wave(spc_builder& image, int srcn, u16 address, int blocks,
                 const std::function<double(int)>& wave, std::optional<int> loop_block);
