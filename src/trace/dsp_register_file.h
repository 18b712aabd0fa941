// The S-DSP as the sound driver sees it: its 128 registers and its eight
// voices, each step at its clock in the hardware's order. The DSP takes 32
// clocks (one CPU cycle each) per output sample and does each voice's work
// at fixed clocks of it: it latches KON and KOFF at clock 30 of every second
// sample, reads a voice's pitch, ADSR/GAIN and volumes at their own clocks,
// and writes ENDX and ENVX back at theirs. Kept exactly: each voice's
// envelope (ENVX), its place in its BRR chain (ENDX), the KON delay, soft
// reset and the end of a sample without a loop. Not kept: the decoded
// sound, so pitch modulation (PMON) and noise do not move a voice, and
// OUTX reads 0 while a voice's envelope is 0 and otherwise what the
// snapshot or the program left there. No echo, no mixing, no output.
//
// The DSP runs in frames of 32 clocks. A frame's steps between two of the
// program's writes or reads run voice by voice (no write falls between
// them, so the order is the hardware's in all that can be seen), a stretch
// of frames the program leaves alone one voice at a time over all of it.
// Any thread (one owner).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "dsp_registers.h"
#include "dsp_voice.h"
#include "song_trace.h"
#include "spc.h"

class dsp_register_file {
 public:
  // Starts from the image's registers, as a player loading the snapshot
  // does: the DSP at the first clock of a sample, every voice silent and
  // released at address 0, a KON in the image still to be latched. `memory`
  // is the live audio RAM (its other fields are unused) for the directory
  // and the BRR headers; `events` receives what the voices do.
  dsp_register_file(const spc_format& image, const spc_format& memory,
                    std::vector<trace_event>& events);

  // The register as the program reads it at CPU cycle `now`. Only ENDX,
  // ENVX and OUTX change by themselves; the others hold what was written,
  // and reading them needs no catching up (drivers read GAIN back often).
  u8 read(u8 address, std::int64_t now) {
    address &= 0x7F;
    if ((address & 0x0F) == v_envx || (address & 0x0F) == v_outx) return read_voice_output(address, now);
    if (address == r_end_flags) return read_end_flags(now);
    return regs_[address];
  }
  // Voice `v` (0 ... 7) as last run: its envelope and BRR block.
  const dsp_voice& voice(int v) const { return voices_[v]; }
  // The register as last left, without running the DSP.
  u8 peek(u8 address) const { return regs_[address & 0x7F]; }
  // The program's write at CPU cycle `now`: the DSP has run every clock
  // before it and sees the new value from this clock on. Returns whether
  // the write changed anything the DSP sees (a register, a latch, ENDX).
  bool write(u8 address, u8 value, std::int64_t now);
  // The first CPU cycle from `now` on, and before `limit`, at which a read
  // of ENDX finds a bit set, as a quiet stretch runs on without writes;
  // `limit` when there is none before it, `now` when ENDX has a bit now or
  // the DSP is not in a quiet stretch (nothing can be foreseen). For a wait
  // loop that polls ENDX: its passes until then read 0 again and again.
  std::int64_t next_end_flag(std::int64_t now, std::int64_t limit);

  // Lets the DSP run up to CPU cycle `now`, which may jump ahead by any
  // amount. The DSP catches up in batches (and always before an access);
  // finish() brings it up to date.
  void run_until(std::int64_t now) {
    if (now >= frame_start_ + batch_frames * frame_clocks) run_frames(now);
  }
  // Runs every whole frame that ends by CPU cycle `now`, for the trace's end.
  void finish(std::int64_t now) { run_frames(now); }
  // Brings the DSP to CPU cycle `now` exactly, as before an access.
  void catch_up(std::int64_t now) { sync(now); }
  // Whether `address` lies in the sample directory (256 entries of 4
  // bytes) of DIR as written or as last latched. The DSP reads it when a
  // voice starts or loops, behind the CPU: a write there must wait until
  // the DSP has caught up (catch_up), or the DSP would read it early.
  bool in_directory(u16 address) const {
    return u16(address - regs_[r_directory] * 0x100u) < directory_bytes ||
           u16(address - directory_ * 0x100u) < directory_bytes;
  }
  // The samples the key-ons played (trace_event::chain indexes them),
  // handed over once.
  std::vector<traced_sample> take_samples() { return std::move(samples_); }

 private:
  static constexpr int frame_clocks = 32;
  // A frame runs from this clock of a sample to the same clock of the next:
  // from just after the last voice's ENVX write, so that every step of a
  // frame can run voice by voice when no access falls in it.
  static constexpr int frame_first_clock = 26;
  // How many frames may wait before the DSP catches up on its own: the DSP
  // reads the directory and BRR headers this late at most (0.5 ms).
  static constexpr int batch_frames = 16;
  static constexpr unsigned directory_bytes = 256 * 4;

  // What each voice read in its current sample, and what it is reporting.
  struct voice_reads {
    u8 srcn = 0;          // read at its first step, for the directory entry
    u16 entry = 0;        // the directory entry's address
    bool entry_start = false;  // a voice in its KON delay loads the entry's start, else its loop
    u8 adsr1 = 0;
    u8 pitch_low = 0;
    u16 pitch = 0;        // the 14-bit pitch register as read
    bool pitch_split = false;
  u16 pitch_used = 0;   // what moves the position this sample
    u8 header = 0;        // the current block's header
    bool looped = false;  // the block that ended had the end flag
    u8 vol_left = 0;
    bool level_zero = true;  // the envelope was 0 in this sample
  };
  struct voice_report {
    bool open = false;            // keyed on and not keyed off
    std::ptrdiff_t pending = -1;  // the key-on being filled during its delay
    std::ptrdiff_t silent = -1;   // the key-on whose envelope has not risen yet
    bool delay_ended = false;     // its envelope started this sample
    u16 pitch = 0;                // what the last event said the voice uses
    std::int8_t vol_left = 0, vol_right = 0;
    u8 adsr1 = 0, adsr2 = 0, gain = 0;
  };

  // Whether writing `value` at `address` now leaves every register and
  // latch as it is (the DSP caught up).
  bool changes_nothing(u8 address, u8 value) const;
  void run_frames(std::int64_t now);
  void sync(std::int64_t now);
  // ENVX or OUTX at CPU cycle `now`. In a quiet stretch the voices do not
  // touch one another, so only the voice read catches up; the others wait
  // for the next access or batch.
  u8 read_voice_output(u8 address, std::int64_t now);
  // ENDX at CPU cycle `now`. In a quiet stretch each voice runs its whole
  // frames, and of the frame under way only whether its block ends in it.
  u8 read_end_flags(std::int64_t now);
  // Whether the stretch from frame_start_ to CPU cycle `now` is quiet,
  // every voice settled, and no frame of it has begun to run.
  // First finishes a frame an earlier access left half run, when `now` is
  // past its end.
  bool quiet_until(std::int64_t now);
  // ENDX as a quiet stretch leaves it at CPU cycle `now`, with the bits a
  // voice has set and not yet written back when `pending` asks for them.
  u8 quiet_end_flags(std::int64_t now, bool pending);
  // Runs voice v alone over the quiet stretch's first `frames` frames.
  void catch_up_voice(int v, std::int64_t frames);
  // Frames in which nothing can differ from one to the next but the
  // voices' envelopes and positions: no write in the frame before (a read
  // changes nothing), KOFF latched as it stands, no KON to latch, no voice
  // in its delay. Run voice by voice, many frames at once.
  bool quiet() const;
  void run_quiet_frames(std::int64_t frames);
  // Whether voice v has read its registers anew since the program last
  // wrote one of them, by the frame from CPU cycle `frame` on.
  bool settled(int v, std::int64_t frame) const { return frame >= voice_written_[v] + 2 * frame_clocks; }
  // Voice v's steps, alone, in the quiet stretch's frame `i` (counted from
  // frame_start_), for a voice not yet settled in it.
  void run_voice_frame(int v, std::int64_t i);
  // Runs voice v's quiet frames from `skip` frames after frame_start_ on.
  void run_quiet_voice(int v, std::int64_t skip, std::int64_t frames);
  void run_idle_voice(int v, dsp_voice& d, std::int64_t samples, const u8* first_header,
                      u8& header, bool& looped, bool& ended) const;
  [[gnu::always_inline]] inline bool step_position(dsp_voice& d, u8 header, u16 loop_entry, int pitch) const;
  std::int64_t run_held_voice(u16 loop_entry, int pitch, dsp_voice& d, std::int64_t samples,
                              u8& header, bool& looped, bool& ended) const;
  void run_whole_frame();
  // Voice v's steps in the frame whose first clocks are of `sample`, in
  // their order: voice 0 runs from clock 30 on, then prepares its next
  // sample (clocks 17–25); voice 1 reads its SRCN (clock 20) last.
  [[gnu::always_inline]] inline void run_voice_steps(int v, std::int64_t sample);
  // Runs the frame's steps from clock `from` to before clock `to`, both
  // counted from the frame's first.
  void run_window(int from, int to);

  // The hardware's steps, named after the clocks they take.
  [[gnu::always_inline]] inline void latch_directory();
  [[gnu::always_inline]] inline void toggle_every_other();
  [[gnu::always_inline]] inline void latch_key_on(std::int64_t sample);
  [[gnu::always_inline]] inline void read_source(int v);                          // V1
  [[gnu::always_inline]] inline void read_entry_envelope_pitch(int v);            // V2
  [[gnu::always_inline]] inline void read_pitch_high(int v);                      // V3a
  [[gnu::always_inline]] inline void read_header(int v);                          // V3b
  [[gnu::always_inline]] inline void run_voice(int v, std::int64_t sample);       // V3c
  [[gnu::always_inline]] inline void advance_position(int v);                     // V4
  [[gnu::always_inline]] inline void update_end_flags(int v, std::int64_t sample);  // V5
  [[gnu::always_inline]] inline void write_end_flags(int v);                      // V7
  [[gnu::always_inline]] inline void write_envelope(int v);                       // V9
  [[gnu::always_inline]] inline void step_three(int v, std::int64_t sample);  // V3

  [[gnu::always_inline]] u8 voice_reg(int v, dsp_voice_register r) const { return regs_[v * 0x10 + r]; }
  [[gnu::always_inline]] u16 ram_word(unsigned address) const {
    return u16(memory_.aram[address & 0xFFFF] | memory_.aram[(address + 1) & 0xFFFF] << 8);
  }
  void report_key_on(int v, std::int64_t sample);
  void report_key_off(int v, std::int64_t sample);
  [[gnu::always_inline]] inline void report_changes(int v, std::int64_t sample, u8 adsr2, u8 gain);
  // Adds `e` in time order (the voices act on a latch a sample apart);
  // returns its index.
  std::ptrdiff_t record(const trace_event& e);

  std::array<u8, 128> regs_{};
  const spc_format& memory_;
  std::vector<trace_event>& events_;
  std::vector<traced_sample> samples_;
  // The index in samples_ of the chain entry `srcn` plays from `start`
  // (looping at `loop`) as audio RAM holds it now; -1 when it never ends.
  std::int32_t keep_sample(u8 srcn, u16 start, u16 loop);
  std::array<dsp_voice, dsp_voice_count> voices_{};
  std::array<voice_reads, dsp_voice_count> reads_{};
  std::array<voice_report, dsp_voice_count> reports_{};
  // Whole quiet frames after frame_start_ that a voice read on its own has
  // already run (each frame ending before that read).
  std::array<std::int64_t, dsp_voice_count> frames_ahead_{};
  // The voices whose last quiet run ended with their envelope holding for
  // good (a bit each), while no frame has run otherwise and nothing has
  // been written since.
  u8 held_voices_ = 0;
  dsp_rate_counter counter_;
  std::int64_t frame_start_ = frame_first_clock - frame_clocks;  // CPU cycle
  std::int64_t done_ = 0;       // the clocks before this one have run
  // CPU cycles of the program's last write (but to ENDX), of its last but
  // to a voice's own registers, and of its last to each voice's. The first
  // is the latest of the others, kept because every quiet read asks it.
  std::int64_t last_write_ = 0;
  std::int64_t last_shared_write_ = 0;
  std::array<std::int64_t, dsp_voice_count> voice_written_{};
  std::int64_t latched_at_ = 0;  // the sample of the last KON latch
  u8 new_kon_ = 0;              // KON as written, until a latch acts on it
  u8 kon_ = 0;                  // the voices the last latch keyed on
  u8 koff_ = 0;                 // and KOFF as it latched it
  u8 directory_ = 0;            // DIR as latched once a sample
  bool every_other_ = true;     // this sample latches KON and KOFF
  u8 end_flags_buffer_ = 0;     // ENDX between a voice's read and its write
  u8 envelope_buffer_ = 0;      // ENVX between a voice's V7 and V9
};
