#include "aram_layout.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <set>

#include "brr.h"
#include "dsp_registers.h"

namespace {

constexpr u8 control_ipl_rom_on = 0x80;

void mark(aram_layout& layout, const aram_region& region, u8 bit) {
  for (std::uint32_t i = 0; i < region.size && i < aram_size; ++i)
    layout.areas[(region.start + i) & 0xFFFF] |= bit;
}

// Fills sample_count and first_sample in one sweep over audio RAM: each
// entry enters the active set where its blocks begin and leaves where they
// end (a chain past FFFF as two stretches; one longer than audio RAM wraps
// onto itself and covers every byte once). Long chains cost no more than
// short ones, which matters for junk entries.
void count_samples(aram_layout& layout) {
  struct change {
    std::uint32_t address;
    bool enters;
    std::int16_t index;
  };
  std::vector<change> changes;
  for (std::size_t i = 0; i < layout.samples.size(); ++i) {
    const auto index = static_cast<std::int16_t>(i);
    const aram_region& blocks = layout.samples[i].blocks;
    const std::uint32_t end = blocks.start + std::min(blocks.size, aram_size);
    changes.push_back({blocks.start, true, index});
    if (end <= aram_size) {
      changes.push_back({end, false, index});
    } else {
      changes.push_back({0, true, index});
      changes.push_back({end - aram_size, false, index});
    }
  }
  std::sort(changes.begin(), changes.end(), [](const change& a, const change& b) {
    return a.address != b.address ? a.address < b.address : !a.enters && b.enters;
  });
  std::multiset<std::int16_t> active;
  auto next = changes.begin();
  for (std::uint32_t a = 0; a < aram_size; ++a) {
    for (; next != changes.end() && next->address == a; ++next) {
      if (next->enters)
        active.insert(next->index);
      else
        active.erase(active.find(next->index));
    }
    layout.sample_count[a] = static_cast<u8>(std::min<std::size_t>(active.size(), 255));
    layout.first_sample[a] = active.empty() ? std::int16_t{-1} : *active.begin();
  }
}

}  // namespace

aram_fill aram_layout::fill_at(std::uint32_t address) const {
  const std::uint32_t a = address & 0xFFFF;
  const u8 area = areas[a];
  if (sample_count[a] > 1 ||
      (sample_count[a] == 1 && (area & (aram_area_directory | aram_area_echo))))
    return aram_fill::overlap;
  if (sample_count[a] == 1) return aram_fill::sample;
  if (area & aram_area_ipl_rom) return aram_fill::ipl_rom;
  if (area & aram_area_directory) return aram_fill::directory;
  if (area & aram_area_echo) return aram_fill::echo;
  if (area & aram_area_low_ram) return aram_fill::low_ram;
  return aram_fill::value;
}

std::vector<int> aram_layout::samples_at(std::uint32_t address) const {
  std::vector<int> numbers;
  const std::uint32_t a = address & 0xFFFF;
  if (sample_count[a] == 0) return numbers;
  for (std::size_t i = static_cast<std::size_t>(first_sample[a]); i < samples.size(); ++i)
    if (samples[i].blocks.contains(a)) numbers.push_back(samples[i].sample_number);
  return numbers;
}

std::unique_ptr<aram_layout> make_aram_layout(const spc_format& spc) {
  std::unique_ptr<aram_layout> layout(new (std::nothrow) aram_layout);
  std::int32_t count = 0;
  std::unique_ptr<sample_chart[]> chart;
  if (layout) generate_sample_chart(spc, count, chart);
  if (!layout || (count > 0 && !chart)) {
    std::perror("Unable to allocate memory for the audio RAM map\n");
    return nullptr;
  }

  std::copy(spc.aram, spc.aram + aram_size, layout->value.begin());
  layout->program_counter = spc.reg_pc;
  mark(*layout, low_ram_region, aram_area_low_ram);
  mark(*layout, directory_region(spc), aram_area_directory);
  if (const auto echo = echo_region(spc)) mark(*layout, *echo, aram_area_echo);
  if (spc.aram[0xF1] & control_ipl_rom_on) mark(*layout, ipl_rom_region, aram_area_ipl_rom);

  for (std::int32_t row = 0; row < count; ++row) {
    if (chart[row].sample_length >= brr_endless_chain_bytes) continue;
    layout->samples.push_back(
        {chart[row].sample_number,
         {chart[row].sample_address, static_cast<std::uint32_t>(chart[row].sample_length)}});
  }
  count_samples(*layout);
  return layout;
}

aram_map_geometry aram_map_geometry::fit(int width, int height) {
  return {std::max(1, std::min(width, height) / 256)};
}

std::optional<u16> aram_map_geometry::address_at(double x, double y) const {
  if (x < 0 || y < 0 || x >= side() || y >= side()) return std::nullopt;
  const int column = static_cast<int>(x) / cell;
  const int row = static_cast<int>(y) / cell;
  return static_cast<u16>(row << 8 | column);
}
