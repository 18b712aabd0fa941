// The decoder follows the S-DSP step for step, in the order the hardware
// does them; the comments name each step.

#include "brr.h"

#include <algorithm>

namespace {

// A loop replayed at most this many times over, the first pass included.
constexpr int max_loop_passes = 16;

// The 9 bytes of the block at `address`, wrapping at the top of ARAM.
void read_block(const spc_format& spc, u16 address, u8 block[brr_block_bytes]) {
  for (int i = 0; i < brr_block_bytes; ++i) block[i] = spc.aram[(address + i) & 0xFFFF];
}

void decode_block_at(const spc_format& spc, u16 address, brr_history& history,
                     std::int16_t* out) {
  u8 block[brr_block_bytes];
  read_block(spc, address, block);
  brr_decode_block(block, history, out);
}

}  // namespace

void brr_decode_block(const u8 block[brr_block_bytes], brr_history& history,
                      std::int16_t out[brr_block_samples]) {
  const u8 header = block[0];
  const int shift = brr_header_range(header);
  const int filter = brr_header_filter(header);
  for (int i = 0; i < brr_block_samples; ++i) {
    const u8 byte = block[1 + i / 2];
    // High nibble first, sign-extended from 4 bits.
    const int nibble = static_cast<std::int8_t>(i % 2 == 0 ? byte : byte << 4) >> 4;
    // Ranges 0-12 scale (half a step below 1); 13-15 keep only the sign.
    int s = shift <= 12 ? (nibble * (1 << shift)) >> 1 : (nibble >> 3) * 2048;
    // Prediction from the two previous 15-bit results (>> is arithmetic).
    const int old = history.old;
    const int older = history.older;
    switch (filter) {
      case 1: s += old + ((-old) >> 4); break;
      case 2: s += 2 * old + ((-3 * old) >> 5) - older + (older >> 4); break;
      case 3: s += 2 * old + ((-13 * old) >> 6) - older + ((3 * older) >> 4); break;
      default: break;
    }
    // Clamp to 16 bits first, then keep 15: an overflow wraps after the clamp.
    s = std::clamp(s, -32768, 32767);
    const int result = static_cast<std::int16_t>(s * 2) >> 1;
    history.older = old;
    history.old = result;
    // The output sample is twice the result (bit 0 clear).
    out[i] = static_cast<std::int16_t>(result * 2);
  }
}

namespace {

brr_sample follow_chain(const spc_format& spc, u16 start, u16 loop, bool decode) {
  brr_sample sample;
  sample.start = start;
  sample.loop = loop;
  brr_history history;
  u16 address = start;
  for (int n = 0; n < brr_max_chain_blocks; ++n) {
    const u8 header = spc.aram[address];
    sample.blocks.push_back({address, header});
    sample.filters_used |= static_cast<u8>(1u << brr_header_filter(header));
    sample.largest_range = std::max(sample.largest_range, brr_header_range(header));
    if (decode) {
      sample.pcm.resize(sample.pcm.size() + brr_block_samples);
      decode_block_at(spc, address, history,
                      sample.pcm.data() + sample.pcm.size() - brr_block_samples);
    }
    if (header & brr_end_flag) {
      sample.ends = true;
      sample.loops = header & brr_loop_flag;
      break;
    }
    address = static_cast<u16>(address + brr_block_bytes);
  }
  sample.history_at_end = history;
  if (sample.loops) {
    const auto at = std::find_if(sample.blocks.begin(), sample.blocks.end(),
                                 [loop](const brr_block& b) { return b.address == loop; });
    if (at != sample.blocks.end())
      sample.loop_sample = static_cast<std::size_t>(at - sample.blocks.begin()) * brr_block_samples;
  }
  return sample;
}

}  // namespace

brr_sample brr_decode_chain(const spc_format& spc, u16 start, u16 loop) {
  return follow_chain(spc, start, loop, true);
}

brr_sample brr_walk_chain(const spc_format& spc, u16 start, u16 loop) {
  return follow_chain(spc, start, loop, false);
}

brr_sample brr_decode_entry(const spc_format& spc, const sample_chart& row) {
  return brr_decode_chain(spc, row.sample_address, row.loop_address);
}

std::vector<std::int16_t> brr_decode_loop_pass(const spc_format& spc, const brr_sample& sample,
                                               brr_history& history) {
  if (!sample.loop_sample) return {};
  const std::size_t first = sample.loop_block();
  std::vector<std::int16_t> pcm((sample.blocks.size() - first) * brr_block_samples);
  for (std::size_t b = first; b < sample.blocks.size(); ++b)
    decode_block_at(spc, sample.blocks[b].address, history,
                    pcm.data() + (b - first) * brr_block_samples);
  return pcm;
}

std::vector<u8> brr_chain_bytes(const spc_format& spc, const brr_sample& sample) {
  std::vector<u8> bytes(sample.blocks.size() * brr_block_bytes);
  for (std::size_t b = 0; b < sample.blocks.size(); ++b)
    read_block(spc, sample.blocks[b].address, bytes.data() + b * brr_block_bytes);
  return bytes;
}

looped_pcm playable_pcm(const spc_format& spc, const brr_sample& sample) {
  looped_pcm out{sample.pcm, std::nullopt};
  if (!sample.loop_sample) return out;
  std::size_t loop_start = *sample.loop_sample;
  std::vector<std::int16_t> previous(sample.pcm.begin() + static_cast<std::ptrdiff_t>(loop_start),
                                     sample.pcm.end());
  brr_history history = sample.history_at_end;
  for (int pass = 2; pass <= max_loop_passes; ++pass) {
    std::vector<std::int16_t> next = brr_decode_loop_pass(spc, sample, history);
    // Equal passes leave equal history: every later pass repeats this one.
    if (next == previous) break;
    loop_start = out.pcm.size();
    out.pcm.insert(out.pcm.end(), next.begin(), next.end());
    previous = std::move(next);
  }
  out.loop_start = loop_start;
  return out;
}
