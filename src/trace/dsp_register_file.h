// The S-DSP as the sound driver sees it: 128 registers, key-on and key-off
// acted on at the DSP's poll every second output sample, and ENDX. Nothing is
// synthesized. What a real DSP writes by itself is approximated:
//  - ENDX: a voice's bit is set when its BRR position, advanced by its pitch
//    from the key-on, passes the end block of its chain (and again at every
//    pass through the loop); pitch modulation and noise are not followed.
//  - ENVX and OUTX read back whatever the image or the program left there.
// Any thread (one owner).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "dsp_registers.h"
#include "song_trace.h"
#include "spc.h"

class dsp_register_file {
 public:
  // Starts from the image's registers. A KON in the image is still pending,
  // as a player loading the snapshot takes it. `ram` is the live audio RAM
  // (inside `memory`, whose other fields are unused) for the directory and
  // the chains; `events` receives the key-ons and key-offs.
  dsp_register_file(const spc_format& image, const spc_format& memory,
                    std::vector<trace_event>& events);

  u8 read(u8 address, std::int64_t now);
  // The register as last left, without bringing ENDX up to date.
  u8 peek(u8 address) const { return regs_[address & 0x7F]; }
  void write(u8 address, u8 value, std::int64_t now);

  // Acts on every key-on poll up to CPU cycle `now`.
  void run_until(std::int64_t now) {
    if (now >= next_poll_) run_polls(now);
  }

 private:
  // A voice's place in its sample, for ENDX.
  struct voice_position {
    bool playing = false;
    u16 start = 0, loop = 0;
    bool measured = false;       // end and loop lengths worked out
    std::int64_t position = 0;   // BRR samples × 0x1000 since the key-on
    std::int64_t end = 0;        // where the end block ends (or never)
    std::int64_t loop_span = 0;  // one pass of the loop (or never)
    std::int64_t since = 0;      // DSP sample the position was taken at
  };

  void run_polls(std::int64_t now);
  void poll(std::int64_t sample);
  void key_on(int voice, std::int64_t sample);
  void key_off(int voice, std::int64_t sample);
  bool anything_pending() const;
  void advance_voice(int voice, std::int64_t sample);
  void advance_all(std::int64_t sample);
  u16 pitch(int voice) const;

  std::array<u8, 128> regs_{};
  const spc_format& memory_;
  std::vector<trace_event>& events_;
  u8 new_kon_ = 0;          // written KON, waiting for a poll
  u8 kon_ = 0;              // what the last poll keyed on
  u8 sounding_ = 0;         // voices keyed on and not yet keyed off
  std::int64_t next_poll_;  // CPU cycle of the next key-on poll
  std::array<voice_position, dsp_voice_count> voices_{};
};
