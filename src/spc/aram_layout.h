// What claims each byte of audio RAM, as the map shows it: the sample
// directory, each listed entry's blocks, the echo buffer, the zero page / I/O
// / stack, the IPL ROM area and the program counter; and the geometry that
// both draws the map and finds the byte under the pointer. Pure; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "aram_regions.h"
#include "spc.h"

inline constexpr std::uint32_t aram_size = 0x10000;

// Areas the hardware or the driver claims, one bit each.
enum aram_area_bit : u8 {
  aram_area_directory = 1 << 0,
  aram_area_echo = 1 << 1,       // only while echo writes are on
  aram_area_low_ram = 1 << 2,    // zero page, I/O registers, stack
  aram_area_ipl_rom = 1 << 3,    // only while CONTROL ($F1) bit 7 maps the ROM in
};

// The IPL ROM's window at the top of audio RAM.
inline constexpr aram_region ipl_rom_region{0xFFC0, 0x40};

// One listed directory entry whose chain reaches an end flag.
struct aram_sample_span {
  int sample_number;   // as in the chart: directory index + 1
  aram_region blocks;  // its start address and its sample length
};

// How the map fills one byte's cell: the strongest claim, an overlap where
// a sample shares the byte with another sample, the directory or the echo
// buffer, and the byte's value where nothing claims it.
enum class aram_fill : u8 { value, sample, overlap, directory, echo, low_ram, ipl_rom };

struct aram_layout {
  std::array<u8, aram_size> value{};         // the byte itself
  std::array<u8, aram_size> areas{};         // aram_area_bit set
  std::array<u8, aram_size> sample_count{};  // drawn entries covering it (saturates at 255)
  std::array<std::int16_t, aram_size> first_sample{};  // index into `samples`, -1 for none
  std::vector<aram_sample_span> samples;     // in directory order
  u16 program_counter = 0;

  // How the map fills `address` (wrapped to 16 bits). Any thread.
  aram_fill fill_at(std::uint32_t address) const;
  // Sample numbers of the drawn entries covering `address`, ascending. Any thread.
  std::vector<int> samples_at(std::uint32_t address) const;
};

// The layout of `spc`'s audio RAM, from its chart's rows: entries whose
// chain never reaches an end flag (sample length brr_endless_chain_bytes) are left out,
// as they would cover every byte. Null (after a message on standard error)
// when memory runs out. Any thread.
std::unique_ptr<aram_layout> make_aram_layout(const spc_format& spc);

// Square cells of the largest whole number of pixels (at least 1) that fits
// 256 of them both ways, anchored at the top left: address a at column
// a & 0xFF, row a >> 8. Every member: any thread.
struct aram_map_geometry {
  int cell = 1;

  static aram_map_geometry fit(int width, int height);
  int side() const { return 256 * cell; }
  int cell_x(std::uint32_t address) const { return static_cast<int>(address & 0xFF) * cell; }
  int cell_y(std::uint32_t address) const { return static_cast<int>(address >> 8 & 0xFF) * cell; }
  // The byte under (x, y); none outside the 256 x 256 cells.
  std::optional<u16> address_at(double x, double y) const;
};
