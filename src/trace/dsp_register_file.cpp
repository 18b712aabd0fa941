#include "dsp_register_file.h"

#include "brr.h"
#include "song_trace.h"

namespace {

// The DSP acts on KON and KOFF every second output sample.
constexpr std::int64_t poll_cycles = 2 * cpu_cycles_per_sample;
constexpr u8 flg_soft_reset = 0x80;
constexpr std::int64_t never = INT64_MAX;
// Positions count BRR samples in the pitch register's units.
constexpr std::int64_t pitch_unity = 0x1000;

u16 read_word(const spc_format& memory, unsigned address) {
  return u16(memory.aram[address & 0xFFFF] | memory.aram[(address + 1) & 0xFFFF] << 8);
}

// Where a chain's end block ends, in position units; never without an end flag.
std::int64_t chain_span(const spc_format& memory, u16 start, u16 loop) {
  const brr_sample chain = brr_walk_chain(memory, start, loop);
  if (!chain.ends) return never;
  return std::int64_t(chain.blocks.size()) * brr_block_samples * pitch_unity;
}

}  // namespace

dsp_register_file::dsp_register_file(const spc_format& image, const spc_format& memory,
                                     std::vector<trace_event>& events)
    : memory_(memory), events_(events), next_poll_(cpu_cycles_per_sample) {
  for (int i = 0; i < 128; ++i) regs_[i] = image.dsp_registers[i];
  // A player loading the snapshot takes its KON as a key-on still to come.
  new_kon_ = regs_[r_key_on];
  // Voices with an envelope at the snapshot are sounding: a KOFF ends them.
  for (int v = 0; v < dsp_voice_count; ++v)
    if (regs_[v * 0x10 + v_envx] != 0) sounding_ |= u8(1 << v);
}

u8 dsp_register_file::read(u8 address, std::int64_t now) {
  address &= 0x7F;
  if (address == r_end_flags) advance_all(now / cpu_cycles_per_sample);
  return regs_[address];
}

void dsp_register_file::write(u8 address, u8 value, std::int64_t now) {
  const std::int64_t sample = now / cpu_cycles_per_sample;
  const int voice = address >> 4;
  switch (address & 0x0F) {
    case v_pitch_low:
    case v_pitch_high:
      if (address < 0x80) advance_voice(voice, sample);  // the old pitch holds until now
      break;
  }
  switch (address) {
    case r_key_on:
      new_kon_ = value;
      break;
    case r_end_flags:
      advance_all(sample);  // ends passed before the write are cleared by it
      value = 0;            // any write clears every bit
      break;
  }
  regs_[address] = value;
}

bool dsp_register_file::anything_pending() const {
  const u8 keying_off = (regs_[r_flags] & flg_soft_reset) ? 0xFF : regs_[r_key_off];
  return new_kon_ != 0 || kon_ != 0 || (sounding_ & keying_off) != 0;
}

void dsp_register_file::run_polls(std::int64_t now) {
  while (next_poll_ <= now) {
    if (!anything_pending()) {
      // Nothing can happen until the program writes again: skip to the
      // first poll after `now`.
      next_poll_ += ((now - next_poll_) / poll_cycles + 1) * poll_cycles;
      return;
    }
    poll(next_poll_ / cpu_cycles_per_sample);
    next_poll_ += poll_cycles;
  }
}

void dsp_register_file::poll(std::int64_t sample) {
  new_kon_ &= u8(~kon_);  // a KON write acts once
  kon_ = new_kon_;
  if (regs_[r_flags] & flg_soft_reset) {
    // Soft reset silences every voice and lets none start.
    for (int v = 0; v < dsp_voice_count; ++v)
      if (sounding_ & (1 << v)) key_off(v, sample);
    return;
  }
  // A voice keyed on at this poll starts even with its KOFF bit set; the
  // next poll then releases it.
  const u8 keying_off = regs_[r_key_off] & sounding_ & u8(~kon_);
  for (int v = 0; v < dsp_voice_count; ++v)
    if (keying_off & (1 << v)) key_off(v, sample);
  for (int v = 0; v < dsp_voice_count; ++v)
    if (kon_ & (1 << v)) key_on(v, sample);
}

void dsp_register_file::key_on(int voice, std::int64_t sample) {
  const int base = voice * 0x10;
  const u8 srcn = regs_[base + v_source];
  const unsigned entry = regs_[r_directory] * 0x100u + srcn * 4u;
  trace_event e;
  e.sample = sample;
  e.kind = trace_event_kind::key_on;
  e.voice = u8(voice);
  e.srcn = srcn;
  e.start = read_word(memory_, entry);
  e.loop = read_word(memory_, entry + 2);
  e.pitch = pitch(voice);
  e.vol_left = std::int8_t(regs_[base + v_vol_left]);
  e.vol_right = std::int8_t(regs_[base + v_vol_right]);
  e.adsr1 = regs_[base + v_adsr1];
  e.adsr2 = regs_[base + v_adsr2];
  e.gain = regs_[base + v_gain];
  e.echo = (regs_[r_echo_on] >> voice) & 1;
  events_.push_back(e);

  voices_[voice] = voice_position{};
  voices_[voice].playing = true;
  voices_[voice].start = e.start;
  voices_[voice].loop = e.loop;
  voices_[voice].since = sample;
  regs_[r_end_flags] &= u8(~(1 << voice));  // a key-on clears the voice's ENDX bit
  sounding_ |= u8(1 << voice);
}

void dsp_register_file::key_off(int voice, std::int64_t sample) {
  trace_event e;
  e.sample = sample;
  e.kind = trace_event_kind::key_off;
  e.voice = u8(voice);
  events_.push_back(e);
  sounding_ &= u8(~(1 << voice));
}

u16 dsp_register_file::pitch(int voice) const {
  const int base = voice * 0x10;
  return u16((regs_[base + v_pitch_low] | regs_[base + v_pitch_high] << 8) & 0x3FFF);
}

void dsp_register_file::advance_voice(int voice, std::int64_t sample) {
  voice_position& p = voices_[voice];
  if (!p.playing || sample <= p.since) return;
  if (!p.measured) {
    // Measured when first needed, from the memory as it is then.
    p.end = chain_span(memory_, p.start, p.loop);
    p.loop_span = chain_span(memory_, p.loop, p.loop);
    p.measured = true;
  }
  // Which pass through the end block a position has reached: -1 before the
  // first, then one more for every pass of the loop (the decoder goes on from
  // the loop address after the end block, looping or not).
  const auto passes = [&p](std::int64_t position) -> std::int64_t {
    if (p.end == never || position < p.end) return -1;
    return p.loop_span == never ? 0 : (position - p.end) / p.loop_span;
  };
  const std::int64_t before = passes(p.position);
  p.position += std::int64_t(pitch(voice)) * (sample - p.since);
  p.since = sample;
  if (passes(p.position) > before) regs_[r_end_flags] |= u8(1 << voice);
}

void dsp_register_file::advance_all(std::int64_t sample) {
  for (int v = 0; v < dsp_voice_count; ++v) advance_voice(v, sample);
}
