// What the audio RAM map draws for each byte, and where its cells lie.
#include "aram_layout.h"

#include <gtest/gtest.h>

#include "dsp_registers.h"
#include "spc_builder.h"

namespace {

std::unique_ptr<aram_layout> layout_of(const spc_builder& builder) {
  auto layout = make_aram_layout(builder.image());
  EXPECT_TRUE(layout);
  return layout;
}

TEST(aram_layout, ClaimsFollowTheRegistersThatPlaceThem) {
  spc_builder builder;
  builder.dir_page(0x30).dsp(r_echo_start, 0x80).dsp(r_echo_delay, 2).dsp(r_flags, 0x00);
  builder.aram(0x9000, {0x5A});
  auto layout = layout_of(builder);
  EXPECT_EQ(layout->fill_at(0x2FFF), aram_fill::value);
  EXPECT_EQ(layout->fill_at(0x3000), aram_fill::directory);
  EXPECT_EQ(layout->fill_at(0x33FF), aram_fill::directory);
  EXPECT_EQ(layout->fill_at(0x3400), aram_fill::value);
  EXPECT_EQ(layout->fill_at(0x8FFF), aram_fill::echo) << "ESA 80, EDL 2: 4 KiB";
  EXPECT_EQ(layout->fill_at(0x9000), aram_fill::value);
  EXPECT_EQ(layout->value[0x9000], 0x5A);
  EXPECT_EQ(layout->fill_at(0x01FF), aram_fill::low_ram);
  EXPECT_EQ(layout->fill_at(0xFFC0), aram_fill::value) << "IPL ROM mapped out";

  builder.dsp(r_flags, flg_echo_writes_off).aram(0x00F1, {0x80});
  layout = layout_of(builder);
  EXPECT_EQ(layout->fill_at(0x8000), aram_fill::value) << "echo writes off: no buffer";
  EXPECT_EQ(layout->fill_at(0xFFBF), aram_fill::value);
  EXPECT_EQ(layout->fill_at(0xFFC0), aram_fill::ipl_rom);
  EXPECT_EQ(layout->fill_at(0xFFFF), aram_fill::ipl_rom);
}

TEST(aram_layout, SamplesCoverTheirBlocksWrappingAndOverlapping) {
  spc_builder builder;
  builder.dir_entry(0, 0x4000, 0x4000).brr_chain(0x4000, 2);  // 4000 ... 4011
  builder.dir_entry(3, 0x4009, 0x4009);                        // its second block
  builder.dir_entry(4, 0xFFFB, 0xFFFB).brr_chain(0xFFFB, 2);   // FFFB ... 000C
  auto layout = layout_of(builder);

  EXPECT_EQ(layout->fill_at(0x3FFF), aram_fill::value);
  EXPECT_EQ(layout->fill_at(0x4000), aram_fill::sample);
  EXPECT_EQ(layout->samples_at(0x4000), std::vector<int>{1});
  EXPECT_EQ(layout->fill_at(0x4009), aram_fill::overlap);
  EXPECT_EQ(layout->samples_at(0x4011), (std::vector<int>{1, 4}));
  EXPECT_EQ(layout->fill_at(0x4012), aram_fill::value);
  EXPECT_EQ(layout->samples_at(0xFFFF), std::vector<int>{5});
  EXPECT_EQ(layout->samples_at(0x000C), std::vector<int>{5}) << "wraps past FFFF";
  EXPECT_EQ(layout->fill_at(0x000D), aram_fill::low_ram);
  EXPECT_EQ(layout->fill_at(0x0200), aram_fill::directory)
      << "the directory sits on page 02 in the builder";
}

TEST(aram_layout, EndlessChainIsListedButNotDrawn) {
  spc_builder builder;
  builder.dir_entry(0, 0x4000, 0x4000);  // every byte zero: no end flag
  auto layout = layout_of(builder);
  EXPECT_TRUE(layout->samples.empty());
  EXPECT_EQ(layout->fill_at(0x4000), aram_fill::value);
}

TEST(aram_layout, GeometryFindsTheCellItDraws) {
  const auto geometry = aram_map_geometry::fit(800, 600);
  EXPECT_EQ(geometry.cell, 2) << "the largest whole cell: 600 / 256";
  for (const u16 address : {0x0000, 0x00FF, 0x1234, 0xFF00, 0xFFFF}) {
    SCOPED_TRACE(address);
    const int x = geometry.cell_x(address), y = geometry.cell_y(address);
    EXPECT_EQ(geometry.address_at(x, y), address);
    EXPECT_EQ(geometry.address_at(x + geometry.cell - 0.5, y + geometry.cell - 0.5), address);
  }
  EXPECT_FALSE(geometry.address_at(512, 0)) << "right of the cells";
  EXPECT_FALSE(geometry.address_at(0, -1));
  EXPECT_EQ(aram_map_geometry::fit(100, 100).cell, 1);
}

}  // namespace
