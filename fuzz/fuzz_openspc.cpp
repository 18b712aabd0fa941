// Any image with a valid signature through the emulation library: set up,
// then a bounded amount of rendering (four quarter-second buffers).

#include <algorithm>
#include <cstring>
#include <vector>

#include "openspc.h"
#include "spc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> image(spc_image_size, 0);
  std::memcpy(image.data(), data, std::min(size, image.size()));
  std::memcpy(image.data(), spc_signature, spc_signature_size);
  if (OSPC_Init(image.data(), static_cast<unsigned>(image.size())) != 0) return 0;
  std::vector<short> pcm(16000);
  for (int i = 0; i < 4; ++i) {
    const int bytes = OSPC_Run(-1, pcm.data(), static_cast<int>(pcm.size() * sizeof(short)));
    if (bytes <= 0) break;
    if (bytes % 4 != 0 || bytes > 32000) __builtin_trap();
  }
  return 0;
}
