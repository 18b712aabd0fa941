// Any bytes as audio RAM (after four bytes for DIR, FLG, ESA and EDL): the
// first entries of the directory decoded, with their later loop passes, the
// warnings and the WAV and BRR files. Nothing may crash, hang or break what
// the decoder promises about sizes and loop positions.

#include <algorithm>
#include <cstring>

#include "brr.h"
#include "dsp_registers.h"
#include "sample_checks.h"
#include "sample_export.h"

namespace {

// Enough entries per input to reach any ARAM, few enough that chains of
// 65536 blocks stay quick.
constexpr std::int32_t entries_per_input = 8;

void check(bool promise) {
  if (!promise) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static spc_format image;
  if (size < 4) return 0;
  // Odd bytes everywhere the input does not reach: those blocks end at once.
  std::memset(image.aram, 0x01, sizeof image.aram);
  std::memset(image.dsp_registers, 0, sizeof image.dsp_registers);
  image.dsp_registers[r_directory] = data[0];
  image.dsp_registers[r_flags] = data[1];
  image.dsp_registers[r_echo_start] = data[2];
  image.dsp_registers[r_echo_delay] = data[3];
  std::memcpy(image.aram, data + 4, std::min<std::size_t>(size - 4, sizeof image.aram));

  std::int32_t count = 0;
  std::unique_ptr<sample_chart[]> chart;
  generate_sample_chart(image, count, chart);
  for (std::int32_t i = 0; chart && i < std::min(count, entries_per_input); ++i) {
    const brr_sample s = brr_decode_entry(image, chart[i]);
    check(s.pcm.size() == s.blocks.size() * brr_block_samples);
    check(std::all_of(s.pcm.begin(), s.pcm.end(), [](std::int16_t v) { return v % 2 == 0; }));
    check(s.ends || s.blocks.size() == brr_max_chain_blocks);
    if (s.loop_sample) check(s.loops && *s.loop_sample < s.pcm.size() && *s.loop_sample % 16 == 0);
    check_sample(image, s);
    const looped_pcm played = playable_pcm(image, s);
    check(!played.loop_start || *played.loop_start < played.pcm.size());
    check(wav_file_bytes(played).size() >= 44 + 2 * s.pcm.size());
    check(brr_file_bytes(image, s, true).size() % brr_block_bytes == 2);
  }
  return 0;
}
