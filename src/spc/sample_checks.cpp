#include "sample_checks.h"

#include "aram_regions.h"

const char* sample_warning_text(sample_warning warning) {
  switch (warning) {
    case sample_warning::loop_off_grid: return "loop off block grid";
    case sample_warning::loop_outside: return "loop outside sample";
    case sample_warning::no_end: return "no end flag";
    case sample_warning::low_ram: return "starts below 0x0200";
    case sample_warning::overlaps_directory: return "overlaps directory";
    case sample_warning::overlaps_echo: return "overlaps echo buffer";
  }
  return "";
}

std::vector<sample_warning> check_sample(const spc_format& spc, const brr_sample& sample) {
  std::vector<sample_warning> warnings;
  const aram_region bytes{sample.start,
                          static_cast<std::uint32_t>(sample.blocks.size()) * brr_block_bytes};
  if (sample.loops && !sample.loop_sample) {
    warnings.push_back(bytes.contains(sample.loop) ? sample_warning::loop_off_grid
                                                   : sample_warning::loop_outside);
  }
  if (!sample.ends) warnings.push_back(sample_warning::no_end);
  if (low_ram_region.contains(sample.start)) warnings.push_back(sample_warning::low_ram);
  if (bytes.overlaps(directory_region(spc)))
    warnings.push_back(sample_warning::overlaps_directory);
  if (const auto echo = echo_region(spc); echo && bytes.overlaps(*echo))
    warnings.push_back(sample_warning::overlaps_echo);
  return warnings;
}

std::vector<std::string> sample_warning_texts(const spc_format& spc, const brr_sample& sample) {
  std::vector<std::string> texts;
  for (const sample_warning warning : check_sample(spc, sample))
    texts.emplace_back(sample_warning_text(warning));
  return texts;
}
