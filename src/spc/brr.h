// BRR decoding as the S-DSP does it: 9-byte blocks of sixteen 4-bit
// residuals, each scaled by the block's range and predicted from the two
// previous results by one of four filters. Pure functions of the image; any
// thread.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "spc.h"

inline constexpr int brr_block_bytes = 9;
inline constexpr int brr_block_samples = 16;
// 9 and 65536 are coprime: a chain that has not ended after visiting every
// block start once never will.
inline constexpr int brr_max_chain_blocks = 65536;
// The length the chart gives such a chain: every block start visited once.
inline constexpr std::int32_t brr_endless_chain_bytes = brr_max_chain_blocks * brr_block_bytes;

// Header bits: SSSSFFLE.
inline constexpr u8 brr_end_flag = 0x01;
inline constexpr u8 brr_loop_flag = 0x02;
inline int brr_header_range(u8 header) { return header >> 4; }
inline int brr_header_filter(u8 header) { return (header >> 2) & 3; }

// The decoder's memory between samples: the two previous results, 15-bit
// signed (the output sample is twice the newest).
struct brr_history {
  int old = 0;
  int older = 0;
  bool operator==(const brr_history&) const = default;
};

// Decodes one block (header + 8 data bytes) into 16 samples, updating
// `history`. Any thread.
void brr_decode_block(const u8 block[brr_block_bytes], brr_history& history,
                      std::int16_t out[brr_block_samples]);

struct brr_block {
  u16 address;  // ARAM address of its header byte
  u8 header;
};

// One directory entry's chain, decoded from its start with zero history.
struct brr_sample {
  u16 start = 0;
  u16 loop = 0;                      // the directory entry's loop address
  std::vector<brr_block> blocks;     // the chain, up to and including the end block
  std::vector<std::int16_t> pcm;     // first pass: 16 samples per block
  bool ends = false;                 // an end flag was reached
  bool loops = false;                // the end block also carries the loop flag
  // First sample of the loop in `pcm`: only when the sample loops and its
  // loop address is the start of one of its blocks.
  std::optional<std::size_t> loop_sample;
  u8 filters_used = 0;               // bit f set when some block uses filter f
  int largest_range = 0;             // largest range (shift) of any block
  brr_history history_at_end;        // after the last block: what a loop carries on with

  std::size_t loop_block() const { return *loop_sample / brr_block_samples; }
};

// Decodes the chain that starts at ARAM `start` (addresses wrap at 16 bits),
// `loop` being its directory entry's loop address. Any thread.
brr_sample brr_decode_chain(const spc_format& spc, u16 start, u16 loop);

// The chain's blocks and facts as brr_decode_chain gives them, without
// decoding: pcm stays empty and history_at_end zero. For listings. Any thread.
brr_sample brr_walk_chain(const spc_format& spc, u16 start, u16 loop);

// Decodes directory entry `row` of the sample chart. Any thread.
brr_sample brr_decode_entry(const spc_format& spc, const sample_chart& row);

// The next pass of the loop: blocks from the loop block to the end block,
// decoded from `history` (sample.history_at_end for the second pass), which
// it leaves as the pass ends. Empty when the sample has no loop_sample.
// Any thread.
std::vector<std::int16_t> brr_decode_loop_pass(const spc_format& spc, const brr_sample& sample,
                                               brr_history& history);

// The raw bytes of the chain, first block through end block, as stored.
// Any thread.
std::vector<u8> brr_chain_bytes(const spc_format& spc, const brr_sample& sample);

// A sample as a sampler should play it: the first pass, then the loop's
// later passes until one repeats the one before (at most 16 passes in all),
// with the loop over the last. No loop for a sample without loop_sample.
// Any thread.
struct looped_pcm {
  std::vector<std::int16_t> pcm;
  std::optional<std::size_t> loop_start;  // first sample of the loop; it runs to the end
};
looped_pcm playable_pcm(const spc_format& spc, const brr_sample& sample);
