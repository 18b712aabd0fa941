// Standard MIDI Files of type 1 (one track of tempo and names, then one per
// channel), written whole in memory. Every event carries its own status
// byte (no running status), so each track reads alone. Plain values; any
// thread.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// Appends `value` (at most 0x0FFFFFFF) as a variable-length quantity: seven
// bits a byte, most significant first, the high bit set on all but the last.
// Any thread.
void append_vlq(std::vector<std::uint8_t>& out, std::uint32_t value);

// Meta event types the song's files use.
enum class smf_meta : std::uint8_t {
  text = 0x01,
  track_name = 0x03,
  end_of_track = 0x2F,
  tempo = 0x51,
  time_signature = 0x58,
};

// One track's events, each at an absolute time in ticks. Events at the same
// tick keep the order they were added in. Any thread (one per owner).
class smf_track {
 public:
  // A channel message: `status` (0x80 ... 0xE0, the channel 0 ... 15 in its
  // low bits) and its one or two data bytes (each 0 ... 127).
  void channel_message(std::int64_t tick, std::uint8_t status, std::uint8_t data1);
  void channel_message(std::int64_t tick, std::uint8_t status, std::uint8_t data1,
                       std::uint8_t data2);
  void meta(std::int64_t tick, smf_meta type, std::string_view data);
  // The tempo from here on, in microseconds per quarter note.
  void tempo(std::int64_t tick, std::uint32_t microseconds_per_quarter);

  bool empty() const { return events_.empty(); }
  std::int64_t last_tick() const;

  // The MTrk chunk: the events in time order as delta times, closed by End
  // of Track at `end_tick` (or at the last event, when that is later).
  std::vector<std::uint8_t> chunk(std::int64_t end_tick) const;

 private:
  struct event {
    std::int64_t tick;
    std::vector<std::uint8_t> bytes;  // status and data, as written after the delta time
  };
  std::vector<event> events_;
};

// The whole file: MThd of type 1 with `ticks_per_quarter` (1 ... 32767),
// then the tracks, each closed at `end_tick`. Any thread.
std::vector<std::uint8_t> smf_file_bytes(int ticks_per_quarter,
                                         const std::vector<smf_track>& tracks,
                                         std::int64_t end_tick);
