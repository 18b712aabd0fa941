// The sample directory chart: which entries count, numbering, chain
// lengths, and addresses that wrap at the top of ARAM.

#include <gtest/gtest.h>

#include <vector>

#include "spc.h"
#include "spc_builder.h"

namespace {

std::vector<sample_chart> chart_of(const spc_format& spc, std::int32_t* count_out = nullptr) {
  std::int32_t count = 0;
  std::unique_ptr<sample_chart[]> chart;
  generate_sample_chart(spc, count, chart);
  if (count_out) *count_out = count;
  if (!chart) return {};
  return {chart.get(), chart.get() + count};
}

TEST(SampleChartTest, EmptyDirectoryGivesNoRows) {
  std::int32_t count = -1;
  EXPECT_TRUE(chart_of(spc_builder().image(), &count).empty());
  EXPECT_EQ(count, 0);
}

TEST(SampleChartTest, NumbersFollowTheDirectoryIndex) {
  spc_builder builder;
  builder.dir_entry(0, 0x1000, 0x1000).dir_entry(5, 0x2000, 0x2009);
  builder.brr_chain(0x1000, 1).brr_chain(0x2000, 3);
  const auto rows = chart_of(builder.image());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].sample_number, 1);
  EXPECT_EQ(rows[0].sample_address, 0x1000);
  EXPECT_EQ(rows[0].sample_length, 9);
  EXPECT_EQ(rows[0].loop_length, 9);
  EXPECT_EQ(rows[1].sample_number, 6);
  EXPECT_EQ(rows[1].loop_address, 0x2009);
  EXPECT_EQ(rows[1].sample_length, 27);
  EXPECT_EQ(rows[1].loop_length, 18);  // from the second block to the end block
}

TEST(SampleChartTest, OnlyZeroAndFFFFStartsAreSkipped) {
  spc_builder builder;
  builder.dir_entry(0, 0xFFFF, 0x1000).dir_entry(1, 0x0001, 0xFFFF).dir_entry(2, 0x0000, 0x1234);
  builder.dir_entry(255, 0x8000, 0x0000);
  const auto rows = chart_of(builder.image());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].sample_number, 2);
  EXPECT_EQ(rows[0].sample_address, 0x0001);
  EXPECT_EQ(rows[0].loop_address, 0xFFFF);
  EXPECT_EQ(rows[1].sample_number, 256);
}

TEST(SampleChartTest, FullDirectoryListsAll256) {
  spc_builder builder;
  builder.dir_page(0x10).brr_chain(0x3000, 2);
  for (int k = 0; k < 256; ++k) builder.dir_entry(k, 0x3000, 0x3009);
  const auto rows = chart_of(builder.image());
  ASSERT_EQ(rows.size(), 256u);
  EXPECT_EQ(rows.back().sample_number, 256);
  EXPECT_EQ(rows.back().sample_length, 18);
  EXPECT_EQ(rows.back().loop_length, 9);
}

TEST(SampleLengthTest, OnlyBitZeroEndsTheChain) {
  spc_builder builder;
  builder.aram(0x4000, {0x02}).aram(0x4009, {0xFE}).aram(0x4012, {0x03});
  EXPECT_EQ(calculate_sample_length(builder.image(), 0x4000), 27);
  builder.aram(0x5000, {0x01});
  EXPECT_EQ(calculate_sample_length(builder.image(), 0x5000), 9);
}

TEST(SampleLengthTest, ChainWrapsAtTheTopOfAram) {
  spc_builder builder;
  // Blocks at 0xFFF7 and 0x0000 (0xFFF7 + 9 wraps): the end flag is at 0.
  builder.aram(0x0000, {0x01});
  EXPECT_EQ(calculate_sample_length(builder.image(), 0xFFF7), 18);
}

TEST(SampleLengthTest, ChainWithoutAnyEndFlagStillEnds) {
  spc_builder builder;  // every ARAM byte even: no block can end
  EXPECT_EQ(calculate_sample_length(builder.image(), 0x1234), 65536 * 9);
}

TEST(SampleChartTest, DirectoryOnTheLastPageWrapsToAddressZero) {
  spc_builder builder;
  builder.dir_page(0xFF);
  builder.dir_entry(63, 0x1111, 0x1111);  // at 0xFFFC
  builder.dir_entry(64, 0x2222, 0x2222);  // wraps to 0x0000
  builder.brr_chain(0x1111, 1).brr_chain(0x2222, 2);
  const auto rows = chart_of(builder.image());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].sample_number, 64);
  EXPECT_EQ(rows[1].sample_number, 65);
  EXPECT_EQ(rows[1].sample_address, 0x2222);
  EXPECT_EQ(rows[1].sample_length, 18);
}

TEST(SampleChartCorpusTest, RealFilesGiveTheirDirectorySizes) {
  struct expectation {
    const char* name;
    std::size_t rows;
  };
  for (const auto& [name, rows] : {expectation{"sato_forest_01.spc", 199},
                                   expectation{"osoumen_gtme.spc", 192},
                                   expectation{"boldowa_minimal_empty_xid6.spc", 249}}) {
    const std::string path = corpus_file(name);
    if (path.empty()) GTEST_SKIP() << "SPC corpus folder not found; skipping real files";
    auto spc = read_spc_from_file(path.c_str());
    ASSERT_TRUE(spc) << name;
    const auto chart = chart_of(*spc);
    EXPECT_EQ(chart.size(), rows) << name;
    for (const auto& row : chart) {
      EXPECT_EQ(row.sample_length % 9, 0);
      EXPECT_GE(row.sample_length, 9);
    }
  }
}

}  // namespace
