#include "spc_timers.h"

void spc_timer::load(int period, bool enabled, u8 target, u8 counter, std::int64_t now) {
  period_ = period;
  enabled_ = enabled;
  target_ = target ? target : 256;
  divider_ = 0;
  counter_ = counter & 0x0F;
  // The dividers' clock ticks first one cycle after the snapshot, as in
  // the cycle-accurate model players load snapshots with (blargg's
  // snes_spc, libgme's engine): the image holds no phase, and matching
  // theirs puts every timer output on the same cycle as theirs.
  next_tick_ = now + 1;
}

void spc_timer::set_enabled(bool enabled, std::int64_t now) {
  catch_up(now);
  if (enabled && !enabled_) {
    divider_ = 0;
    counter_ = 0;
  }
  enabled_ = enabled;
}

void spc_timer::set_target(u8 target, std::int64_t now) {
  catch_up(now);
  target_ = target ? target : 256;
}

u8 spc_timer::read_counter(std::int64_t now) {
  catch_up(now);
  const u8 value = counter_;
  counter_ = 0;
  return value;
}

// The divider is 8 bits wide and meets the target only on equality: one that
// is already past a lowered target runs on to 255 and wraps first.
int spc_timer::ticks_to_output() const {
  return target_ > divider_ ? target_ - divider_ : 256 - divider_ + target_;
}

std::int64_t spc_timer::next_output(std::int64_t now) {
  catch_up(now);
  if (counter_ != 0) return now;
  if (!enabled_) return timer_never;
  return next_tick_ + std::int64_t(ticks_to_output() - 1) * period_;
}

void spc_timer::catch_up(std::int64_t now) {
  if (now < next_tick_) return;
  const std::int64_t ticks = (now - next_tick_) / period_ + 1;
  next_tick_ += ticks * period_;
  if (!enabled_) return;
  const int first = ticks_to_output();
  if (ticks < first) {
    divider_ = int((divider_ + ticks) & 0xFF);
    return;
  }
  const std::int64_t after = ticks - first;
  counter_ = u8((counter_ + 1 + after / target_) & 0x0F);
  divider_ = int(after % target_);
}
