// Areas of audio RAM that the hardware or the sound driver claims, as a
// snapshot's registers place them. Pure functions of the image; any thread.
#pragma once

#include <cstdint>
#include <optional>

#include "spc.h"

// `size` bytes from ARAM address `start`; the area wraps past 0xFFFF to 0.
struct aram_region {
  std::uint32_t start;
  std::uint32_t size;

  // Whether ARAM address `address` (0 ... 0xFFFF) lies in the area.
  bool contains(std::uint32_t address) const { return ((address - start) & 0xFFFF) < size; }
  // Whether the area shares a byte with `other`.
  bool overlaps(const aram_region& other) const {
    return size > 0 && other.size > 0 &&
           (contains(other.start) || other.contains(start));
  }
};

// The sample directory: 1 KiB at DIR * 0x100.
aram_region directory_region(const spc_format& spc);

// One of the directory's 256 entries: where the sample starts and where it
// loops to.
struct directory_entry {
  u16 start;
  u16 loop;
};

// Entry `index` (0 ... 255) of the directory; its bytes wrap past 0xFFFF. Any thread.
directory_entry read_directory_entry(const spc_format& spc, int index);

// The echo buffer the DSP writes to: ESA * 0x100, EDL * 0x800 bytes (4 when
// EDL is 0). None when FLG turns echo writes off.
std::optional<aram_region> echo_region(const spc_format& spc);

// Zero page, I/O registers and stack: 0x0000 ... 0x01FF.
inline constexpr aram_region low_ram_region{0x0000, 0x0200};
