#include "song_trace.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "aram_access.h"
#include "spc700_cpu.h"
#include "spc_io_bus.h"
#include "trace_pacer.h"

namespace {

constexpr std::int64_t cpu_cycles_per_second = std::int64_t(dsp_sample_rate) * cpu_cycles_per_sample;
// How long the CPU runs between looks at the caller's cancel flag: 1/8 s.
constexpr std::int64_t cycles_between_cancel_checks = cpu_cycles_per_second / 8;

bool same_registers(const spc700_registers& a, const spc700_registers& b) {
  return a.pc == b.pc && a.a == b.a && a.x == b.x && a.y == b.y && a.sp == b.sp && a.psw == b.psw;
}

// Spots a program waiting for a timer: the same instruction finds the same
// counter empty again and leaves the same registers, and in between the program
// left everything it wrote as it was, acted on nothing and read nothing else
// that moves with time but ENDX found clear. Until some counter goes up or a
// voice sets its ENDX bit, every pass round that loop is the same, so the
// passes can be skipped.
class idle_loop_skipper {
 public:
  // Called after an instruction that found `timer`'s counter at 0, with the
  // registers it left, the cycles it started and ended at. Returns the
  // cycles that may be skipped (0 when this is no such loop, or not yet
  // known to be one).
  std::int64_t skippable(spc_io_bus& bus, int timer, const spc700_registers& after,
                         std::int64_t started, std::int64_t ended, std::int64_t end) {
    probe& last = probe_at(timer, after.pc);
    const probe here{timer, after, bus.state_hash(), bus.acting_writes(), bus.timed_reads(),
                    bus.empty_end_flag_reads(),
                    {bus.counter_reads(0), bus.counter_reads(1), bus.counter_reads(2)}, started};
    const bool repeats = same_registers(here.registers, last.registers) &&
                         here.state_hash == last.state_hash &&
                         here.acting_writes == last.acting_writes &&
                         here.timed_reads == last.timed_reads;
    const std::int64_t pass = started - last.started;
    // The loop wakes when a counter it reads goes up.
    std::int64_t wake = end;
    for (int t = 0; t < timer_count; ++t)
      if (here.counter_reads[t] != last.counter_reads[t])
        wake = std::min(wake, bus.timer_next_output(t, ended));
    const bool reads_end_flags = here.empty_end_flag_reads != last.empty_end_flag_reads;
    last = here;
    if (!repeats || pass <= 0) return 0;
    // And when ENDX it found clear gets a bit.
    if (reads_end_flags) wake = bus.dsp().next_end_flag(ended, wake);
    // Every later pass reads its counters `pass` cycles after the one before,
    // no later than this pass ended (`ended`); skip those that would still
    // find them empty (or that run up to the end).
    const std::int64_t passes = (wake - ended - 1) / pass;
    return passes > 0 ? passes * pass : 0;
  }

 private:
  struct probe {
    int timer = -1;
    spc700_registers registers{};
    std::uint64_t state_hash = 0, acting_writes = 0, timed_reads = 0, empty_end_flag_reads = 0;
    std::array<std::uint64_t, timer_count> counter_reads{};
    std::int64_t started = -1;
  };

  // A loop may read its counter at more than one place: one probe for each
  // of the last few places.
  probe& probe_at(int timer, u16 pc) {
    for (probe& p : probes_)
      if (p.timer == timer && p.registers.pc == pc) return p;
    probe& fresh = probes_[next_fresh_++ % probes_.size()];
    fresh = probe{};
    return fresh;
  }

  std::array<probe, 4> probes_{};
  std::size_t next_fresh_ = 0;
};

}  // namespace

std::size_t song_trace::key_on_count() const {
  return std::size_t(std::count_if(events.begin(), events.end(), [](const trace_event& e) {
    return e.kind == trace_event_kind::key_on;
  }));
}

const char* trace_end_text(trace_end end) {
  switch (end) {
    case trace_end::time: return "time";
    case trace_end::sleep: return "sleep";
    case trace_end::stop: return "stop";
    case trace_end::cancelled: return "cancelled";
  }
  return "time";
}

namespace {

// Runs the program on `cpu` (over `bus`, or a bus wrapped round it) until
// cycle `end`, a halt or the cancel flag.
template <class Bus>
void run_program(spc700_cpu<Bus>& cpu, spc_io_bus& bus, std::int64_t end, bool skip_idle_loops,
                 trace_pacer* pacer, const std::atomic<bool>* cancel, song_trace& trace) {
  idle_loop_skipper idle;
  std::int64_t& now = cpu.clock;
  // The CPU runs on its own until an instruction finds a timer's counter
  // empty (when the skipper wants to look: the bus then stops the run), or
  // a slice of time is done; the bus brings the DSP up to date before every
  // access to it.
  bus.stop_at_empty_counter = skip_idle_loops;
  std::int64_t allowed = end;  // how far the pacer lets the run go
  while (now < end) {
    bus.stop_at = std::min({end, allowed, now + cycles_between_cancel_checks});
    cpu.run(bus.stop_at);
    if (cpu.halt != spc700_halt::running) {
      // The DSP still acts on what was written before the halt.
      now = std::min(now + 2 * cpu_cycles_per_sample, end);
      bus.dsp().run_until(now);
      trace.ended = cpu.halt == spc700_halt::sleep ? trace_end::sleep : trace_end::stop;
      return;
    }
    const int timer = bus.take_empty_counter_read();
    if (timer >= 0 && skip_idle_loops)
      now += idle.skippable(bus, timer, cpu.regs, cpu.last_started, now, end);
    bus.dsp().run_until(now);
    if (pacer) allowed = pacer->reached(now, bus.dsp());
    if (cancel && cancel->load(std::memory_order_relaxed)) {
      trace.ended = trace_end::cancelled;
      return;
    }
  }
}

template <class Bus>
std::int64_t run_from_image(const spc_format& image, Bus& cpu_bus, spc_io_bus& bus,
                            std::int64_t end, bool skip_idle_loops, trace_pacer* pacer,
                            const std::atomic<bool>* cancel, song_trace& trace) {
  spc700_cpu<Bus> cpu(cpu_bus);
  cpu.regs.pc = image.reg_pc;
  cpu.regs.a = image.reg_a;
  cpu.regs.x = image.reg_x;
  cpu.regs.y = image.reg_y;
  cpu.regs.sp = image.reg_sp;
  cpu.regs.psw = image.reg_psw;
  run_program(cpu, bus, end, skip_idle_loops, pacer, cancel, trace);
  trace.instructions = cpu.instructions;
  return cpu.clock;
}

}  // namespace

song_trace trace_song(const spc_format& image, double seconds, const std::atomic<bool>* cancel) {
  return trace_song(image, seconds, trace_options{}, cancel);
}

song_trace trace_song(const spc_format& image, double seconds, const trace_options& options,
                      const std::atomic<bool>* cancel) {
  song_trace trace;
  if (!(seconds > 0)) return trace;
  // Past a day of song nothing new is learnt; the bound keeps the cycle
  // count far from overflow.
  const std::int64_t end = std::int64_t(std::min(seconds, 86400.0) * cpu_cycles_per_second);

  const auto held_bus = std::make_unique<spc_io_bus>(image, trace.events);
  spc_io_bus& bus = *held_bus;
  std::int64_t now;
  if (options.access) {
    // The record's bus is a separate instantiation, so that a trace without
    // it pays nothing for it.
    aram_recording_bus<spc_io_bus> recording(bus, *options.access);
    now = run_from_image(image, recording, bus, end, false, options.pacer, cancel, trace);
  } else {
    now = run_from_image(image, bus, bus, end, options.skip_idle_loops, options.pacer, cancel,
                         trace);
  }
  // A halted trace ends with the sample of the DSP's last poll in it. The
  // DSP still acts on what was written before the halt: a KON latches within
  // two samples, and its frame and 5-sample delay run on past that.
  const bool halted = trace.ended == trace_end::sleep || trace.ended == trace_end::stop;
  bus.dsp().finish(halted ? now + 8 * cpu_cycles_per_sample : now);
  trace.keyed_samples = bus.dsp().take_samples();
  trace.samples = std::min(now / cpu_cycles_per_sample + (halted ? 1 : 0),
                           end / cpu_cycles_per_sample);
  // The last instruction may run past the end; what the DSP did then
  // belongs to a longer trace.
  std::erase_if(trace.events, [&](const trace_event& e) { return e.sample >= trace.samples; });
  return trace;
}

namespace {

template <class Counts>
std::array<sample_play, 256> summarize_key_ons(const song_trace& trace, Counts counts) {
  std::array<sample_play, 256> plays{};
  for (const trace_event& e : trace.events) {
    if (e.kind != trace_event_kind::key_on || !counts(e)) continue;
    sample_play& play = plays[e.srcn];
    if (play.key_ons++ == 0) play.first_sample = e.sample;
    play.voices |= u8(1 << e.voice);
    auto at = std::lower_bound(play.pitches.begin(), play.pitches.end(), e.pitch,
                               [](const sample_play::pitch_count& p, u16 pitch) { return p.pitch < pitch; });
    if (at != play.pitches.end() && at->pitch == e.pitch)
      ++at->count;
    else
      play.pitches.insert(at, {e.pitch, 1});
  }
  return plays;
}

}  // namespace

std::array<sample_play, 256> summarize_trace(const song_trace& trace) {
  return summarize_key_ons(trace, [](const trace_event&) { return true; });
}

std::array<sample_play, 256> summarize_trace(const song_trace& trace, const spc_format& image,
                                             int* unlisted_key_ons) {
  const unsigned directory = image.dsp_registers[spc_dsp_dir] * 0x100u;
  int unlisted = 0;
  auto plays = summarize_key_ons(trace, [&](const trace_event& e) {
    const unsigned entry = directory + e.srcn * 4u;
    const u16 start = u16(image.aram[entry & 0xFFFF] | image.aram[(entry + 1) & 0xFFFF] << 8);
    if (start == e.start) return true;
    ++unlisted;
    return false;
  });
  if (unlisted_key_ons) *unlisted_key_ons = unlisted;
  return plays;
}
