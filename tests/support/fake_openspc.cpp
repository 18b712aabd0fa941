#include "fake_openspc.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <mutex>

#include "openspc.h"

namespace {

// Like a library that keeps reading the caller's buffer, the fake keeps the
// pointer OSPC_Init was given and compares it with a copy at every OSPC_Run:
// an image freed while it plays shows up here (and under ASan).
struct fake_state {
  std::mutex mutex;
  fake_song next_song;
  fake_song song;
  long runs_done = 0;
  std::int64_t frames_done = 0;
  const std::uint8_t* image = nullptr;
  std::vector<std::uint8_t> image_copy;
  fake_openspc_counts counts;
};
fake_state fake;

std::atomic<unsigned> mute_mask{0};

struct renderer_gate {
  std::mutex mutex;
  std::condition_variable released;
  bool held = false;
};
renderer_gate gate;

std::int64_t thread_cpu_ns() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1000000000LL + now.tv_nsec;
}

}  // namespace

void fake_openspc_set_song(fake_song song) {
  std::lock_guard lock(fake.mutex);
  fake.next_song = song;
}

fake_openspc_counts fake_openspc_counts_now() {
  std::lock_guard lock(fake.mutex);
  return fake.counts;
}

void fake_openspc_reset() {
  std::lock_guard lock(fake.mutex);
  fake.next_song = fake_song{};
  fake.counts = fake_openspc_counts{};
}

std::vector<std::uint8_t> fake_openspc_last_image() {
  std::lock_guard lock(fake.mutex);
  return fake.image_copy;
}

extern "C" int OSPC_Init(void* buf, unsigned size) {
  std::lock_guard lock(fake.mutex);
  ++fake.counts.init_calls;
  fake.song = fake.next_song;
  fake.runs_done = 0;
  fake.frames_done = 0;
  fake.image = static_cast<const std::uint8_t*>(buf);
  fake.image_copy.assign(fake.image, fake.image + (buf != nullptr ? size : 0));
  return buf != nullptr ? 0 : -1;
}

extern "C" int OSPC_Run(int frames, short* buf, int size) {
  {
    std::lock_guard lock(fake.mutex);
    ++fake.counts.run_calls;
    ++fake.counts.runs_entered;
  }
  // Emulators and sound libraries reach cancellation points (poll, write,
  // sleeps) inside; a thread cancelled here never reaches runs_left.
  pthread_testcancel();
  std::lock_guard lock(fake.mutex);
  int bytes = 0;
  const bool ended = fake.song.runs >= 0 && fake.runs_done >= fake.song.runs;
  if (fake.image != nullptr && !ended) {
    if (std::memcmp(fake.image, fake.image_copy.data(), fake.image_copy.size()) != 0) {
      ++fake.counts.image_changes;
    }
    int count = std::min(fake.song.bytes_per_run, size) / OSPC_FRAME_BYTES;
    if (frames >= 0) count = std::min(count, frames);
    for (int i = 0; i < count; ++i) {
      const auto position = static_cast<short>((fake.frames_done + i) & 0x7FFF);
      buf[2 * i] = position;
      buf[2 * i + 1] = position;
    }
    fake.frames_done += count;
    ++fake.runs_done;
    bytes = count * OSPC_FRAME_BYTES;
  }
  fake.counts.run_thread_cpu_ns = thread_cpu_ns();
  ++fake.counts.runs_left;
  return bytes;
}

unsigned fake_openspc_mute_mask() { return mute_mask.load(); }

void fake_openspc_hold_renderers(bool held) {
  {
    std::lock_guard lock(gate.mutex);
    gate.held = held;
  }
  gate.released.notify_all();
}

extern "C" void OSPC_MuteVoices(unsigned mask) { mute_mask.store(mask & 0xFF); }

struct OSPC_Renderer {
  std::int64_t frames = 0;  // 0: no end
  std::int64_t done = 0;
};

extern "C" OSPC_Renderer* OSPC_RendererOpen(const void* buf, unsigned, unsigned, long long frames,
                                            long long) {
  if (buf == nullptr) return nullptr;
  return new OSPC_Renderer{frames > 0 ? frames : 0, 0};
}

extern "C" int OSPC_RendererRun(OSPC_Renderer* renderer, int frames, short* buf, int size) {
  {
    std::unique_lock lock(gate.mutex);
    gate.released.wait(lock, [] { return !gate.held; });
  }
  if (renderer == nullptr || buf == nullptr) return 0;
  std::int64_t count = size / OSPC_FRAME_BYTES;
  if (frames >= 0) count = std::min<std::int64_t>(count, frames);
  if (renderer->frames > 0) count = std::min(count, renderer->frames - renderer->done);
  if (count <= 0) return 0;
  for (std::int64_t i = 0; i < count; ++i) {
    const auto position = static_cast<short>((renderer->done + i) & 0x7FFF);
    buf[2 * i] = position;
    buf[2 * i + 1] = position;
  }
  renderer->done += count;
  return static_cast<int>(count * OSPC_FRAME_BYTES);
}

extern "C" void OSPC_RendererClose(OSPC_Renderer* renderer) { delete renderer; }
