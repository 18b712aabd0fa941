#include "free_space.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <utility>

#include "aram_access.h"
#include "aram_regions.h"
#include "brr.h"
#include "dsp_registers.h"

namespace {

constexpr std::uint32_t aram_bytes = 0x10000;
constexpr aram_region io_registers{0x00F0, 0x10};
constexpr aram_region ipl_rom_window{0xFFC0, 0x40};
constexpr u16 control_register = 0x00F1;
constexpr u8 control_ipl_rom_on = 0x80;

void claim(std::vector<bool>& claimed, const aram_region& region) {
  for (std::uint32_t k = 0; k < region.size && k < aram_bytes; ++k)
    claimed[(region.start + k) & 0xFFFF] = true;
}

// The chain's blocks from `start`, as the DSP walks them over the image.
void claim_chain(std::vector<bool>& claimed, const spc_format& image, u16 start, u16 loop) {
  const brr_sample chain = brr_walk_chain(image, start, loop);
  for (const brr_block& block : chain.blocks) claim(claimed, {block.address, brr_block_bytes});
  // The DSP goes on from the loop address, wherever it points.
  if (chain.loops && loop != start) {
    for (const brr_block& block : brr_walk_chain(image, loop, loop).blocks)
      claim(claimed, {block.address, brr_block_bytes});
  }
}

// The echo buffer's extent from ESA and EDL alone: a driver may turn echo
// writes on at any time.
aram_region echo_buffer(const spc_format& image) {
  const std::uint32_t delay = image.dsp_registers[r_echo_delay] & 0x0F;
  return {std::uint32_t(image.dsp_registers[r_echo_start]) * 0x100,
          delay == 0 ? 4u : delay * 0x800};
}

}  // namespace

std::vector<bool> aram_claimed_by_song(const spc_format& image, const song_trace& trace,
                                       const aram_access_record& access) {
  std::vector<bool> claimed(aram_bytes, false);
  for (std::uint32_t a = 0; a < aram_bytes; ++a)
    if (access.touched(u16(a))) claimed[a] = true;

  // Each (start, loop) pair walked once: a song keys the same few on often.
  std::set<std::pair<u16, u16>> played;
  for (const trace_event& e : trace.events)
    if (e.kind == trace_event_kind::key_on) played.insert({e.start, e.loop});
  for (int v = 0; v < dsp_voice_count; ++v) {
    if (image.dsp_registers[v * 0x10 + v_envx] == 0) continue;
    const directory_entry entry =
        read_directory_entry(image, image.dsp_registers[v * 0x10 + v_source]);
    played.insert({entry.start, entry.loop});
  }
  for (const auto& [start, loop] : played) claim_chain(claimed, image, start, loop);

  claim(claimed, directory_region(image));
  claim(claimed, echo_buffer(image));
  claim(claimed, io_registers);
  if (image.aram[control_register] & control_ipl_rom_on) claim(claimed, ipl_rom_window);
  return claimed;
}

std::vector<free_range> free_ranges(const std::vector<bool>& claimed) {
  std::vector<free_range> ranges;
  std::uint32_t a = 0;
  while (a < aram_bytes) {
    if (claimed[a]) {
      ++a;
      continue;
    }
    const std::uint32_t start = a;
    while (a < aram_bytes && !claimed[a]) ++a;
    ranges.push_back({u16(start), u16(a - 1), a - start});
  }
  std::stable_sort(ranges.begin(), ranges.end(),
                   [](const free_range& x, const free_range& y) { return x.bytes > y.bytes; });
  return ranges;
}

std::vector<free_range> free_ranges_of_song(const spc_format& image, const song_trace& trace,
                                            const aram_access_record& access) {
  return free_ranges(aram_claimed_by_song(image, trace, access));
}

std::string free_range_text(const free_range& range) {
  char size[32];
  if (range.bytes < 1024) {
    std::snprintf(size, sizeof size, "%u B", unsigned(range.bytes));
  } else {
    const double kib = range.bytes / 1024.0;
    const bool whole = range.bytes % 1024 == 0;
    std::snprintf(size, sizeof size, whole ? "%.0f KiB" : "%.1f KiB", kib);
  }
  char text[64];
  std::snprintf(text, sizeof text, "%04X\u2013%04X (%s)", unsigned(range.start),
                unsigned(range.end), size);
  return text;
}
