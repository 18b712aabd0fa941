#include "aram_regions.h"

#include "dsp_registers.h"

aram_region directory_region(const spc_format& spc) {
  return {static_cast<std::uint32_t>(spc.dsp_registers[r_directory]) * 0x100, 0x400};
}

directory_entry read_directory_entry(const spc_format& spc, int index) {
  const std::uint32_t at = directory_region(spc).start + 4u * static_cast<std::uint32_t>(index);
  const auto byte = [&](std::uint32_t offset) { return spc.aram[(at + offset) & 0xFFFF]; };
  return {static_cast<u16>(byte(0) | byte(1) << 8), static_cast<u16>(byte(2) | byte(3) << 8)};
}

std::optional<aram_region> echo_region(const spc_format& spc) {
  if (spc.dsp_registers[r_flags] & flg_echo_writes_off) return std::nullopt;
  const std::uint32_t delay = spc.dsp_registers[r_echo_delay] & 0x0F;
  return aram_region{static_cast<std::uint32_t>(spc.dsp_registers[r_echo_start]) * 0x100,
                     delay == 0 ? 4u : delay * 0x800};
}
