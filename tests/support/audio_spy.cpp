#include "audio_spy.h"

#include <ao/ao.h>
#include <dlfcn.h>

#include <cstring>
#include <ctime>
#include <mutex>

namespace {

struct spy_state {
  std::mutex mutex;
  spy_device device = spy_device::passes_on;
  audio_spy_counts counts;
  int next_position = 0;  // position (mod 32768) the next write should start at
};
spy_state spy;

using ao_play_function = int (*)(ao_device*, char*, uint_32);

// A write continues the song when its frames count on from the previous
// write; a song that starts over begins at 0 again.
bool continues_song(const char* samples, uint_32 bytes) {
  const auto frames = bytes / 4;
  for (uint_32 i = 0; i < frames; ++i) {
    short left = 0;
    short right = 0;
    std::memcpy(&left, samples + 4 * i, 2);
    std::memcpy(&right, samples + 4 * i + 2, 2);
    if (i == 0 && left == 0) spy.next_position = 0;
    if (left != spy.next_position || right != left) return false;
    spy.next_position = (spy.next_position + 1) & 0x7FFF;
  }
  return bytes % 4 == 0;
}

}  // namespace

void audio_spy_set(spy_device device) {
  std::lock_guard lock(spy.mutex);
  spy.device = device;
}

audio_spy_counts audio_spy_counts_now() {
  std::lock_guard lock(spy.mutex);
  return spy.counts;
}

void audio_spy_reset() {
  std::lock_guard lock(spy.mutex);
  spy.device = spy_device::passes_on;
  spy.counts = audio_spy_counts{};
  spy.next_position = 0;
}

extern "C" int ao_play(ao_device* device, char* samples, uint_32 num_bytes) {
  spy_device mode;
  {
    std::lock_guard lock(spy.mutex);
    ++spy.counts.calls;
    ++spy.counts.entered;
    spy.counts.bytes += num_bytes;
    if (!continues_song(samples, num_bytes)) ++spy.counts.pattern_breaks;
    mode = spy.device;
  }
  int result = 1;
  if (mode == spy_device::held_up) {
    timespec delay{0, 30'000'000};
    while (nanosleep(&delay, &delay) != 0) {
    }
  }
  if (mode == spy_device::real_time) {
    // nanosleep is a cancellation point, as the poll inside a PulseAudio
    // write is.
    const long long nanoseconds = num_bytes * 1000000000LL / 128000;
    timespec duration{static_cast<time_t>(nanoseconds / 1000000000LL),
                      static_cast<long>(nanoseconds % 1000000000LL)};
    while (nanosleep(&duration, &duration) != 0) {
    }
  } else if (mode == spy_device::refuses) {
    result = 0;
  } else {
    static const auto libao_play =
        reinterpret_cast<ao_play_function>(dlsym(RTLD_NEXT, "ao_play"));
    result = libao_play != nullptr ? libao_play(device, samples, num_bytes) : 0;
  }
  std::lock_guard lock(spy.mutex);
  ++spy.counts.left;
  return result;
}
