// What the snapshot's DSP registers say: the voices, and where the sample
// directory and the echo buffer lie in audio RAM.

#include <gtest/gtest.h>

#include "aram_regions.h"
#include "spc_builder.h"
#include "voices.h"

namespace {

TEST(AramRegionsTest, DirectoryAndEchoFollowTheirRegisters) {
  spc_builder builder;
  builder.dir_page(0xFF).dsp(r_echo_start, 0xF0).dsp(r_echo_delay, 2).dsp(r_flags, 0x00);
  const aram_region dir = directory_region(builder.image());
  EXPECT_EQ(dir.start, 0xFF00u);
  EXPECT_EQ(dir.size, 0x400u);
  // The directory at page FF wraps to the bottom of audio RAM.
  EXPECT_TRUE(dir.contains(0x02FF));
  EXPECT_FALSE(dir.contains(0x0300));

  const auto echo = echo_region(builder.image());
  ASSERT_TRUE(echo.has_value());
  EXPECT_EQ(echo->start, 0xF000u);
  EXPECT_EQ(echo->size, 0x1000u);
  EXPECT_TRUE(echo->overlaps(dir));
  EXPECT_TRUE(dir.overlaps(*echo));
  EXPECT_FALSE(echo->overlaps(low_ram_region));

  // EDL 0 still writes four bytes; FLG bit 5 turns the writes off.
  builder.dsp(r_echo_delay, 0);
  EXPECT_EQ(echo_region(builder.image())->size, 4u);
  builder.dsp(r_flags, flg_echo_writes_off);
  EXPECT_FALSE(echo_region(builder.image()).has_value());
}

TEST(VoicesTest, ReadsEachVoiceFromItsOwnRegisters) {
  spc_builder builder;
  builder.dsp(0x34, 0x07)                   // voice 3 SRCN
      .dsp(0x30, 0x80).dsp(0x31, 0x7F)      // volumes -128 / 127
      .dsp(0x32, 0x00).dsp(0x33, 0xD0)      // pitch 0xD000 keeps 14 bits: 0x1000
      .dsp(0x74, 0x07)                      // voice 7 plays the same source
      .dsp(r_key_on, 0x08).dsp(r_echo_on, 0x80).dsp(r_noise_on, 0x01)
      .dsp(r_pitch_mod, 0x09);              // voice 0's bit means nothing
  const auto voices = read_voices(builder.image());
  const voice_state& v = voices[3];
  EXPECT_EQ(v.source, 7);
  EXPECT_EQ(v.vol_left, -128);
  EXPECT_EQ(v.vol_right, 127);
  EXPECT_EQ(v.pitch, 0x1000);
  EXPECT_DOUBLE_EQ(v.rate_hz, 32000.0);
  EXPECT_TRUE(v.keyed_on);
  EXPECT_TRUE(v.pitch_mod);
  EXPECT_FALSE(voices[0].pitch_mod);
  EXPECT_TRUE(voices[0].noise);
  EXPECT_TRUE(voices[7].echo);
  EXPECT_EQ(voices_using_source(builder.image(), 7), (std::vector<int>{3, 7}));
  EXPECT_TRUE(voices_using_source(builder.image(), 0x42).empty());
}

}  // namespace
