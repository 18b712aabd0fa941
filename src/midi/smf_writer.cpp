#include "smf_writer.h"

#include <algorithm>

namespace {

void append_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(value >> shift));
}

}  // namespace

void append_vlq(std::vector<std::uint8_t>& out, std::uint32_t value) {
  value &= 0x0FFFFFFF;
  std::uint8_t groups[4];
  int count = 0;
  do {
    groups[count++] = std::uint8_t(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (count > 1) out.push_back(std::uint8_t(groups[--count] | 0x80));
  out.push_back(groups[0]);
}

void smf_track::channel_message(std::int64_t tick, std::uint8_t status, std::uint8_t data1) {
  events_.push_back({tick, {status, std::uint8_t(data1 & 0x7F)}});
}

void smf_track::channel_message(std::int64_t tick, std::uint8_t status, std::uint8_t data1,
                                std::uint8_t data2) {
  events_.push_back({tick, {status, std::uint8_t(data1 & 0x7F), std::uint8_t(data2 & 0x7F)}});
}

void smf_track::meta(std::int64_t tick, smf_meta type, std::string_view data) {
  std::vector<std::uint8_t> bytes{0xFF, std::uint8_t(type)};
  append_vlq(bytes, std::uint32_t(data.size()));
  bytes.insert(bytes.end(), data.begin(), data.end());
  events_.push_back({tick, std::move(bytes)});
}

void smf_track::tempo(std::int64_t tick, std::uint32_t microseconds_per_quarter) {
  const char data[3] = {char(microseconds_per_quarter >> 16), char(microseconds_per_quarter >> 8),
                        char(microseconds_per_quarter)};
  meta(tick, smf_meta::tempo, std::string_view(data, 3));
}

std::int64_t smf_track::last_tick() const {
  std::int64_t last = 0;
  for (const event& e : events_) last = std::max(last, e.tick);
  return last;
}

std::vector<std::uint8_t> smf_track::chunk(std::int64_t end_tick) const {
  std::vector<const event*> ordered;
  for (const event& e : events_) ordered.push_back(&e);
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const event* a, const event* b) { return a->tick < b->tick; });
  std::vector<std::uint8_t> body;
  std::int64_t now = 0;
  for (const event* e : ordered) {
    const std::int64_t tick = std::max<std::int64_t>(e->tick, 0);
    append_vlq(body, std::uint32_t(tick - now));
    body.insert(body.end(), e->bytes.begin(), e->bytes.end());
    now = tick;
  }
  append_vlq(body, std::uint32_t(std::max(end_tick, now) - now));
  body.insert(body.end(), {0xFF, std::uint8_t(smf_meta::end_of_track), 0x00});
  std::vector<std::uint8_t> out{'M', 'T', 'r', 'k'};
  append_u32(out, std::uint32_t(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::vector<std::uint8_t> smf_file_bytes(int ticks_per_quarter,
                                         const std::vector<smf_track>& tracks,
                                         std::int64_t end_tick) {
  std::vector<std::uint8_t> out{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
  out.push_back(std::uint8_t(tracks.size() >> 8));
  out.push_back(std::uint8_t(tracks.size()));
  out.push_back(std::uint8_t(ticks_per_quarter >> 8));
  out.push_back(std::uint8_t(ticks_per_quarter));
  for (const smf_track& track : tracks) {
    const std::vector<std::uint8_t> chunk = track.chunk(end_tick);
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  return out;
}
