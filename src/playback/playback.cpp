// The playback engine: a thread renders the song through the emulation
// library (OSPC_Init/OSPC_Run) and writes it to the libao device; Play starts
// it, Stop cancels and joins it. The player owns the thread and the device;
// the thread owns its playing_context.
#include <ao/ao.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <vector>

#include "openspc.h"
#include "playback.h"

namespace {

constexpr int pcm_buffer_bytes = 32000;  // 0.25 s of 16-bit stereo at 32000 Hz
constexpr long bytes_per_second = OSPC_SAMPLE_RATE * OSPC_FRAME_BYTES;

// Sound the device keeps queued beyond the write in progress. libao's ALSA
// and PulseAudio drivers queue 20 ms unless told otherwise: a playing thread
// held up longer than that (a busy machine) lets the device run dry, and the
// song stutters.
//
// ALSA (Debian's default driver, which reaches PulseAudio or PipeWire
// through their ALSA plugin) wakes the thread whenever a period has played.
// Two periods of 60 ms keep at least 60 ms queued for a thread that comes
// back late, and wake it 17 times a second instead of the 67 times of
// 15 ms periods: the wake-ups, not the emulation, were most of the CPU time
// playing cost (docs/performance.md). period_time is in microseconds.
//
// The PulseAudio driver takes no period, and works out its queue's size as
// milliseconds * 1000 * rate in an int, which wraps above 67 ms at 32000 Hz
// (and then queues half a minute): 60 ms there.
struct device_queue_options {
  const char* buffer_ms;
  const char* period_us;  // null: the driver chooses
};
constexpr device_queue_options alsa_queue{"120", "60000"};
constexpr device_queue_options other_queue{"60", nullptr};

// Owned by one playing thread, released when it ends (or by
// spc_player::play when the thread could not be started).
struct playing_context {
  std::shared_ptr<const spc_format> spc;  // keeps the image alive while it plays
  ao_device* device;                      // null: render and discard, in real time
  song_end_notifier notify_song_end;      // as set when the thread started
  void* notify_data;
  playing_progress* progress;             // the player's, which joins the thread before it goes
  std::vector<short> pcm;
};

struct ao_options_free {
  void operator()(ao_option* options) const { ao_free_options(options); }
};
using ao_options_ptr = std::unique_ptr<ao_option, ao_options_free>;

ao_device* init_audio_output() {
  ao_initialize();
  ao_sample_format format{};
  format.bits = 16;
  format.rate = OSPC_SAMPLE_RATE;
  format.channels = 2;
  format.byte_format = AO_FMT_LITTLE;
  format.matrix = nullptr;
  const int driver = ao_default_driver_id();
  const ao_info* info = driver < 0 ? nullptr : ao_driver_info(driver);
  const bool alsa = info != nullptr && std::strcmp(info->short_name, "alsa") == 0;
  const device_queue_options& queue = alsa ? alsa_queue : other_queue;
  // Drivers without these options (null, for one) ignore them.
  ao_option* list = nullptr;
  ao_append_option(&list, "buffer_time", queue.buffer_ms);
  if (queue.period_us != nullptr) ao_append_option(&list, "period_time", queue.period_us);
  const ao_options_ptr options(list);
  ao_device* device = driver < 0 ? nullptr : ao_open_live(driver, &format, options.get());
  // Shut down again so that the next Play starts over from the
  // configuration: a sound server started since, an edited ~/.libao.
  if (device == nullptr) ao_shutdown();
  return device;
}

// The playing thread runs with cancellation disabled and enables it only at
// the two points below. Cancelled inside the emulator, ALSA or PulseAudio, it
// could leave one of their locks held and the next Play would hang on it.
void cancellation_point() {
  int previous;
  pthread_setcancelstate(PTHREAD_CANCEL_ENABLE, &previous);
  pthread_testcancel();
  pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &previous);
}

// Real-time pace for audio that goes nowhere (no device, or the device
// refused it), so the thread neither burns a core nor runs ahead of a Stop.
// Buffer end times are counted from the previous one, so the pace does not drift.
class real_time_pace {
 public:
  void restart() { clock_gettime(CLOCK_MONOTONIC, &next_); }

  // Sleeps until `bytes` of audio after the previous mark would have played;
  // Stop may end the thread during the sleep.
  void wait_out(int bytes) {
    const long long nanoseconds = bytes * 1000000000LL / bytes_per_second;
    next_.tv_nsec += static_cast<long>(nanoseconds % 1000000000LL);
    next_.tv_sec += static_cast<time_t>(nanoseconds / 1000000000LL + next_.tv_nsec / 1000000000L);
    next_.tv_nsec %= 1000000000L;
    int previous;
    pthread_setcancelstate(PTHREAD_CANCEL_ENABLE, &previous);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next_, nullptr) == EINTR) {
    }
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &previous);
  }

 private:
  timespec next_{};
};

// Not noexcept: cancellation unwinds through here (glibc implements it as a
// forced unwind, which must not be caught without rethrowing).
void play_until_end(playing_context& context) {
  try {
    context.pcm.resize(pcm_buffer_bytes / sizeof(short));
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    std::perror("Unable to allocate memory.");
    return;
  }
  // Every Play starts the song over. The library only reads the image; its
  // C signature is not const. No image leaves the library without a song.
  const spc_format* image = context.spc.get();
  OSPC_Init(const_cast<spc_format*>(image), image != nullptr ? spc_image_size : 0);

  real_time_pace pace;
  pace.restart();
  for (;;) {
    cancellation_point();
    const int bytes = OSPC_Run(-1, context.pcm.data(), pcm_buffer_bytes);
    if (bytes <= 0) break;
    const bool played =
        context.device != nullptr &&
        ao_play(context.device, reinterpret_cast<char*>(context.pcm.data()),
                static_cast<uint_32>(bytes)) != 0;
    if (played) {
      pace.restart();  // the device's own blocking keeps the pace
    } else {
      pace.wait_out(bytes);
    }
    context.progress->frames_played.fetch_add(static_cast<std::uint64_t>(bytes / OSPC_FRAME_BYTES),
                                     std::memory_order_relaxed);
  }
  context.progress->song_ended.store(true);
  if (context.notify_song_end != nullptr) context.notify_song_end(context.notify_data);
}

void spc_player_cleanup(void* arg) {
  delete static_cast<playing_context*>(arg);
}

void* spc_playing_thread(void* arg) {
  int previous;
  pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &previous);
  pthread_setname_np(pthread_self(), "spc-playback");
  // Runs on the normal end (pop with 1) and when Stop cancels the thread.
  pthread_cleanup_push(spc_player_cleanup, arg);
  play_until_end(*static_cast<playing_context*>(arg));
  pthread_cleanup_pop(1);
  return nullptr;
}

}  // namespace

spc_player::~spc_player() {
  stop();
  if (device_ != nullptr) ao_close(device_);
}

play_result spc_player::play(std::shared_ptr<const spc_format> spc) {
  if (device_ == nullptr) {
    device_ = init_audio_output();
    if (device_ == nullptr) {
      std::fputs("Error opening audio device.\n", stdout);
      std::fflush(stdout);
    }
  }
  if (thread_exists_) stop();

  progress_.frames_played.store(0);
  progress_.song_ended.store(false);
  std::unique_ptr<playing_context> context(new (std::nothrow) playing_context{
      std::move(spc), device_, notify_song_end_, notify_data_, &progress_, {}});
  const int error =
      context ? pthread_create(&thread_, nullptr, spc_playing_thread, context.get()) : ENOMEM;
  if (error != 0) {
    errno = error;
    std::perror("Unable to create thread.");
    return play_result::no_thread;
  }
  context.release();  // the thread owns it now
  thread_exists_ = true;
  return device_ != nullptr ? play_result::playing : play_result::no_audio_device;
}

void spc_player::stop() {
  if (!thread_exists_) return;
  pthread_cancel(thread_);
  pthread_join(thread_, nullptr);
  thread_exists_ = false;
}

void spc_player::set_song_end_notifier(song_end_notifier notify, void* data) {
  notify_song_end_ = notify;
  notify_data_ = data;
}
