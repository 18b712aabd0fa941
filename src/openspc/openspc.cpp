// OSPC_Init/OSPC_Run on top of libgme's SPC emulator. The song length and
// fade come from the ID666 tag (quorlin_spc reads both forms); the fade is
// applied here because libgme 0.6.3's own fade has a fixed length.
#include "openspc.h"

// gme.h defines macros named check, require, byte, likely and unlikely:
// it is included in this file only, and after everything else.
#include <algorithm>
#include <atomic>
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

// One song being rendered. Frames are stereo frames at OSPC_SAMPLE_RATE.
struct song_render {
  std::unique_ptr<Music_Emu, emu_deleter> emu;
  std::int64_t frames_played = 0;
  std::int64_t end_frames = 0;   // 0: never ends
  std::int64_t fade_frames = 0;  // the last frames before the end, fading out
  unsigned muted = 0;            // the mask the emulator has now
};

// The song OSPC_Run plays, and the mask waiting for its next buffer.
song_render state;
std::atomic<unsigned> requested_mute{0};

// Opens `buf` in libgme, ready to play from the start.
std::unique_ptr<Music_Emu, emu_deleter> open_emulator(const void* buf, unsigned size) {
  Music_Emu* opened = nullptr;
  if (gme_open_data(buf, size, &opened, OSPC_SAMPLE_RATE) != nullptr) return nullptr;
  std::unique_ptr<Music_Emu, emu_deleter> emu(opened);
  // With the automatic limit on, a tagged song makes libgme divide by zero
  // when it reaches the tagged length at this sample rate; the end is ours.
  gme_set_autoload_playback_limit(emu.get(), 0);
  // A quiet passage is not the end of the song.
  gme_ignore_silence(emu.get(), 1);
  if (gme_start_track(emu.get(), 0) != nullptr) return nullptr;
  return emu;
}

void mute(song_render& song, unsigned mask) {
  mask &= 0xFF;
  if (mask == song.muted) return;
  gme_mute_voices(song.emu.get(), static_cast<int>(mask));
  song.muted = mask;
}

// The tag's length and fade, read from a zero-padded copy so that a short
// buffer is never read past its end: length then fade, or no end.
void read_song_end(song_render& song, const void* buf, unsigned size) {
  auto image = std::make_unique<spc_format>();
  std::memcpy(image.get(), buf, std::min<std::size_t>(size, sizeof(spc_format)));
  const std::int64_t seconds = id666_song_seconds(*image);
  const std::int64_t fade_msec = std::max<std::int32_t>(id666_fade_msec(*image), 0);
  if (seconds <= 0) return;
  song.fade_frames = fade_msec * OSPC_SAMPLE_RATE / 1000;
  song.end_frames = seconds * OSPC_SAMPLE_RATE + song.fade_frames;
}

// Scales the frames at song positions [first, first + count) by the linear
// fade over the song's last fade_frames.
void apply_fade(const song_render& song, short* frames, std::int64_t first, int count) {
  // Most calls end before the fade starts and touch nothing.
  const auto fade_start =
      std::clamp<std::int64_t>(song.end_frames - song.fade_frames - first, 0, count);
  for (int i = static_cast<int>(fade_start); i < count; ++i) {
    const std::int64_t left = song.end_frames - (first + i);  // 1 ... fade_frames
    for (int channel = 0; channel < 2; ++channel) {
      short& sample = frames[2 * i + channel];
      sample = static_cast<short>(sample * left / song.fade_frames);
    }
  }
}

int run(song_render& song, int frames, short* buf, int size) {
  if (!song.emu || buf == nullptr || size < OSPC_FRAME_BYTES) return 0;
  std::int64_t count = size / OSPC_FRAME_BYTES;
  if (frames >= 0) count = std::min<std::int64_t>(count, frames);
  if (song.end_frames > 0) count = std::min(count, song.end_frames - song.frames_played);
  if (count <= 0) return 0;
  if (gme_play(song.emu.get(), static_cast<int>(count * 2), buf) != nullptr) return -1;
  if (song.fade_frames > 0) apply_fade(song, buf, song.frames_played, static_cast<int>(count));
  song.frames_played += count;
  return static_cast<int>(count * OSPC_FRAME_BYTES);
}

}  // namespace

struct OSPC_Renderer {
  song_render song;
};

OSPC_API int OSPC_Init(void* buf, unsigned size) {
  state = song_render{};
  if (buf == nullptr) return -1;
  song_render song;
  try {
    read_song_end(song, buf, size);
  } catch (const std::bad_alloc&) {
    return -2;
  }
  song.emu = open_emulator(buf, size);
  if (!song.emu) return -3;
  mute(song, requested_mute.load());
  state = std::move(song);
  return 0;
}

OSPC_API int OSPC_Run(int frames, short* buf, int size) {
  // Between buffers: the mask changes where a buffer starts, never inside one.
  if (state.emu) mute(state, requested_mute.load());
  return run(state, frames, buf, size);
}

OSPC_API void OSPC_MuteVoices(unsigned mask) { requested_mute.store(mask & 0xFF); }

OSPC_API OSPC_Renderer* OSPC_RendererOpen(const void* buf, unsigned size, unsigned mute_mask,
                                          long long frames, long long fade_frames) {
  if (buf == nullptr) return nullptr;
  std::unique_ptr<OSPC_Renderer> renderer(new (std::nothrow) OSPC_Renderer);
  if (!renderer) return nullptr;
  song_render& song = renderer->song;
  song.emu = open_emulator(buf, size);
  if (!song.emu) return nullptr;
  mute(song, mute_mask);
  if (frames > 0) {
    song.end_frames = frames;
    song.fade_frames = std::clamp<std::int64_t>(fade_frames, 0, frames);
  }
  return renderer.release();
}

OSPC_API int OSPC_RendererRun(OSPC_Renderer* renderer, int frames, short* buf, int size) {
  return renderer != nullptr ? run(renderer->song, frames, buf, size) : 0;
}

OSPC_API void OSPC_RendererClose(OSPC_Renderer* renderer) { delete renderer; }
