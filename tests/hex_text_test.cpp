// The one reading and writing rule for the numbers the user sees.

#include <gtest/gtest.h>

#include <climits>

#include "hex_text.h"

namespace {

TEST(HexTextTest, WritesUppercaseWithoutPrefixOrLeadingZeros) {
  EXPECT_EQ(hex_text_format(0), "0");
  EXPECT_EQ(hex_text_format(10), "A");
  EXPECT_EQ(hex_text_format(256), "100");
  EXPECT_EQ(hex_text_format(0xFFFF), "FFFF");
  EXPECT_EQ(hex_text_format(0x100A4), "100A4");
}

TEST(HexTextTest, ReadsAsStrtolDoesInBaseSixteen) {
  EXPECT_EQ(hex_text_parse("ff"), 0xFF);
  EXPECT_EQ(hex_text_parse("FF"), 0xFF);
  EXPECT_EQ(hex_text_parse("  0x1A"), 0x1A);
  EXPECT_EQ(hex_text_parse("0X1a"), 0x1A);
  EXPECT_EQ(hex_text_parse("+10"), 0x10);
  EXPECT_EQ(hex_text_parse("-10"), -0x10);
  EXPECT_EQ(hex_text_parse("1Czz"), 0x1C);
  EXPECT_EQ(hex_text_parse("zz"), 0);
  EXPECT_EQ(hex_text_parse(""), 0);
  EXPECT_EQ(hex_text_parse(nullptr), 0);
}

TEST(HexTextTest, ReadsTheDollarPrefixRomhackersWrite) {
  EXPECT_EQ(hex_text_parse("$8000"), 0x8000);
  EXPECT_EQ(hex_text_parse(" $1a"), 0x1A);
  EXPECT_EQ(hex_text_parse("-$10"), -0x10);
  EXPECT_EQ(hex_text_parse("$"), 0);
  EXPECT_EQ(hex_text_parse("$-5"), 0) << "the sign comes before the prefix";
  EXPECT_EQ(hex_text_parse("0x8000"), hex_text_parse("$8000"));
}

TEST(HexTextTest, SaturatesInsteadOfWrapping) {
  EXPECT_EQ(hex_text_parse(std::string(40, 'F').c_str()), LONG_MAX);
  EXPECT_EQ(hex_text_parse(("-" + std::string(40, 'F')).c_str()), LONG_MIN);
  EXPECT_GT(hex_text_parse("FFFFFFFFFFFF"), 0xFFFF);
}

TEST(HexTextTest, WritingThenReadingGivesTheValueBack) {
  for (unsigned long value : {0ul, 9ul, 0xAul, 0x10ul, 0xFFul, 0x100ul, 0xFFFFul, 0x90000ul})
    EXPECT_EQ(hex_text_parse(hex_text_format(value).c_str()), static_cast<long>(value));
}

}  // namespace
