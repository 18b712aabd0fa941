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

// `image` with a song: the demo's stream player keying directory entry 0 on
// voice 0 (ADSR1 `adsr1`, ADSR2 `adsr2`, GAIN `gain`) at each of `pitches`
// in turn, 0.1 s apart, then waiting 5 s and starting over.
spc_format song_of_pitches(const spc_builder& image, const std::vector<u16>& pitches,
                           u8 adsr1 = 0, u8 adsr2 = 0, u8 gain = 0x7F);
