// The song's trace: the snapshot run forward on our own SPC700 interpreter,
// its timers and a DSP register file, recording every key-on and key-off the
// sound driver writes. No sound is synthesized. Pure functions of the image;
// any thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "spc.h"

struct aram_access_record;
class trace_pacer;

// The DSP's output rate: one sample every 32 SPC700 cycles (1,024,000 Hz).
inline constexpr int dsp_sample_rate = 32000;
inline constexpr int cpu_cycles_per_sample = 32;

enum class trace_event_kind : u8 {
  key_on,
  key_off,
  // While a voice is keyed on, a change of what it plays:
  pitch,     // the pitch field
  volume,    // vol_left and vol_right
  envelope,  // adsr1, adsr2 and gain
};

// One event as the DSP acts on it. A key-on is dated by the sample in which
// the DSP latches KON; its fields are what the voice then plays: SRCN and
// the directory entry as the DSP loads them when it restarts the voice, the
// pitch, volumes, ADSR and GAIN as the DSP reads them in the sample its
// envelope starts (after the KON delay; a key-on cut short keeps the values
// it reached). A change is dated by the sample in which the voice first uses
// the new values and fills only its own fields. A key-off fills none.
struct trace_event {
  std::int64_t sample = 0;  // DSP sample index from the snapshot (32000 a second)
  trace_event_kind kind = trace_event_kind::key_on;
  u8 voice = 0;             // 0 ... 7
  u8 srcn = 0;              // directory index; the table's sample number is srcn + 1
  u16 start = 0;            // the directory entry's start address
  u16 loop = 0;             // and its loop address
  u16 pitch = 0;            // 14 bits; 0x1000 plays one BRR sample per output sample
  std::int8_t vol_left = 0;
  std::int8_t vol_right = 0;
  u8 adsr1 = 0, adsr2 = 0, gain = 0;
  bool echo = false;        // the voice's EON bit (key-on only)
  // A change the DSP heard split: a write landed between its two reads of
  // the pair (the pitch's two bytes, ADSR1 and ADSR2/GAIN, the left and
  // right volume), so for one sample the voice used old and new values
  // together, as the fields give them.
  bool split = false;
  // Key-on: the first sample in which the voice's envelope is above 0 (the
  // voice can sound), or -1 when not within the trace.
  std::int64_t envelope_from = -1;
  // Key-on: the sample it plays as audio RAM then held it, an index into
  // song_trace::keyed_samples; -1 when its chain has no end flag.
  std::int32_t chain = -1;

  double seconds() const { return double(sample) / dsp_sample_rate; }
};

// Why the trace stopped.
enum class trace_end : u8 {
  time,       // the asked length was reached
  sleep,      // the program executed SLEEP
  stop,       // the program executed STOP
  cancelled,  // the caller's cancel flag was raised
};

// A sample the DSP started, as audio RAM held it at the key-on: the
// directory entry it read and the BRR chain's bytes from the start through
// the block with the end flag. A driver may write its directory or samples
// after the snapshot, so these can be samples the image does not hold.
struct traced_sample {
  u8 srcn = 0;
  u16 start = 0;
  u16 loop = 0;
  std::vector<u8> chain;
};

struct song_trace {
  std::vector<trace_event> events;  // in time order
  // Every distinct sample (entry and bytes) a key-on played, in the order
  // first played.
  std::vector<traced_sample> keyed_samples;
  std::int64_t samples = 0;         // how far it ran, in DSP samples
  trace_end ended = trace_end::time;
  std::int64_t instructions = 0;    // SPC700 instructions run (a skipped wait's passes not counted)

  double seconds() const { return double(samples) / dsp_sample_rate; }
  std::size_t key_on_count() const;
};

// "time", "sleep", "stop" or "cancelled". Any thread.
const char* trace_end_text(trace_end end);

// Runs `image` forward for `seconds` (of console time; song_length_of says
// how long a song runs) and records what the
// sound driver keys on and off. `cancel`, when given, is polled now and then:
// raising it ends the trace early (ended = cancelled). Any thread.
song_trace trace_song(const spc_format& image, double seconds,
                      const std::atomic<bool>* cancel = nullptr);

// How to follow the song, beyond its length.
struct trace_options {
  // Jump over the passes of a loop that only waits for a timer (the trace
  // is the same either way; off, for tests, every pass runs).
  bool skip_idle_loops = true;
  // When given, every execute, read and write of the program is counted
  // there as it runs (see aram_access.h); idle loops then run every pass,
  // so that the counts are exact. The record must outlive the call.
  aram_access_record* access = nullptr;
  // When given, asked between slices of the run how far the trace may go
  // (see trace_pacer.h): slices end there too. Must outlive the call.
  trace_pacer* pacer = nullptr;
};

// The same with `options`. Any thread (the access record's owner).
song_trace trace_song(const spc_format& image, double seconds, const trace_options& options,
                      const std::atomic<bool>* cancel = nullptr);

// What the song does with one directory entry (SRCN), over a trace.
struct sample_play {
  int key_ons = 0;
  u8 voices = 0;                  // bit v: keyed on on voice v
  std::int64_t first_sample = 0;  // time of the first key-on
  struct pitch_count {
    u16 pitch;
    int count;
  };
  std::vector<pitch_count> pitches;  // every pitch it was keyed on at, ascending

  bool played() const { return key_ons > 0; }
};

// Per directory index, what the trace keys on. Any thread.
std::array<sample_play, 256> summarize_trace(const song_trace& trace);

// The same for the samples the image's directory lists: a key-on counts for
// directory index i only when entry i then started where the image's entry i
// starts (a driver may rewrite the directory, or move it, after the
// snapshot). Key-ons that fit no entry of the image are counted in
// `unlisted_key_ons` when given. Any thread.
std::array<sample_play, 256> summarize_trace(const song_trace& trace, const spc_format& image,
                                             int* unlisted_key_ons = nullptr);
