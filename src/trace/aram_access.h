// What the sound program does with each byte of audio RAM while it is
// traced: how often it executes, reads and writes it, and when it last did.
// The record is the caller's; the trace fills it in as it runs. Any thread
// (one owner: the thread running the trace while it runs).
#pragma once

#include <array>
#include <cstdint>

#include "spc.h"

// Counted per address, I/O registers 0x00F0–0x00FF included:
//  - executes: every opcode and operand byte the CPU fetches;
//  - reads: every read whose value an instruction uses (pointers, operands,
//    stack pulls, vectors); the hardware's dummy reads (the byte after a
//    one-byte opcode, a store's read of its destination, TSET1/TCLR1's
//    second read) are not counted;
//  - writes: every write (stack pushes included).
// The last-access times are CPU cycles since the snapshot (32 to a DSP
// sample); aram_access_never when the address was not touched that way.
inline constexpr std::int64_t aram_access_never = -1;

struct aram_access_record {
  std::array<std::uint64_t, 0x10000> reads{}, writes{}, executes{};
  std::array<std::int64_t, 0x10000> last_read, last_write, last_execute;
  // Per page of 256 bytes, the last cycle of any access to it: a reader of
  // the last-access times looks only at pages touched since its last look.
  std::array<std::int64_t, 0x100> last_on_page;

  aram_access_record() { clear(); }
  // Back to nothing touched.
  void clear() {
    reads.fill(0);
    writes.fill(0);
    executes.fill(0);
    last_read.fill(aram_access_never);
    last_write.fill(aram_access_never);
    last_execute.fill(aram_access_never);
    last_on_page.fill(aram_access_never);
  }
  bool touched(u16 address) const {
    return reads[address] || writes[address] || executes[address];
  }
};

// A bus that records every access in `record` and passes it on to `inner`
// (any bus the interpreter takes). The interpreter sees fetch() and so
// counts opcode and operand bytes as executes. The thread that owns both.
template <class Inner>
class aram_recording_bus {
 public:
  aram_recording_bus(Inner& inner, aram_access_record& record) : inner_(inner), record_(record) {}

  u8 fetch(u16 address, std::int64_t cycle) {
    ++record_.executes[address];
    record_.last_execute[address] = cycle;
    record_.last_on_page[address >> 8] = cycle;
    return inner_.read(address, cycle);
  }
  u8 read(u16 address, std::int64_t cycle) {
    ++record_.reads[address];
    record_.last_read[address] = cycle;
    record_.last_on_page[address >> 8] = cycle;
    return inner_.read(address, cycle);
  }
  void write(u16 address, u8 value, std::int64_t cycle) {
    ++record_.writes[address];
    record_.last_write[address] = cycle;
    record_.last_on_page[address >> 8] = cycle;
    inner_.write(address, value, cycle);
  }

 private:
  Inner& inner_;
  aram_access_record& record_;
};
