// Any bytes as a snapshot run forward by the interpreter: a whole image when
// the input is one, else the CPU's registers from the first seven bytes and
// the rest as audio RAM from address 0 (the I/O registers and the program
// with it). Nothing may crash or run past the length asked, and the events
// (every kind --trace --events all prints) must come in time order from
// voices that exist, a voice's changes only while it is keyed on. Run again
// with the memory access record on (every pass of every wait loop run), the
// trace must be the same, and the record must hold a last-access time
// exactly where it counts accesses, none past the end.

#include <algorithm>
#include <cstring>

#include <memory>

#include "aram_access.h"
#include "song_trace.h"

namespace {

// A tenth of a second: about 100,000 cycles, enough for timers to fire often.
constexpr double traced_seconds = 0.1;

void check(bool promise) {
  if (!promise) __builtin_trap();
}

bool same_event(const trace_event& a, const trace_event& b) {
  return a.sample == b.sample && a.kind == b.kind && a.voice == b.voice && a.srcn == b.srcn &&
         a.start == b.start && a.loop == b.loop && a.pitch == b.pitch;
}

void check_times(const std::uint64_t count, std::int64_t last, std::int64_t end) {
  check((count == 0) == (last == aram_access_never));
  check(last <= end);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static spc_format image;
  if (size >= spc_image_size) {
    std::memcpy(&image, data, spc_image_size);
  } else {
    if (size < 7) return 0;
    std::memset(&image, 0, sizeof image);
    image.reg_pc = u16(data[0] | data[1] << 8);
    image.reg_a = data[2];
    image.reg_x = data[3];
    image.reg_y = data[4];
    image.reg_sp = data[5];
    image.reg_psw = data[6];
    std::memcpy(image.aram, data + 7, std::min<std::size_t>(size - 7, sizeof image.aram));
  }
  const song_trace trace = trace_song(image, traced_seconds);
  check(trace.samples <= std::int64_t(traced_seconds * dsp_sample_rate));
  bool released[8] = {};  // keyed off and not keyed on since
  for (std::size_t i = 0; i < trace.events.size(); ++i) {
    const trace_event& e = trace.events[i];
    check(e.voice < 8 && e.sample >= 0 && e.sample < trace.samples);
    if (i > 0) check(trace.events[i - 1].sample <= e.sample);
    switch (e.kind) {
      case trace_event_kind::key_on: released[e.voice] = false; break;
      case trace_event_kind::key_off: released[e.voice] = true; break;
      default: check(!released[e.voice] && e.pitch <= 0x3FFF); break;
    }
  }

  static const auto record = std::make_unique<aram_access_record>();
  record->clear();
  trace_options options;
  options.access = record.get();
  const song_trace recorded = trace_song(image, traced_seconds, options);
  check(recorded.samples == trace.samples && recorded.ended == trace.ended);
  check(recorded.events.size() == trace.events.size());
  for (std::size_t i = 0; i < trace.events.size(); ++i)
    check(same_event(recorded.events[i], trace.events[i]));
  // The last instruction may end a few cycles past the length asked.
  const std::int64_t end = (trace.samples + 2) * cpu_cycles_per_sample;
  for (unsigned a = 0; a < 0x10000; ++a) {
    check_times(record->reads[a], record->last_read[a], end);
    check_times(record->writes[a], record->last_write[a], end);
    check_times(record->executes[a], record->last_execute[a], end);
  }
  return 0;
}
