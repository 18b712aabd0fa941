// The sample directory chart: one row per directory entry with a usable
// start address, and the BRR chain lengths behind its two addresses.
//
// ARAM addresses wrap at 16 bits, as the DSP's do, so a directory on page
// 0xFD ... 0xFF or a chain running off the top of ARAM continues at address
// 0 and nothing outside ARAM is ever read.

#include <cstdio>
#include <new>

#include "aram_regions.h"
#include "brr.h"
#include "spc.h"

namespace {

constexpr int directory_entries = 256;

u8 aram_at(const spc_format& spc, std::uint32_t address) {
  return spc.aram[address & 0xFFFF];
}

bool is_sample(const directory_entry& entry) {
  return entry.start != 0x0000 && entry.start != 0xFFFF;
}

}  // namespace

std::int32_t calculate_sample_length(const spc_format& spc, std::int32_t sample_address) {
  const auto start = static_cast<std::uint32_t>(sample_address);
  for (std::int32_t block = 0; block < brr_max_chain_blocks; ++block) {
    if (aram_at(spc, start + block * brr_block_bytes) & brr_end_flag)
      return (block + 1) * brr_block_bytes;
  }
  return brr_endless_chain_bytes;
}

void generate_sample_chart(const spc_format& spc, std::int32_t& out_num_samples,
                           std::unique_ptr<sample_chart[]>& out_chart) {
  std::int32_t count = 0;
  for (int k = 0; k < directory_entries; ++k)
    if (is_sample(read_directory_entry(spc, k))) ++count;
  out_num_samples = count;

  std::unique_ptr<sample_chart[]> chart(new (std::nothrow) sample_chart[count]());
  if (!chart) {
    std::perror("Unable to allocate memory for sample chart\n");
    return;
  }
  sample_chart* row = chart.get();
  for (int k = 0; k < directory_entries; ++k) {
    const directory_entry entry = read_directory_entry(spc, k);
    if (!is_sample(entry)) continue;
    *row++ = sample_chart{k + 1, entry.start, entry.loop,
                          calculate_sample_length(spc, entry.start),
                          calculate_sample_length(spc, entry.loop)};
  }
  out_chart = std::move(chart);
}
