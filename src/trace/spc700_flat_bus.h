// 64 KiB of plain RAM for the SPC700: no I/O registers at 0x00F0-0x00FF and
// no boot ROM at 0xFFC0-0xFFFF. What single-instruction test vectors assume,
// and a bus for timing the interpreter alone.
#pragma once

#include <array>
#include <cstdint>

#include "spc.h"

struct spc700_flat_bus {
  std::array<u8, 0x10000> ram{};

  // The byte at `address`; the cycle does not matter to RAM. The thread
  // that owns the bus.
  u8 read(u16 address, std::int64_t /*cycle*/) const { return ram[address]; }
  // Stores `value` at `address`. The thread that owns the bus.
  void write(u16 address, u8 value, std::int64_t /*cycle*/) { ram[address] = value; }
};
