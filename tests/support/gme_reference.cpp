#include "gme_reference.h"

#include <algorithm>
#include <memory>

// gme.h defines macros named check, require and byte: it comes last.
#include <gme/gme.h>

namespace {

struct emu_deleter {
  void operator()(Music_Emu* emu) const noexcept { gme_delete(emu); }
};

}  // namespace

std::vector<short> gme_reference_render(const spc_format& image, double seconds,
                                        unsigned mute_mask, std::size_t mute_from) {
  constexpr int rate = 32000;
  Music_Emu* opened = nullptr;
  if (gme_open_data(&image, sizeof image, &opened, rate) != nullptr) return {};
  const std::unique_ptr<Music_Emu, emu_deleter> emu(opened);
  gme_set_autoload_playback_limit(emu.get(), 0);
  gme_ignore_silence(emu.get(), 1);
  if (gme_start_track(emu.get(), 0) != nullptr) return {};
  const auto frames = static_cast<std::size_t>(seconds * rate);
  std::vector<short> out(frames * 2);
  const std::size_t before = std::min(mute_from, frames);
  if (before > 0) gme_play(emu.get(), static_cast<int>(before * 2), out.data());
  gme_mute_voices(emu.get(), static_cast<int>(mute_mask));
  // In pieces of at most a second, as a player would ask.
  for (std::size_t at = before; at < frames;) {
    const std::size_t count = std::min<std::size_t>(frames - at, rate);
    gme_play(emu.get(), static_cast<int>(count * 2), out.data() + at * 2);
    at += count;
  }
  return out;
}
