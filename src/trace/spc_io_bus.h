// The SPC700's view of the sound subsystem: 64 KiB of audio RAM with the I/O
// registers at 0xF0–0xFF and the IPL ROM over 0xFFC0–0xFFFF, the timers and
// the DSP register file behind them. Time is the CPU cycle count since the
// snapshot: every access comes with the cycle of its bus cycle (counted at
// the cycle's end, so the first access after the snapshot is at 1), and the
// timers and the DSP are brought to that cycle before they answer. It holds
// its own copy of audio RAM (64 KiB): make it on the heap. Any thread (one
// owner).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "dsp_register_file.h"
#include "spc.h"
#include "spc_timers.h"

// The I/O registers.
enum spc_io_register : u16 {
  io_test = 0xF0,
  io_control = 0xF1,     // timer enables (bits 0–2), port clears (4, 5), IPL ROM (7)
  io_dsp_address = 0xF2,
  io_dsp_data = 0xF3,
  io_port0 = 0xF4,       // 0xF4–0xF7: the ports to the main CPU
  io_timer0_target = 0xFA,
  io_counter0 = 0xFD,    // 0xFD–0xFF: 4-bit counters, cleared by a read
};

inline constexpr u16 ipl_rom_address = 0xFFC0;

class spc_io_bus {
 public:
  // Starts from the image: RAM, DSP registers, and CONTROL, the timers'
  // targets and counters, the DSP address and the ports as its 0xF0–0xFF
  // bytes hold them. Key-ons and key-offs go to `events`.
  spc_io_bus(const spc_format& image, std::vector<trace_event>& events);

  // Plain RAM answers without the clock: only the I/O registers need it.
  [[gnu::always_inline]] u8 read(u16 address, std::int64_t cycle) {
    if ((address & 0xFFF0) == 0x00F0) return read_io(address, cycle);
    if (address >= ipl_rom_address && ipl_rom_enabled_) return ipl_rom(address);
    return memory_.aram[address];
  }
  [[gnu::always_inline]] void write(u16 address, u8 value, std::int64_t cycle) {
    u8& cell = memory_.aram[address];  // always reaches RAM, under the ROM too
    // A write that leaves the byte as it was needs no work on the hash, nor
    // does the byte under DSP data: nothing reads it back, and the register
    // written is hashed as such (write_dsp). A driver that reads ENDX and
    // writes back what it found leaves a different byte there after each
    // bit, which would make the next pass look changed.
    if (cell != value) {
      if (address != io_dsp_data) state_hash_ += state_change(address, cell, value);
      // What others read in RAM acts, even when a later pass writes the old
      // value back: the DSP reads the directory whenever a voice starts or
      // loops (behind the program: it must read the entry as it was), and
      // the timers count to their targets.
      if (dsp_.in_directory(address)) {
        dsp_.catch_up(cycle);
        ++acting_writes_;
      } else if (u16(address - io_timer0_target) < timer_count) {
        ++acting_writes_;
      }
      cell = value;
    }
    if ((address & 0xFFF0) == 0x00F0) write_io(address, value, cycle);
  }

  // The cycle of the last access to an I/O register (CPU cycles since the
  // snapshot).
  std::int64_t now = 0;
  // Where the CPU's run stops (spc700_cpu::run reads it after every
  // instruction): its caller sets it, and with stop_at_empty_counter on, a
  // read that finds a timer's counter at 0 brings it down to 0, for the
  // idle-loop spotter to look after the instruction.
  std::int64_t stop_at = 0;
  bool stop_at_empty_counter = false;

  dsp_register_file& dsp() { return dsp_; }

  // For spotting an idle loop, which leaves the state as it found it. A hash
  // of what the program has written (RAM and DSP registers), kept as it
  // writes; a count of the writes that act on the DSP or the timers (every
  // DSP write that changes anything, KON and ENDX among them, a change to
  // the sample directory, a new timer target, and CONTROL):
  // a loop that writes a register and writes it back a pass later leaves
  // the hash as it was, but the voices heard it; and a count of the reads
  // whose value moves with time (ENDX, a counter that had gone up).
  std::uint64_t state_hash() const { return state_hash_; }
  std::uint64_t acting_writes() const { return acting_writes_; }
  std::uint64_t timed_reads() const { return timed_reads_; }
  // A count of the reads of ENDX that found it 0: a loop making them waits
  // for a voice to end a block as well as for its timers.
  std::uint64_t empty_end_flag_reads() const { return empty_end_flag_reads_; }
  // The timer whose counter the last read found at 0 (-1 when none since
  // the last call), for spotting a program that waits for a timer.
  int take_empty_counter_read() {
    const int timer = empty_counter_read_;
    empty_counter_read_ = -1;
    return timer;
  }
  // How often the program has read each timer's counter.
  std::uint64_t counter_reads(int timer) const { return counter_reads_[timer]; }
  // The cycle at which the timer's counter next goes up, seen at cycle
  // `at` (`at` when it already has, unread; timer_never when the timer is
  // stopped).
  std::int64_t timer_next_output(int timer, std::int64_t at) { return timers_[timer].next_output(at); }

 private:
  u8 read_io(u16 address, std::int64_t cycle);
  void write_io(u16 address, u8 value, std::int64_t cycle);
  void write_dsp(u8 address, u8 value);
  static u8 ipl_rom(u16 address);
  // The state hash is the sum over the cells (RAM, then the DSP registers
  // from 0x10000) of the value times the cell's own odd key: one mix per
  // change. Two states differ in the sum unless their differences, at most
  // 255 times keys that look random, cancel out: a chance of about 2^-57.
  static std::uint64_t state_change(std::uint32_t cell, u8 before, u8 after) {
    std::uint64_t z = cell + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return ((z ^ (z >> 31)) | 1) * std::uint64_t(int(after) - int(before));
  }

  // Only its aram is live. Held in place, not behind a pointer: every
  // access of the program's reaches it, at a fixed distance from the bus.
  spc_format memory_;
  dsp_register_file dsp_;
  std::array<spc_timer, timer_count> timers_{};
  std::array<u8, 4> ports_in_{};        // what the main CPU last wrote
  u8 dsp_address_ = 0;
  bool ipl_rom_enabled_ = false;
  std::uint64_t state_hash_ = 0;
  std::uint64_t acting_writes_ = 0;
  std::uint64_t timed_reads_ = 0;
  std::uint64_t empty_end_flag_reads_ = 0;
  int empty_counter_read_ = -1;
  std::array<std::uint64_t, timer_count> counter_reads_{};
};
