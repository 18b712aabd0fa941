#include "audio_render.h"

#include <cstddef>

#include "audio_harness.h"
#include "openspc.h"

std::vector<short> render_current_song(double seconds) {
  const auto wanted = static_cast<std::size_t>(seconds * OSPC_SAMPLE_RATE) * 2;
  std::vector<short> out;
  std::vector<short> buffer(16000);
  while (out.size() < wanted) {
    const int bytes = OSPC_Run(-1, buffer.data(), 32000);
    if (bytes <= 0) break;
    out.insert(out.end(), buffer.begin(), buffer.begin() + bytes / 2);
  }
  if (out.size() > wanted) out.resize(wanted);
  return out;
}

std::vector<short> render_song(const spc_format& image, double seconds) {
  auto bytes = image_bytes(image);
  if (OSPC_Init(bytes.data(), static_cast<unsigned>(bytes.size())) != 0) return {};
  return render_current_song(seconds);
}
