#include "dsp_register_file.h"

#include <algorithm>
#include <array>
#include <initializer_list>

namespace {

constexpr u8 flg_soft_reset = 0x80;
constexpr int brr_block_bytes = 9;
// The fractional position at which the next four BRR samples are due.
constexpr int decode_due = 0x4000;
constexpr int position_limit = 0x7FFF;

// Moves the voice over as many of the next `most` samples as keep it in its
// block: those that only add the pitch to its position, and those that
// decode one of the block's byte pairs before its last. Returns how many;
// 0 when the next sample leaves the block (or decodes at pitch 0).
//
// A sample decodes when the position has reached 0x4000 and takes 0x4000
// off it; the pitch, below 0x4000, never gets it two decodes ahead. So
// over n samples from position p, (p + (n - 1) * pitch) / 0x4000 of them
// decode, and the position ends at p + n * pitch less 0x4000 for each.
// How many samples from now the voice stays in its block, at most `most`.
std::int64_t samples_in_block(const dsp_voice& d, int pitch, std::int64_t most) {
  if (pitch == 0) return d.position < decode_due ? most : 0;
  const int decodes_left = (brr_block_bytes - 2 - d.byte_in_block) / 2;  // before the one that leaves it
  return std::min(most, (std::int64_t(decodes_left + 1) * decode_due - d.position + pitch - 1) / pitch);
}

std::int64_t run_within_block(dsp_voice& d, int pitch, std::int64_t most) {
  if (pitch == 0) return d.position < decode_due ? most : 0;
  const std::int64_t n = samples_in_block(d, pitch, most);
  if (n <= 0) return 0;
  const int decodes = int((d.position + (n - 1) * pitch) / decode_due);
  d.byte_in_block += 2 * decodes;
  d.position = int(d.position + n * pitch - std::int64_t(decodes) * decode_due);
  return n;
}

}  // namespace

dsp_register_file::dsp_register_file(const spc_format& image, const spc_format& memory,
                                     std::vector<trace_event>& events)
    : memory_(memory), events_(events) {
  for (int i = 0; i < 128; ++i) regs_[i] = image.dsp_registers[i];
  // A player loading the snapshot takes its KON as a key-on still to come.
  new_kon_ = regs_[r_key_on];
  directory_ = regs_[r_directory];
  for (int v = 0; v < dsp_voice_count; ++v) {
    voice_report& r = reports_[v];
    // Voices with an envelope at the snapshot are sounding: a KOFF ends them.
    r.open = voice_reg(v, v_envx) != 0;
    r.pitch = u16((voice_reg(v, v_pitch_low) | voice_reg(v, v_pitch_high) << 8) & 0x3FFF);
    r.vol_left = std::int8_t(voice_reg(v, v_vol_left));
    r.vol_right = std::int8_t(voice_reg(v, v_vol_right));
    r.adsr1 = voice_reg(v, v_adsr1);
    r.adsr2 = voice_reg(v, v_adsr2);
    r.gain = voice_reg(v, v_gain);
  }
}

bool dsp_register_file::write(u8 address, u8 value, std::int64_t now) {
  address &= 0x7F;
  // Drivers write most registers again and again with what they hold. Such
  // a write changes nothing the DSP sees, so it needs no catching up, and
  // the frames after it are as quiet as before. Not so for the registers
  // the DSP writes itself (ENVX, OUTX, ENDX: the value written may differ
  // from the one the DSP is about to leave) nor KON, which acts anew.
  const bool written_by_dsp = (address & 0x0F) == v_envx || (address & 0x0F) == v_outx ||
                              address == r_end_flags;
  if (value == regs_[address] && !written_by_dsp && address != r_key_on) return false;
  // Clearing ENDX while no voice has set a bit leaves the stretch quiet.
  if (address == r_end_flags && quiet_until(now) && quiet_end_flags(now, true) == 0) return false;
  sync(now);
  if (changes_nothing(address, value)) return false;
  // The frames after a write run step by step until each voice has read
  // the registers anew: only the voice's own, after a write to its pitch,
  // volume, SRCN, ADSR or GAIN (the others do not read them). No step reads
  // ENDX into what a voice uses (each only adds its bit), so clearing it,
  // which drivers do on every pass of their loop, leaves the frames after
  // the one under way quiet.
  if (address != r_end_flags) last_write_ = now;
  if ((address & 0x0F) <= v_gain)
    voice_written_[address >> 4] = now;
  else if (address != r_end_flags)
    last_shared_write_ = now;
  regs_[address] = value;
  switch (address & 0x0F) {
    case v_envx:
      envelope_buffer_ = value;  // a voice about to write ENVX writes this instead
      break;
    case 0x0C:
      if (address == r_key_on) new_kon_ = value;
      if (address == r_end_flags) {
        // Any write clears every bit, and the bits a voice is about to
        // write back with it.
        regs_[address] = 0;
        end_flags_buffer_ = 0;
      }
      break;
  }
  held_voices_ = 0;
  return true;
}

// Drivers clear ENDX and write KON 0 far more often than either holds
// anything: such a write leaves the DSP as it was, and quiet.
bool dsp_register_file::changes_nothing(u8 address, u8 value) const {
  if (address == r_end_flags) return regs_[address] == 0 && end_flags_buffer_ == 0;
  if (address == r_key_on) return regs_[address] == value && new_kon_ == value;
  return false;
}

void dsp_register_file::run_frames(std::int64_t now) {
  while (frame_start_ + frame_clocks <= now) {
    if (done_ == frame_start_ && quiet()) {
      const std::int64_t frames = (now - frame_start_) / frame_clocks;
      run_quiet_frames(frames);
      frame_start_ += frames * frame_clocks;
      done_ = frame_start_;
      continue;
    }
    if (done_ == frame_start_)
      run_whole_frame();  // the same steps as run_window(0, 32), written out
    else
      run_window(int(done_ - frame_start_), frame_clocks);
    frame_start_ += frame_clocks;
    done_ = frame_start_;
  }
}

void dsp_register_file::sync(std::int64_t now) {
  run_frames(now);
  if (now > done_) {
    run_window(int(done_ - frame_start_), int(now - frame_start_));
    done_ = now;
  }
}

// The frame's steps voice by voice: the same as clock by clock, since no
// access falls between them.
void dsp_register_file::run_whole_frame() {
  held_voices_ = 0;
  const std::int64_t sample = frame_start_ / frame_clocks;  // the frame's first clocks
  latch_directory();
  toggle_every_other();
  latch_key_on(sample);
  for (int v = 0; v < dsp_voice_count; ++v) run_voice_steps(v, sample);
}

void dsp_register_file::run_voice_steps(int v, std::int64_t sample) {
  const std::int64_t next = sample + 1;
  if (v == 0) {
    run_voice(0, sample);
    advance_position(0);
    update_end_flags(0, next);
    write_end_flags(0);
    write_envelope(0);
    read_source(0);
    read_entry_envelope_pitch(0);
    read_pitch_high(0);
    read_header(0);
    return;
  }
  if (v > 1) read_source(v);
  read_entry_envelope_pitch(v);
  step_three(v, next);
  advance_position(v);
  update_end_flags(v, next);
  write_end_flags(v);
  write_envelope(v);
  if (v == 1) read_source(1);
}

// Voice v's steps in the quiet stretch's frame `i`, as run_whole_frame
// takes them, with the frame's rate counter, toggle and latch as that
// frame has them.
void dsp_register_file::run_voice_frame(int v, std::int64_t i) {
  const dsp_rate_counter counter = counter_;
  const bool every_other = every_other_;
  const std::int64_t latched_at = latched_at_;
  const std::int64_t sample = (frame_start_ + i * frame_clocks) / frame_clocks;
  counter_.tick(i + 1);
  if ((i + 1) & 1) every_other_ = !every_other_;
  if (every_other_) latched_at_ = sample;
  else if (i > 0) latched_at_ = sample - 1;
  held_voices_ &= u8(~(1 << v));
  run_voice_steps(v, sample);
  counter_ = counter;
  every_other_ = every_other;
  latched_at_ = latched_at;
}

bool dsp_register_file::quiet() const {
  // A whole frame since the last write (but a voice's own, which that
  // voice settles alone) has reported every change and acted on a soft
  // reset; the latch has taken KOFF as it stands (it acts on the
  // voices where it latches, and again alike at every later latch).
  if (frame_start_ < last_shared_write_ + 2 * frame_clocks || koff_ != regs_[r_key_off] || kon_ ||
      new_kon_)
    return false;
  for (const dsp_voice& d : voices_)
    if (d.key_on_delay) return false;
  return true;
}

// In a quiet stretch the voices' steps no longer touch one another: each
// runs alone, its registers read once.
void dsp_register_file::run_quiet_frames(std::int64_t frames) {
  for (int v = 0; v < dsp_voice_count; ++v) {
    const std::int64_t skip = std::min(frames_ahead_[v], frames);
    std::int64_t i = skip;
    for (; i < frames && !settled(v, frame_start_ + i * frame_clocks); ++i) run_voice_frame(v, i);
    if (i < frames) run_quiet_voice(v, i, frames - i);
    frames_ahead_[v] -= skip;
  }
  counter_.tick(frames);
  if (frames & 1) every_other_ = !every_other_;
  if (every_other_) latched_at_ = (frame_start_ + (frames - 1) * frame_clocks) / frame_clocks;
  else if (frames > 1) latched_at_ = (frame_start_ + (frames - 2) * frame_clocks) / frame_clocks;
  koff_ = regs_[r_key_off];
  end_flags_buffer_ = regs_[r_end_flags];
  envelope_buffer_ = voices_[dsp_voice_count - 1].envx;
}

// One sample's move of a voice's BRR position, `header` its block's: the
// next byte pair when decoding is due, the next block after the last pair,
// the loop after a block with the end flag. Returns whether it looped.
bool dsp_register_file::step_position(dsp_voice& d, u8 header, u16 loop_entry, int pitch) const {
  bool looped = false;
  if (d.position >= decode_due) {
    d.byte_in_block += 2;
    if (d.byte_in_block >= brr_block_bytes) {
      d.block = u16(d.block + brr_block_bytes);
      if (header & 1) {
        d.block = ram_word(loop_entry);
        looped = true;
      }
      d.byte_in_block = 1;
    }
  }
  d.position = std::min((d.position & 0x3FFF) + pitch, position_limit);
  return looped;
}

// A released voice at level 0 stays so: ENVX and OUTX stay 0, and only
// its BRR position moves, which runs from one group of four samples to the
// next instead of sample by sample.
void dsp_register_file::run_idle_voice(int v, dsp_voice& d, std::int64_t samples,
                                       const u8* first_header, u8& header, bool& looped,
                                       bool& ended) const {
  const u16 loop_entry = u16(reads_[v].entry + 2u);
  const int pitch = reads_[v].pitch;
  d.envx = 0;
  u16 last_block = d.block;  // the block the last sample's header came from
  for (std::int64_t left = samples; left > 0;) {
    looped = false;
    last_block = d.block;
    if (const std::int64_t k = run_within_block(d, pitch, left)) {
      left -= k;
      continue;
    }
    // Voice 0 read its first sample's header in the frame before.
    const u8 h = left == samples && v == 0 && first_header ? *first_header : memory_.aram[d.block];
    looped = step_position(d, h, loop_entry, pitch);
    ended |= looped;
    --left;
  }
  header = memory_.aram[last_block];
}

// A voice whose envelope holds for good (a steady level at its rate, or a
// rate that never steps): up to `samples` samples in which only its BRR
// position moves, from one group of four samples to the next. It stops
// before a sample that starts on a block that ends without a loop, which
// silences the voice. Returns the samples run; `header` is the last one's.
std::int64_t dsp_register_file::run_held_voice(u16 loop_entry, int pitch, dsp_voice& d,
                                               std::int64_t samples, u8& header, bool& looped,
                                               bool& ended) const {
  std::int64_t done = 0;
  while (done < samples) {
    const u8 h = memory_.aram[d.block];
    if ((h & 3) == 1) break;
    header = h;
    looped = false;
    if (const std::int64_t k = run_within_block(d, pitch, samples - done)) {
      done += k;
      continue;
    }
    looped = step_position(d, h, loop_entry, pitch);
    ended |= looped;
    ++done;
  }
  return done;
}

void dsp_register_file::run_quiet_voice(int v, std::int64_t skip, std::int64_t frames) {
  // A copy the compiler can keep in registers: the RAM reads below could
  // otherwise alias it.
  dsp_voice d = voices_[v];
  voice_reads& r = reads_[v];
  const bool soft_reset = regs_[r_flags] & flg_soft_reset;
  const u16 loop_entry = u16(r.entry + 2u);
  const int pitch = r.pitch;  // the delay is over
  r.pitch_used = r.pitch;
  const u8 adsr2 = voice_reg(v, v_adsr2);
  const u8 gain = voice_reg(v, v_gain);
  dsp_rate_counter counter = counter_;
  counter.tick(skip);
  bool looped = false, ended = false, level_zero = false, last_zero = r.level_zero;
  u8 header = r.header;
  std::ptrdiff_t& silent = reports_[v].silent;
  bool rise_unreported = silent >= 0;  // a key-on's envelope yet to rise
  const u8 bit = u8(1 << v);
  std::int64_t i = 0;
  // A voice whose envelope the last quiet run left holding for good, with
  // nothing run or written since, holds on: its samples only move its
  // position (as below, where its first sample would find the same).
  if ((held_voices_ & bit) && !soft_reset && !rise_unreported &&
      (v != 0 || header == memory_.aram[d.block])) {
    i = run_held_voice(loop_entry, pitch, d, frames, header, looped, ended);
    if (i > 0) {
      counter.tick(i);
      d.envx = u8(d.level >> 4);
      last_zero = d.level == 0;
      level_zero |= last_zero;
    }
  }
  if (i < frames) held_voices_ &= u8(~bit);  // until it holds to the end again
  for (; i < frames; ++i) {
    if (d.mode == dsp_envelope_mode::release && d.level == 0) {
      // Silent for good: only the position moves.
      run_idle_voice(v, d, frames - i, i == 0 ? &r.header : nullptr, header, looped, ended);
      last_zero = level_zero = true;
      break;
    }
    counter.tick();
    if (v != 0 || i > 0) header = memory_.aram[d.block];  // voice 0 read it last frame
    // As run_voice.
    last_zero = d.level == 0;
    level_zero |= last_zero;
    if (!last_zero && rise_unreported) {
      // The sample of the frame's first clock, and of this voice's step in it.
      const std::int64_t first_sample = frame_start_ / frame_clocks + skip + (v == 0 ? 0 : 1);
      events_[std::size_t(silent)].envelope_from = first_sample + i;
      silent = -1;
      rise_unreported = false;
    }
    d.envx = u8(d.level >> 4);
    if (soft_reset || (header & 3) == 1) {
      d.mode = dsp_envelope_mode::release;
      d.level = 0;
    }
    if (d.mode == dsp_envelope_mode::release)
      d.level = d.level > 8 ? d.level - 8 : 0;
    else
      d.step_envelope(r.adsr1, adsr2, gain, counter);
    // As advance_position.
    looped = step_position(d, header, loop_entry, pitch);
    ended |= looped;
    // The samples that follow in which the envelope stays as it is only
    // move the position: run them at once (not the next one when it
    // reports the envelope's rise).
    if (d.mode == dsp_envelope_mode::release || soft_reset || (rise_unreported && d.level != 0))
      continue;
    const std::int64_t held = d.steady_samples(r.adsr1, adsr2, gain, counter);
    std::int64_t steady;
    if (held == INT64_MAX) {
      steady = run_held_voice(loop_entry, pitch, d, frames - i - 1, header, looped, ended);
      if (steady == frames - i - 1) held_voices_ |= bit;
    } else {
      // Up to the envelope's next step, while the voice stays in its block.
      steady = run_within_block(d, pitch, std::min(frames - i - 1, held));
      if (steady > 0) looped = false;
    }
    if (steady <= 0) continue;
    counter.tick(steady);
    d.envx = u8(d.level >> 4);
    last_zero = d.level == 0;
    level_zero |= last_zero;
    i += steady;
  }
  voices_[v] = d;
  if (v == 0) header = memory_.aram[d.block];  // its next sample's header, read at clock 25
  r.header = header;
  r.looped = looped;
  r.level_zero = last_zero;
  if (ended) regs_[r_end_flags] |= bit;
  regs_[v * 0x10 + v_envx] = d.envx;
  if (level_zero) regs_[v * 0x10 + v_outx] = 0;
}

namespace {

// A voice's steps in a frame, in their order, at their clocks counted from
// the frame's first (clock 26 of a sample). The hardware runs voice v (2–7)
// at these clocks of the sample: its SRCN at 3v−7, its directory entry,
// ADSR1 and the pitch's low byte at 3v−3, the pitch's high byte, the header
// and its envelope at 3v−2, the position and the left volume at 3v−1, the
// right volume and ENDX at 3v, ENDX back at 3v+2 and ENVX at 3v+4. Voices
// 0 and 1 wrap round the sample's end, and voice 0 spreads its third step
// over clocks 22, 25 and 30.
enum class voice_step : u8 {
  source, entry, pitch_high, header, run, all_three, advance, end_flags, write_end, write_envelope
};
struct timed_step {
  u8 at;  // clocks from the frame's first
  voice_step step;
};
constexpr int frame_offset(int clock) { return (clock + 6) & 31; }

constexpr std::array<timed_step, 9> steps_of(int v) {
  using enum voice_step;
  if (v == 0)
    return {{{frame_offset(30), run}, {frame_offset(31), advance}, {frame_offset(0), end_flags},
             {frame_offset(2), write_end}, {frame_offset(4), write_envelope},
             {frame_offset(17), source}, {frame_offset(21), entry},
             {frame_offset(22), pitch_high}, {frame_offset(25), header}}};
  if (v == 1)
    return {{{frame_offset(0), entry}, {frame_offset(1), all_three}, {frame_offset(2), advance},
             {frame_offset(3), end_flags}, {frame_offset(5), write_end},
             {frame_offset(7), write_envelope}, {frame_offset(20), source}}};
  const int c = 3 * v;
  return {{{u8(frame_offset(c - 7 == -1 ? 31 : c - 7)), source}, {u8(frame_offset(c - 3)), entry},
           {u8(frame_offset(c - 2)), all_three}, {u8(frame_offset(c - 1)), advance},
           {u8(frame_offset(c)), end_flags}, {u8(frame_offset(c + 2)), write_end},
           {u8(frame_offset(c + 4)), write_envelope}}};
}

constexpr std::array<std::array<timed_step, 9>, dsp_voice_count> voice_steps = {
    steps_of(0), steps_of(1), steps_of(2), steps_of(3),
    steps_of(4), steps_of(5), steps_of(6), steps_of(7)};
constexpr std::array<int, dsp_voice_count> voice_step_count = {9, 7, 7, 7, 7, 7, 7, 7};
// The global steps: DIR at clock 28, the every-other-sample toggle at 29,
// the KON/KOFF latch and the rate counter at 30.
constexpr int directory_at = frame_offset(28), toggle_at = frame_offset(29),
              latch_at = frame_offset(30);

// Each step comes after the one before it in the frame, and the voices
// take their third steps in voice order (pitch modulation and ENDX need it).
constexpr bool steps_in_order() {
  int last_run = -1;
  for (int v = 0; v < dsp_voice_count; ++v) {
    for (int i = 1; i < voice_step_count[v]; ++i)
      if (voice_steps[v][i].at <= voice_steps[v][i - 1].at) return false;
    for (int i = 0; i < voice_step_count[v]; ++i)
      if (voice_steps[v][i].step == voice_step::run || voice_steps[v][i].step == voice_step::all_three) {
        if (voice_steps[v][i].at <= last_run) return false;
        last_run = voice_steps[v][i].at;
      }
  }
  return latch_at <= voice_steps[0][0].at;
}
static_assert(steps_in_order());

// Every step of a frame, the global ones and the voices', in the order of
// their clocks (at the same clock, in the order listed above), and where
// each clock's steps begin: a window walks only the steps inside it.
struct frame_step {
  u8 at;
  u8 voice;
  voice_step step;
  bool global;  // then `step` is unused: directory_at, toggle_at or latch_at says which
};
constexpr int steps_per_frame = 3 + 9 + 7 * (dsp_voice_count - 1);
constexpr int clocks_per_frame = 32;

constexpr std::array<frame_step, steps_per_frame> frame_steps_by_clock() {
  std::array<frame_step, steps_per_frame> all{};
  int n = 0;
  for (int at : {directory_at, toggle_at, latch_at}) all[n++] = {u8(at), 0, voice_step::source, true};
  for (int v = 0; v < dsp_voice_count; ++v)
    for (int i = 0; i < voice_step_count[v]; ++i)
      all[n++] = {voice_steps[v][i].at, u8(v), voice_steps[v][i].step, false};
  // A stable insertion sort by clock.
  for (int i = 1; i < n; ++i)
    for (int j = i; j > 0 && all[j - 1].at > all[j].at; --j) std::swap(all[j - 1], all[j]);
  return all;
}
constexpr std::array<frame_step, steps_per_frame> frame_steps = frame_steps_by_clock();

constexpr std::array<u8, clocks_per_frame + 1> first_steps_at() {
  std::array<u8, clocks_per_frame + 1> first{};
  int i = 0;
  for (int clock = 0; clock <= clocks_per_frame; ++clock) {
    while (i < steps_per_frame && frame_steps[i].at < clock) ++i;
    first[clock] = u8(i);
  }
  return first;
}
// first_step_at[c]: the first of frame_steps at clock c or later.
constexpr std::array<u8, clocks_per_frame + 1> first_step_at = first_steps_at();
static_assert(first_step_at[clocks_per_frame] == steps_per_frame);


// ENVX and OUTX of a voice in a quiet frame: the program reads what the
// voice's steps at these clocks left, its ENDX write (OUTX) and its ENVX
// write.
constexpr int step_at(int v, voice_step step) {
  for (int i = 0; i < voice_step_count[v]; ++i)
    if (voice_steps[v][i].step == step) return voice_steps[v][i].at;
  return -1;
}
constexpr std::array<u8, dsp_voice_count> steps_at(voice_step step) {
  std::array<u8, dsp_voice_count> at{};
  for (int v = 0; v < dsp_voice_count; ++v) at[v] = u8(step_at(v, step));
  return at;
}
constexpr std::array<u8, dsp_voice_count> end_flags_at = steps_at(voice_step::end_flags);
constexpr std::array<u8, dsp_voice_count> write_end_at = steps_at(voice_step::write_end);
constexpr std::array<u8, dsp_voice_count> write_envelope_at = steps_at(voice_step::write_envelope);

}  // namespace

void dsp_register_file::catch_up_voice(int v, std::int64_t frames) {
  if (frames <= frames_ahead_[v]) return;
  run_quiet_voice(v, frames_ahead_[v], frames - frames_ahead_[v]);
  frames_ahead_[v] = frames;
}

u8 dsp_register_file::read_voice_output(u8 address, std::int64_t now) {
  if (!quiet_until(now)) {
    sync(now);
    return regs_[address];
  }
  // The voice's whole frames that end by `now`, then what its steps in the
  // frame under way have written by then: the voice's level as the frame
  // began is what its run step shows (no KON delay and no write in a quiet
  // frame).
  const int v = address >> 4;
  catch_up_voice(v, (now - frame_start_) / frame_clocks);
  const int clock = int((now - frame_start_) % frame_clocks);
  const dsp_voice& d = voices_[v];
  if ((address & 0x0F) == v_envx)
    return clock > write_envelope_at[v] ? u8(d.level >> 4) : regs_[address];
  return clock > write_end_at[v] && d.level == 0 ? u8(0) : regs_[address];
}

bool dsp_register_file::quiet_until(std::int64_t now) {
  if (done_ != frame_start_ && now >= frame_start_ + frame_clocks) {
    run_window(int(done_ - frame_start_), frame_clocks);
    frame_start_ += frame_clocks;
    done_ = frame_start_;
  }
  return done_ == frame_start_ && now >= frame_start_ && frame_start_ >= last_write_ + 2 * frame_clocks &&
         quiet();
}

u8 dsp_register_file::read_end_flags(std::int64_t now) {
  if (!quiet_until(now)) {
    sync(now);
    return regs_[r_end_flags];
  }
  return quiet_end_flags(now, false);
}

u8 dsp_register_file::quiet_end_flags(std::int64_t now, bool pending) {
  const std::int64_t frames = (now - frame_start_) / frame_clocks;
  const int clock = int((now - frame_start_) % frame_clocks);
  u8 flags = 0;
  for (int v = 0; v < dsp_voice_count; ++v) {
    // A voice sets its bit only as it leaves a block: one that stays in its
    // block up to the frame under way and through it needs no catching up
    // (a batch or a read of its own brings it on).
    const std::int64_t behind = frames + 1 - frames_ahead_[v];
    if (samples_in_block(voices_[v], reads_[v].pitch, behind) == behind) continue;
    catch_up_voice(v, frames);
    if (clock <= (pending ? end_flags_at[v] : write_end_at[v])) continue;
    // The frame under way moves the voice past its block's last byte pair,
    // and the block has the end flag (voice 0 read its header in the frame
    // before, the others in this one).
    const dsp_voice& d = voices_[v];
    const u8 header = v == 0 ? reads_[0].header : memory_.aram[d.block];
    if (d.position >= decode_due && d.byte_in_block + 2 >= brr_block_bytes && (header & 1))
      flags |= u8(1 << v);
  }
  return u8(regs_[r_end_flags] | flags);
}

std::int64_t dsp_register_file::next_end_flag(std::int64_t now, std::int64_t limit) {
  if (!quiet_until(now) || quiet_end_flags(now, false) != 0) return now;
  // Each voice walks on, on a copy, from the frame it has run up to (the
  // frame under way, or an earlier one that quiet_end_flags found it could
  // not leave its block before) to the first whose step moves it past an
  // end block's last byte pair. Its bit shows from the clock after its ENDX
  // write in that frame. Only the position counts: a voice silenced or
  // released moves on all the same.
  std::int64_t first = limit;
  for (int v = 0; v < dsp_voice_count; ++v) {
    dsp_voice d = voices_[v];
    const voice_reads& r = reads_[v];
    const u16 loop_entry = u16(r.entry + 2u);
    const int pitch = r.pitch;
    const std::int64_t shows_from = frame_start_ + write_end_at[v] + 1;
    const std::int64_t from = frames_ahead_[v];
    for (std::int64_t f = from; shows_from + f * frame_clocks < first;) {
      // Voice 0 read its first frame's header in the frame before.
      const u8 header = v == 0 && f == from ? r.header : memory_.aram[d.block];
      if (d.position >= decode_due && d.byte_in_block + 2 >= brr_block_bytes && (header & 1)) {
        first = std::max(now, shows_from + f * frame_clocks);
        break;
      }
      if (const std::int64_t k = run_within_block(d, pitch, INT64_MAX / 2)) {
        if (k == INT64_MAX / 2) break;  // a pitch of 0: the voice never moves
        f += k;
        continue;
      }
      step_position(d, header, loop_entry, pitch);
      ++f;
    }
  }
  return first;
}

// Between two accesses nothing is written: the window's steps run in their
// clocks' order.
void dsp_register_file::run_window(int from, int to) {
  held_voices_ = 0;
  const auto sample_at = [&](int at) { return (frame_start_ + at) / frame_clocks; };
  for (int i = first_step_at[from]; i < first_step_at[to]; ++i) {
    const frame_step& t = frame_steps[i];
    const int v = t.voice;
    if (t.global) {
      if (t.at == directory_at)
        latch_directory();
      else if (t.at == toggle_at)
        toggle_every_other();
      else
        latch_key_on(sample_at(latch_at));
      continue;
    }
    switch (t.step) {
      case voice_step::source: read_source(v); break;
      case voice_step::entry: read_entry_envelope_pitch(v); break;
      case voice_step::pitch_high: read_pitch_high(v); break;
      case voice_step::header: read_header(v); break;
      case voice_step::run: run_voice(v, sample_at(t.at)); break;
      case voice_step::all_three: step_three(v, sample_at(t.at)); break;
      case voice_step::advance: advance_position(v); break;
      case voice_step::end_flags: update_end_flags(v, sample_at(t.at)); break;
      case voice_step::write_end: write_end_flags(v); break;
      case voice_step::write_envelope: write_envelope(v); break;
    }
  }
}

void dsp_register_file::latch_directory() { directory_ = regs_[r_directory]; }

void dsp_register_file::toggle_every_other() {
  every_other_ = !every_other_;
  // A KON acts once: the latch after the one that took it forgets it.
  if (every_other_) new_kon_ &= u8(~kon_);
}

void dsp_register_file::latch_key_on(std::int64_t sample) {
  if (every_other_) {
    kon_ = new_kon_;
    koff_ = regs_[r_key_off];
    latched_at_ = sample;
  }
  counter_.tick();
}

void dsp_register_file::read_source(int v) { reads_[v].srcn = voice_reg(v, v_source); }

void dsp_register_file::read_entry_envelope_pitch(int v) {
  voice_reads& r = reads_[v];
  // The entry's word is read when it is used, in this sample still.
  r.entry = u16(directory_ * 0x100u + r.srcn * 4u);
  r.entry_start = voices_[v].key_on_delay != 0;
  r.adsr1 = voice_reg(v, v_adsr1);
  r.pitch_low = voice_reg(v, v_pitch_low);
}

void dsp_register_file::step_three(int v, std::int64_t sample) {
  read_pitch_high(v);
  read_header(v);
  run_voice(v, sample);
}

void dsp_register_file::read_pitch_high(int v) {
  voice_reads& r = reads_[v];
  r.pitch = u16((r.pitch_low | voice_reg(v, v_pitch_high) << 8) & 0x3FFF);
  r.pitch_split = voice_reg(v, v_pitch_low) != r.pitch_low;
}

void dsp_register_file::read_header(int v) { reads_[v].header = memory_.aram[voices_[v].block]; }

void dsp_register_file::run_voice(int v, std::int64_t sample) {
  dsp_voice& d = voices_[v];
  voice_reads& r = reads_[v];
  voice_report& report = reports_[v];
  const u8 bit = u8(1 << v);
  report.delay_ended = false;
  // During the KON delay, and in the sample it ends, the pitch is not added.
  r.pitch_used = d.key_on_delay ? 0 : r.pitch;
  if (d.key_on_delay) {
    if (d.key_on_delay == dsp_key_on_delay_samples) {
      // The restart: the sample's start as the directory gives it now.
      d.block = ram_word(r.entry);
      d.byte_in_block = 1;
      r.header = 0;  // the old block's header no longer counts
      if (report.pending >= 0) {
        trace_event& e = events_[std::size_t(report.pending)];
        e.srcn = r.srcn;
        e.start = d.block;
        e.loop = ram_word(r.entry + 2u);
        e.chain = keep_sample(e.srcn, e.start, e.loop);
      }
    }
    d.level = 0;
    d.hidden_level = 0;
    // Decoding starts three samples before the delay ends; the position
    // does not move during it.
    d.position = (--d.key_on_delay & 3) ? decode_due : 0;
    report.delay_ended = d.key_on_delay == 0;
  }
  r.level_zero = d.level == 0;
  if (!r.level_zero && report.silent >= 0) {
    events_[std::size_t(report.silent)].envelope_from = sample;
    report.silent = -1;
  }
  d.envx = u8(d.level >> 4);
  // Silence at once on soft reset or at the end of a sample without a loop.
  const bool soft_reset = regs_[r_flags] & flg_soft_reset;
  if (soft_reset || (r.header & 3) == 1) {
    d.mode = dsp_envelope_mode::release;
    d.level = 0;
    if (soft_reset) report_key_off(v, sample);
  }
  if (every_other_) {
    if (koff_ & bit) {
      d.mode = dsp_envelope_mode::release;
      if (!(kon_ & bit)) report_key_off(v, latched_at_);
    }
    if (kon_ & bit) {
      d.key_on_delay = dsp_key_on_delay_samples;
      d.mode = dsp_envelope_mode::attack;
      report_key_on(v, latched_at_);
    }
  }
  const u8 adsr2 = voice_reg(v, v_adsr2);
  const u8 gain = voice_reg(v, v_gain);
  if (d.key_on_delay) {
  } else if (d.mode == dsp_envelope_mode::release) {
    d.level = d.level > 8 ? d.level - 8 : 0;  // the common case, kept inline
  } else {
    d.step_envelope(r.adsr1, adsr2, gain, counter_);
  }
  report_changes(v, sample, adsr2, gain);
}

void dsp_register_file::advance_position(int v) {
  dsp_voice& d = voices_[v];
  voice_reads& r = reads_[v];
  r.looped = false;
  if (d.position >= decode_due) {
    d.byte_in_block += 2;
    if (d.byte_in_block >= brr_block_bytes) {
      d.block = u16(d.block + brr_block_bytes);
      if (r.header & 1) {
        d.block = ram_word(r.entry_start ? r.entry : r.entry + 2u);
        r.looped = true;
      }
      d.byte_in_block = 1;
    }
  }
  d.position = std::min((d.position & 0x3FFF) + r.pitch_used, position_limit);
  r.vol_left = voice_reg(v, v_vol_left);
}

void dsp_register_file::update_end_flags(int v, std::int64_t sample) {
  const u8 bit = u8(1 << v);
  const voice_reads& r = reads_[v];
  u8 flags = u8(regs_[r_end_flags] | (r.looped ? bit : 0));
  if (voices_[v].key_on_delay == dsp_key_on_delay_samples) flags &= u8(~bit);
  end_flags_buffer_ = flags;

  voice_report& report = reports_[v];
  const auto left = std::int8_t(r.vol_left);
  const auto right = std::int8_t(voice_reg(v, v_vol_right));
  if (report.pending >= 0) {
    trace_event& e = events_[std::size_t(report.pending)];
    e.vol_left = left;
    e.vol_right = right;
    if (report.delay_ended) {
      report.pending = -1;
      report.pitch = e.pitch;
      report.vol_left = e.vol_left;
      report.vol_right = e.vol_right;
      report.adsr1 = e.adsr1;
      report.adsr2 = e.adsr2;
      report.gain = e.gain;
    }
    return;
  }
  if (!report.open || (left == report.vol_left && right == report.vol_right)) return;
  report.vol_left = left;
  report.vol_right = right;
  trace_event e;
  e.sample = sample;
  e.kind = trace_event_kind::volume;
  e.voice = u8(v);
  e.vol_left = left;
  e.vol_right = right;
  e.split = voice_reg(v, v_vol_left) != r.vol_left;
  record(e);
}

void dsp_register_file::write_end_flags(int v) {
  regs_[r_end_flags] = end_flags_buffer_;
  envelope_buffer_ = voices_[v].envx;
  // OUTX: the voice's output is 0 in a sample its envelope is 0.
  if (reads_[v].level_zero) regs_[v * 0x10 + v_outx] = 0;
}

void dsp_register_file::write_envelope(int v) { regs_[v * 0x10 + v_envx] = envelope_buffer_; }

void dsp_register_file::report_key_on(int v, std::int64_t sample) {
  const voice_reads& r = reads_[v];
  trace_event e;
  e.sample = sample;
  e.kind = trace_event_kind::key_on;
  e.voice = u8(v);
  // Until the restart and the delay's end fill them in, the registers as
  // they stand.
  e.srcn = voice_reg(v, v_source);
  const unsigned entry = regs_[r_directory] * 0x100u + e.srcn * 4u;
  e.start = ram_word(entry);
  e.loop = ram_word(entry + 2);
  e.pitch = r.pitch;
  e.vol_left = std::int8_t(voice_reg(v, v_vol_left));
  e.vol_right = std::int8_t(voice_reg(v, v_vol_right));
  e.adsr1 = r.adsr1;
  e.adsr2 = voice_reg(v, v_adsr2);
  e.gain = voice_reg(v, v_gain);
  e.echo = (regs_[r_echo_on] >> v) & 1;
  voice_report& report = reports_[v];
  report.pending = report.silent = record(e);
  report.open = true;
}

std::int32_t dsp_register_file::keep_sample(u8 srcn, u16 start, u16 loop) {
  // Blocks are read one after another; a chain longer than audio RAM has
  // wrapped round without an end and never ends.
  std::vector<u8> chain;
  for (unsigned at = start;; at += brr_block_bytes) {
    if (chain.size() + brr_block_bytes > 0x10000) return -1;
    for (int i = 0; i < brr_block_bytes; ++i) chain.push_back(memory_.aram[(at + i) & 0xFFFF]);
    if (memory_.aram[at & 0xFFFF] & 0x01) break;  // the end flag
  }
  for (std::size_t i = 0; i < samples_.size(); ++i) {
    const traced_sample& s = samples_[i];
    if (s.srcn == srcn && s.start == start && s.loop == loop && s.chain == chain)
      return std::int32_t(i);
  }
  samples_.push_back({srcn, start, loop, std::move(chain)});
  return std::int32_t(samples_.size() - 1);
}

void dsp_register_file::report_key_off(int v, std::int64_t sample) {
  voice_report& report = reports_[v];
  if (!report.open) return;
  report.open = false;
  report.pending = -1;  // a key-on cut short keeps what it reached
  report.silent = -1;   // and released, its envelope does not rise
  trace_event e;
  e.sample = sample;
  e.kind = trace_event_kind::key_off;
  e.voice = u8(v);
  record(e);
}

void dsp_register_file::report_changes(int v, std::int64_t sample, u8 adsr2, u8 gain) {
  voice_report& report = reports_[v];
  const voice_reads& r = reads_[v];
  if (report.pending >= 0) {
    if (voices_[v].key_on_delay == dsp_key_on_delay_samples) return;  // latched this sample
    trace_event& e = events_[std::size_t(report.pending)];
    e.pitch = r.pitch;
    e.adsr1 = r.adsr1;
    e.adsr2 = adsr2;
    e.gain = gain;
    return;
  }
  if (!report.open) return;
  if (r.pitch != report.pitch) {
    report.pitch = r.pitch;
    trace_event e;
    e.sample = sample;
    e.kind = trace_event_kind::pitch;
    e.voice = u8(v);
    e.pitch = r.pitch;
    e.split = r.pitch_split;
    record(e);
  }
  if (r.adsr1 != report.adsr1 || adsr2 != report.adsr2 || gain != report.gain) {
    report.adsr1 = r.adsr1;
    report.adsr2 = adsr2;
    report.gain = gain;
    trace_event e;
    e.sample = sample;
    e.kind = trace_event_kind::envelope;
    e.voice = u8(v);
    e.adsr1 = r.adsr1;
    e.adsr2 = adsr2;
    e.gain = gain;
    e.split = voice_reg(v, v_adsr1) != r.adsr1;
    record(e);
  }
}

std::ptrdiff_t dsp_register_file::record(const trace_event& e) {
  if (events_.empty() || events_.back().sample <= e.sample) {
    events_.push_back(e);
    return std::ptrdiff_t(events_.size()) - 1;
  }
  // A voice acting on a latch of the sample before: after every event of
  // that sample, and the pending key-ons behind it move up one.
  const auto at = std::upper_bound(events_.begin(), events_.end(), e.sample,
                                   [](std::int64_t s, const trace_event& x) { return s < x.sample; });
  const std::ptrdiff_t index = at - events_.begin();
  events_.insert(at, e);
  for (voice_report& report : reports_)
    for (std::ptrdiff_t* i : {&report.pending, &report.silent})
      if (*i >= index) ++*i;
  return index;
}
