// The SPC700's three timers, counted lazily: nothing happens per cycle, each
// timer catches up when the program reads or writes it. Any thread (one
// owner).
#pragma once

#include <cstdint>

#include "spc.h"

// Timers 0 and 1 tick at 8 kHz, timer 2 at 64 kHz, in CPU cycles.
inline constexpr int timer_count = 3;
inline constexpr int timer_slow_period = 128;
inline constexpr int timer_fast_period = 16;
inline constexpr std::int64_t timer_never = INT64_MAX;

class spc_timer {
 public:
  // `period` in CPU cycles; `target` as the register holds it (0 means 256).
  void load(int period, bool enabled, u8 target, u8 counter, std::int64_t now);

  // CONTROL's enable bit: turning it on restarts the divider and the counter.
  void set_enabled(bool enabled, std::int64_t now);
  void set_target(u8 target, std::int64_t now);
  // The 4-bit counter; reading clears it.
  u8 read_counter(std::int64_t now);
  // The cycle at which the counter next goes up: `now` when it already has
  // since the program last read it, timer_never when the timer is stopped.
  std::int64_t next_output(std::int64_t now);

 private:
  void catch_up(std::int64_t now);
  int ticks_to_output() const;

  int period_ = timer_slow_period;
  bool enabled_ = false;
  int target_ = 256;             // 1 ... 256
  int divider_ = 0;              // 8 bits: ticks since the last output
  u8 counter_ = 0;               // 4 bits
  std::int64_t next_tick_ = 0;   // cycle of the clock's next tick
};
