// OSPC_Init/OSPC_Run on top of libgme's SPC emulator. The song length and
// fade come from the ID666 tag (quorlin_spc reads both forms); the fade is
// applied here because libgme 0.6.3's own fade has a fixed length.
#include "openspc.h"

// gme.h defines macros named check, require, byte, likely and unlikely:
// it is included in this file only, and after everything else.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "id666.h"
#include "spc.h"

#include <gme/gme.h>

#define OSPC_API extern "C" __attribute__((visibility("default")))

namespace {

struct emu_deleter {
  void operator()(Music_Emu* emu) const noexcept { gme_delete(emu); }
};

// The song being rendered. Frames are stereo frames at OSPC_SAMPLE_RATE.
struct openspc_state {
  std::unique_ptr<Music_Emu, emu_deleter> emu;
  std::int64_t frames_played = 0;
  std::int64_t song_frames = 0;  // frames before the fade; 0: never ends
  std::int64_t fade_frames = 0;
};
openspc_state state;

// Length and fade of the tag, read from a zero-padded copy so that a short
// buffer is never read past its end.
void read_song_end(const void* buf, unsigned size) {
  auto image = std::make_unique<spc_format>();
  std::memcpy(image.get(), buf, std::min<std::size_t>(size, sizeof(spc_format)));
  const std::int64_t seconds = id666_song_seconds(*image);
  const std::int64_t fade_msec = std::max<std::int32_t>(id666_fade_msec(*image), 0);
  state.song_frames = seconds > 0 ? seconds * OSPC_SAMPLE_RATE : 0;
  state.fade_frames = state.song_frames > 0 ? fade_msec * OSPC_SAMPLE_RATE / 1000 : 0;
}

// Scales the frames at song positions [first, first + count) by the linear
// fade that runs from song_frames to song_frames + fade_frames.
void apply_fade(short* frames, std::int64_t first, int count) {
  const std::int64_t end = state.song_frames + state.fade_frames;
  // Most calls end before the fade starts and touch nothing.
  const auto fade_start = std::clamp<std::int64_t>(state.song_frames - first, 0, count);
  for (int i = static_cast<int>(fade_start); i < count; ++i) {
    const std::int64_t position = first + i;
    const std::int64_t left = end - position;  // 1 ... fade_frames
    for (int channel = 0; channel < 2; ++channel) {
      short& sample = frames[2 * i + channel];
      sample = static_cast<short>(sample * left / state.fade_frames);
    }
  }
}

}  // namespace

OSPC_API int OSPC_Init(void* buf, unsigned size) {
  state = openspc_state{};
  if (buf == nullptr) return -1;
  try {
    read_song_end(buf, size);
  } catch (const std::bad_alloc&) {
    return -2;
  }
  Music_Emu* opened = nullptr;
  if (gme_open_data(buf, size, &opened, OSPC_SAMPLE_RATE) != nullptr) return -3;
  std::unique_ptr<Music_Emu, emu_deleter> emu(opened);
  // With the automatic limit on, a tagged song makes libgme divide by zero
  // when it reaches the tagged length at this sample rate; the end is ours.
  gme_set_autoload_playback_limit(emu.get(), 0);
  // A quiet passage is not the end of the song.
  gme_ignore_silence(emu.get(), 1);
  if (gme_start_track(emu.get(), 0) != nullptr) return -4;
  state.emu = std::move(emu);
  return 0;
}

OSPC_API int OSPC_Run(int frames, short* buf, int size) {
  if (!state.emu || buf == nullptr || size < OSPC_FRAME_BYTES) return 0;
  std::int64_t count = size / OSPC_FRAME_BYTES;
  if (frames >= 0) count = std::min<std::int64_t>(count, frames);
  if (state.song_frames > 0) {
    count = std::min(count, state.song_frames + state.fade_frames - state.frames_played);
  }
  if (count <= 0) return 0;
  if (gme_play(state.emu.get(), static_cast<int>(count * 2), buf) != nullptr) return -1;
  if (state.song_frames > 0) apply_fade(buf, state.frames_played, static_cast<int>(count));
  state.frames_played += count;
  return static_cast<int>(count * OSPC_FRAME_BYTES);
}
