#include "spc_io_bus.h"

namespace {

// The 64-byte boot program the console maps over the top of audio RAM.
constexpr std::array<u8, 64> ipl_rom_bytes = {
    0xCD, 0xEF, 0xBD, 0xE8, 0x00, 0xC6, 0x1D, 0xD0, 0xFC, 0x8F, 0xAA, 0xF4, 0x8F, 0xBB, 0xF5, 0x78,
    0xCC, 0xF4, 0xD0, 0xFB, 0x2F, 0x19, 0xEB, 0xF4, 0xD0, 0xFC, 0x7E, 0xF4, 0xD0, 0x0B, 0xE4, 0xF5,
    0xCB, 0xF4, 0xD7, 0x00, 0xFC, 0xD0, 0xF3, 0xAB, 0x01, 0x10, 0xEF, 0x7E, 0xF4, 0x10, 0xEB, 0xBA,
    0xF6, 0xDA, 0x00, 0xBA, 0xF4, 0xC4, 0xF4, 0xDD, 0x5D, 0xD0, 0xDB, 0x1F, 0x00, 0x00, 0xC0, 0xFF};

int timer_period(int timer) { return timer == 2 ? timer_fast_period : timer_slow_period; }

}  // namespace

spc_io_bus::spc_io_bus(const spc_format& image, std::vector<trace_event>& events)
    : memory_(image), dsp_(image, memory_, events) {
  const u8* io = &image.aram[0xF0];
  const u8 control = io[io_control - 0xF0];
  for (int t = 0; t < timer_count; ++t)
    timers_[t].load(timer_period(t), (control >> t) & 1, io[io_timer0_target - 0xF0 + t],
                    io[io_counter0 - 0xF0 + t], now);
  for (int p = 0; p < 4; ++p) ports_in_[p] = io[io_port0 - 0xF0 + p];
  dsp_address_ = io[io_dsp_address - 0xF0];
  ipl_rom_enabled_ = control & 0x80;
}

u8 spc_io_bus::ipl_rom(u16 address) { return ipl_rom_bytes[address - ipl_rom_address]; }

u8 spc_io_bus::read_io(u16 address, std::int64_t cycle) {
  now = cycle;
  switch (address) {
    case io_dsp_address:
      return dsp_address_;
    case io_dsp_data: {
      dsp_.run_until(now);
      const u8 value = dsp_.read(dsp_address_, now);
      // ENDX moves with time; while it reads 0, next_end_flag() says how long
      // it stays so.
      if ((dsp_address_ & 0x7F) == r_end_flags) ++(value ? timed_reads_ : empty_end_flag_reads_);
      return value;
    }
    case io_port0:
    case io_port0 + 1:
    case io_port0 + 2:
    case io_port0 + 3:
      return ports_in_[address - io_port0];
    case 0xF8:
    case 0xF9:
      return memory_.aram[address];  // plain RAM
    case io_counter0:
    case io_counter0 + 1:
    case io_counter0 + 2: {
      const int timer = address - io_counter0;
      ++counter_reads_[timer];
      const u8 value = timers_[timer].read_counter(now);
      empty_counter_read_ = value == 0 ? timer : -1;
      if (value == 0 && stop_at_empty_counter) stop_at = 0;
      if (value != 0) ++timed_reads_;
      return value;
    }
    default:
      return 0;  // TEST, CONTROL and the targets are write-only
  }
}

void spc_io_bus::write_io(u16 address, u8 value, std::int64_t cycle) {
  now = cycle;
  switch (address) {
    case io_control:
      ++acting_writes_;
      for (int t = 0; t < timer_count; ++t) timers_[t].set_enabled((value >> t) & 1, now);
      if (value & 0x10) ports_in_[0] = ports_in_[1] = 0;
      if (value & 0x20) ports_in_[2] = ports_in_[3] = 0;
      ipl_rom_enabled_ = value & 0x80;
      break;
    case io_dsp_address:
      dsp_address_ = value;
      break;
    case io_dsp_data:
      if (dsp_address_ < 0x80) write_dsp(dsp_address_, value);  // 0x80–0xFF: read-only mirror
      break;
    case io_timer0_target:
    case io_timer0_target + 1:
    case io_timer0_target + 2:
      timers_[address - io_timer0_target].set_target(value, now);
      break;
    default:
      break;  // TEST, the ports (the main CPU reads them, not this program), 0xF8/0xF9, counters
  }
}

void spc_io_bus::write_dsp(u8 address, u8 value) {
  const u8 before = dsp_.peek(address);
  dsp_.run_until(now);  // the DSP has done all it did before the write
  // A write that changes nothing (KON 0 again, ENDX cleared while it is
  // clear) does not act, however often a loop makes it. One that changes
  // anything acts, even when a later pass writes the old value back and the
  // state looks as it was: the voices heard both values in between.
  if (dsp_.write(address, value, now)) ++acting_writes_;
  state_hash_ += state_change(0x10000u + address, before, dsp_.peek(address));
}

