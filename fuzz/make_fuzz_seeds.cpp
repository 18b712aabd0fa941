// Writes seed inputs for the fuzzers into a folder: images made by the test
// image builder (tags of both forms, a tone, full and wrapping directories).
//   make_fuzz_seeds DIR

#include <cstdio>

#include "spc_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  spc_builder().write_to(dir, "empty.spc");
  spc_builder().square_wave_tone().text_tag("Tone", "Seeds", "Quorlin", "3", "1000")
      .write_to(dir, "tone.spc");
  spc_builder().binary_tag("Binary", "Seeds", "Quorlin", 258, 18300).write_to(dir, "binary.spc");
  spc_builder full;
  for (int k = 0; k < 256; ++k) full.dir_entry(k, static_cast<u16>(0x1000 + 9 * k), 0x1000);
  full.brr_chain(0x1000, 300).write_to(dir, "full.spc");
  spc_builder().dir_page(0xFF).dir_entry(63, 0xFFF7, 0x0000).write_to(dir, "wrapping.spc");
  return 0;
}
