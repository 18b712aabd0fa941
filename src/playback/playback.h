// The playback engine: plays an SPC image through the emulation library
// (OSPC_Init/OSPC_Run) to the default libao device on a thread of its own.
// Nothing here touches GTK.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "spc.h"

struct ao_device;

// What spc_player::play managed.
enum class play_result {
  playing,          // a thread plays to the sound device
  no_audio_device,  // "Error opening audio device.": a thread runs, but nothing is heard
  no_thread,        // "Unable to create thread.": nothing runs
};

// Called on the playing thread when its song ends by itself (not when it is
// stopped), after its last audio went to the device. It must not block and
// must not touch GTK: it may post to a main loop.
using song_end_notifier = void (*)(void* data);

// What the playing thread publishes: reset by the owner's thread before a
// thread starts, written by that thread only.
struct playing_progress {
  std::atomic<std::uint64_t> frames_played{0};
  std::atomic<bool> song_ended{false};
};

// One player: at most one playing thread at a time, and the sound device it
// plays to (opened by the first play that can, closed with the player).
// Destroying the player stops and joins its thread, so a thread never
// outlives the emulator it runs in. Every member function except
// frames_played belongs to the thread that owns the player.
class spc_player {
 public:
  spc_player() = default;
  ~spc_player();
  spc_player(const spc_player&) = delete;
  spc_player& operator=(const spc_player&) = delete;

  // Starts playing `spc` from its beginning on a thread of its own, after
  // stopping any earlier playing thread. The thread keeps its own reference
  // to the image. Failures are also reported on stdout/stderr. Owner's thread.
  play_result play(std::shared_ptr<const spc_format> spc);

  // Cancels the playing thread and waits (about a quarter of a second at
  // most) for it to end; does nothing when no thread exists. Owner's thread.
  void stop();

  // Called when a song ends by itself; applies from the next play on.
  // Owner's thread.
  void set_song_end_notifier(song_end_notifier notify, void* data);

  // Whether the song of the last play ended by itself (its thread may still
  // wait to be joined by stop). Owner's thread.
  bool song_ended() const { return progress_.song_ended.load(); }

  // Stereo frames the thread of the last play has handed to the device so
  // far (or, without a device, paced out in real time). Any thread.
  std::uint64_t frames_played() const {
    return progress_.frames_played.load(std::memory_order_relaxed);
  }

  // Whether a playing thread was started and not yet joined by stop (or by
  // the stop inside play); stays true after the song ended by itself.
  // Owner's thread.
  bool thread_exists() const { return thread_exists_; }

 private:
  ao_device* device_ = nullptr;  // opened by the first play that can
  pthread_t thread_{};
  bool thread_exists_ = false;  // from a successful start until stop joins it
  song_end_notifier notify_song_end_ = nullptr;
  void* notify_data_ = nullptr;
  playing_progress progress_;
};
