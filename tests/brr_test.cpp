// The BRR decoder: hand-worked blocks for each range and filter, the clamp
// and the 15-bit wrap, chains and loops; then every entry of the real files
// against a second decoder written here from the hardware description.

#include <gtest/gtest.h>

#include <vector>

#include "brr.h"
#include "sample_checks.h"
#include "spc_builder.h"

namespace {

// 16 samples of one block decoded from zero history (or `history`).
std::vector<int> decode(std::initializer_list<u8> block, brr_history history = {}) {
  u8 bytes[brr_block_bytes] = {};
  std::copy(block.begin(), block.end(), bytes);
  std::int16_t out[brr_block_samples];
  brr_decode_block(bytes, history, out);
  return {out, out + brr_block_samples};
}

TEST(BrrBlockTest, RangesScaleTheNibbleAndThirteenUpKeepOnlyItsSign) {
  // Nibbles 7, -1, 1, -8 repeated.
  const u8 d1 = 0x7F, d2 = 0x18;
  EXPECT_EQ(decode({0x00, d1, d2})[0], 6);       // range 0: (7 << 0) >> 1 = 3
  EXPECT_EQ(decode({0x00, d1, d2})[1], -2);      // -1 >> 1 = -1
  EXPECT_EQ(decode({0x00, d1, d2})[2], 0);       // 1 >> 1 = 0
  EXPECT_EQ(decode({0xC0, d1, d2})[0], 28672);   // range 12: 7 << 11
  EXPECT_EQ(decode({0xC0, d1, d2})[3], -32768);  // -8 << 11, doubled
  for (u8 header : {0xD0, 0xF0}) {
    const auto s = decode({header, d1, d2});
    EXPECT_EQ(s[0], 0) << "range " << (header >> 4);      // positive: 0
    EXPECT_EQ(s[1], -4096) << "range " << (header >> 4);  // negative: -2048, doubled
    EXPECT_EQ(s[2], 0);
    EXPECT_EQ(s[3], -4096);
  }
}

TEST(BrrBlockTest, EachFilterPredictsFromOldAndOlder) {
  // Range 10: a 7 (3584), then zeros, so from the second sample on only the
  // filter speaks.
  EXPECT_EQ(decode({0xA0, 0x70}), (std::vector<int>{7168, 0, 0, 0, 0, 0, 0, 0,
                                                    0, 0, 0, 0, 0, 0, 0, 0}));
  const auto f1 = decode({0xA4, 0x70});  // old + (-old >> 4)
  EXPECT_EQ(f1[1], 2 * 3360);
  EXPECT_EQ(f1[2], 2 * 3150);
  EXPECT_EQ(decode({0xA8, 0x70})[1], 2 * 6832);  // 2old - 3old/32 - older + older/16
  EXPECT_EQ(decode({0xAC, 0x70})[1], 2 * 6440);  // 2old - 13old/64 - older + 3older/16
  // With old and older told apart, a swap shows.
  EXPECT_EQ(decode({0x08, 0x00}, {1000, 200})[0], 2 * (2000 - 94 - 200 + 12));
  EXPECT_EQ(decode({0x0C, 0x00}, {1000, 200})[0], 2 * (2000 - 204 - 200 + 37));
}

TEST(BrrBlockTest, OverflowClampsToSixteenBitsThenWrapsToFifteen) {
  // Two 7s at range 12 under filter 2 make 41664: clamped to 32767, whose
  // low 15 bits are -1, so a positive overflow comes out as -2.
  EXPECT_EQ(decode({0xC8, 0x77})[1], -2);
  EXPECT_EQ(decode({0xCC, 0x77})[1], -2);  // filter 3: 40096
  // Two -8s make -47616: clamped to -32768, low 15 bits 0.
  EXPECT_EQ(decode({0xC8, 0x88})[1], 0);
  // 27776 needs no clamp but does not fit 15 bits: it wraps to -4992.
  EXPECT_EQ(decode({0xC4, 0x77})[1], -9984);
}

TEST(BrrChainTest, StopsAtTheEndFlagAndReportsWhatItUsed) {
  spc_builder b;
  b.aram(0x1000, {0x84, 0x11}).aram(0x1009, {0xC8, 0x22}).aram(0x1012, {0x21});
  b.aram(0x101B, {0xFF});  // past the end: never read
  const brr_sample s = brr_decode_chain(b.image(), 0x1000, 0x1009);
  ASSERT_EQ(s.blocks.size(), 3u);
  EXPECT_EQ(s.blocks[2].address, 0x1012);
  EXPECT_FALSE(s.loop_sample);  // the end block has no loop flag
  EXPECT_EQ(s.filters_used, 0b0111);
  EXPECT_EQ(s.largest_range, 12);
}

TEST(BrrChainTest, LoopFirstSampleOnlyOnABlockStartOfTheChain) {
  spc_builder b;
  b.brr_chain(0x1000, 3).aram(0x1012, {0x03});
  EXPECT_EQ(brr_decode_chain(b.image(), 0x1000, 0x1009).loop_sample, 16u);
  EXPECT_EQ(brr_decode_chain(b.image(), 0x1000, 0x1000).loop_sample, 0u);
  const brr_sample off_grid = brr_decode_chain(b.image(), 0x1000, 0x100A);
  EXPECT_FALSE(off_grid.loop_sample);
  EXPECT_EQ(check_sample(b.image(), off_grid), std::vector{sample_warning::loop_off_grid});
  EXPECT_EQ(check_sample(b.image(), brr_decode_chain(b.image(), 0x1000, 0x2000)),
            std::vector{sample_warning::loop_outside});
}

TEST(BrrChainTest, WrapsAtTheTopOfAramAndGivesUpAfterEveryBlockStart) {
  spc_builder b;
  // The first block's data runs over the top: its fifth byte is at 0x0000.
  b.aram(0xFFFB, {0xC0}).aram(0x0000, {0x70}).aram(0x0004, {0x01});
  const brr_sample wrapped = brr_decode_chain(b.image(), 0xFFFB, 0xFFFB);
  ASSERT_EQ(wrapped.blocks.size(), 2u);
  EXPECT_EQ(wrapped.blocks[1].address, 0x0004);
  EXPECT_EQ(wrapped.pcm[8], 28672);
  const brr_sample endless = brr_decode_chain(spc_builder().image(), 0x1000, 0x1000);
  EXPECT_FALSE(endless.ends);
  EXPECT_EQ(endless.blocks.size(), 65536u);
  EXPECT_EQ(check_sample(spc_builder().image(), endless),
            (std::vector{sample_warning::no_end, sample_warning::overlaps_directory,
                         sample_warning::overlaps_echo}));
}

TEST(BrrChainTest, LaterLoopPassesCarryTheHistoryOn) {
  // The loop block is filter 1 on zeros: it decays from what came before it,
  // the first block's last 7 on the first pass, its own end after that.
  spc_builder b;
  b.aram(0x1000, {0xC0, 0, 0, 0, 0, 0, 0, 0, 0x07}).aram(0x1009, {0xC7});
  const brr_sample s = brr_decode_chain(b.image(), 0x1000, 0x1009);
  ASSERT_EQ(s.loop_sample, 16u);
  brr_history h = s.history_at_end;
  const auto second = brr_decode_loop_pass(b.image(), s, h);
  ASSERT_EQ(second.size(), 16u);
  EXPECT_EQ(s.pcm[16], 2 * 13440);
  EXPECT_EQ(second[0] / 2, s.pcm[31] / 2 + ((-(s.pcm[31] / 2)) >> 4));
}

TEST(SampleChecksTest, NamesOverlapsWithEchoOnlyWhenEchoWrites) {
  spc_builder b;
  b.brr_chain(0x4000, 2).dsp(0x6D, 0x40).dsp(0x7D, 0x00);
  const brr_sample s = brr_decode_chain(b.image(), 0x4000, 0x4000);
  EXPECT_EQ(check_sample(b.image(), s), std::vector{sample_warning::overlaps_echo});
  b.dsp(0x6C, 0x20);
  EXPECT_TRUE(check_sample(b.image(), s).empty());
}

// A second decoder, shaped like the hardware: its two-sample buffer holds
// 16-bit outputs (bit 0 clear), and the filters work on those.
struct reference_decoder {
  const spc_format& spc;
  int buffer[2] = {0, 0};  // newest first

  bool block(unsigned address, std::vector<int>& out) {
    const int header = spc.aram[address & 0xFFFF];
    const int range = header >> 4, filter = (header >> 2) & 3;
    for (int i = 0; i < 16; ++i) {
      int n = (spc.aram[(address + 1 + i / 2) & 0xFFFF] >> (i % 2 ? 0 : 4)) & 0xF;
      if (n >= 8) n -= 16;
      int s = range > 12 ? (n < 0 ? -2048 : 0) : (n * (1 << range)) >> 1;
      const int p1 = buffer[0], p2 = buffer[1] / 2;
      if (filter == 1) s += p1 / 2 + ((-p1) >> 5);
      if (filter == 2) s += p1 - p2 + (p2 >> 4) + ((p1 * -3) >> 6);
      if (filter == 3) s += p1 - p2 + ((p1 * -13) >> 7) + ((p2 * 3) >> 4);
      s = s > 32767 ? 32767 : s < -32768 ? -32768 : s;
      const int v = static_cast<std::int16_t>(static_cast<std::uint16_t>(s * 2));
      buffer[1] = buffer[0];
      buffer[0] = v;
      out.push_back(v);
    }
    return header & 1;
  }
};

TEST(BrrAcceptanceTest, EveryCorpusEntryAndLoopPassMatchesTheReference) {
  int entries = 0, second_passes = 0;
  for (const char* name : {"sato_forest_01.spc", "osoumen_gtme.spc", "osoumen_sound_of_mnemon.spc",
                           "boldowa_org_drv_misplaced_xid6.spc", "boldowa_minimal_empty_xid6.spc"}) {
    const std::string path = corpus_file(name);
    if (path.empty()) GTEST_SKIP() << "SPC corpus not found (../shared/spc-corpus)";
    const auto spc = read_spc_from_file(path.c_str());
    ASSERT_TRUE(spc) << path;
    std::int32_t count = 0;
    std::unique_ptr<sample_chart[]> chart;
    generate_sample_chart(*spc, count, chart);
    for (std::int32_t i = 0; i < count; ++i) {
      const brr_sample s = brr_decode_entry(*spc, chart[i]);
      reference_decoder ref{*spc};
      std::vector<int> expected;
      unsigned address = chart[i].sample_address;
      int blocks = 0;
      while (!ref.block(address, expected) && ++blocks < 65536) address += 9;
      ASSERT_EQ(std::vector<int>(s.pcm.begin(), s.pcm.end()), expected)
          << name << " sample " << chart[i].sample_number;
      const brr_sample walked = brr_walk_chain(*spc, s.start, s.loop);
      ASSERT_EQ(walked.blocks.size(), s.blocks.size());
      ASSERT_EQ(walked.loop_sample, s.loop_sample);
      ASSERT_EQ(walked.filters_used, s.filters_used);
      ++entries;
      if (!s.loop_sample) continue;
      expected.clear();
      address = chart[i].loop_address;
      while (!ref.block(address, expected)) address += 9;
      brr_history h = s.history_at_end;
      const auto pass = brr_decode_loop_pass(*spc, s, h);
      ASSERT_EQ(std::vector<int>(pass.begin(), pass.end()), expected)
          << name << " sample " << chart[i].sample_number << " second pass";
      ++second_passes;
    }
  }
  RecordProperty("entries", entries);
  RecordProperty("second_passes", second_passes);
  EXPECT_GT(entries, 0);
}

}  // namespace
