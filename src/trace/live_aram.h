// The song's use of audio RAM as it is heard: a tracer that runs the
// snapshot on a thread of its own, in step with the playback position it is
// given, with the access record on, and after each step publishes what the
// program did lately and where each voice is. No GTK, no sound. The owner
// makes and ends it on one thread; take() from any one thread.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "aram_access.h"
#include "spc.h"

// What the tracer saw at one moment of the song.
struct live_aram_picture {
  enum access_kind : u8 { none, read, written, executed };
  std::int64_t sample = -1;  // the moment, in DSP samples from the snapshot; -1: none yet
  // Per byte: the DSP sample of the program's last access (-1: never) and
  // which it was (an execute over a write over a read at the same sample).
  std::array<std::int32_t, 0x10000> last_sample;
  std::array<access_kind, 0x10000> last_kind;
  // Per page of 256 bytes, the latest of its bytes' last_sample.
  std::array<std::int32_t, 0x100> page_last_sample;
  // Per voice: the address of the BRR block it decodes, -1 while silent.
  std::array<std::int32_t, 8> voice_block;
  // Which tracer painted it, at which CPU cycle (-1: none): a tracer paints
  // again only the pages touched since, in a picture of its own.
  std::uint64_t painter = 0;
  std::int64_t cycle = -1;

  live_aram_picture() { clear(); }
  void clear() {
    sample = -1;
    last_sample.fill(-1);
    last_kind.fill(none);
    page_last_sample.fill(-1);
    voice_block.fill(-1);
    painter = 0;
    cycle = -1;
  }
};

// How far the listener has heard, in DSP samples (32000 a second) since the
// play started. Called on the tracer's thread; must not block.
using heard_samples_clock = std::function<std::int64_t()>;

class live_aram_tracer {
 public:
  // Starts following `image` from its snapshot for `seconds`, never ahead
  // of `heard` (it waits) and as close behind as a step: 1/24 s. The
  // owner's thread.
  live_aram_tracer(std::shared_ptr<const spc_format> image, double seconds,
                   heard_samples_clock heard);
  // Cancels and joins (the tracer waits at most a step). The owner's thread.
  ~live_aram_tracer();
  live_aram_tracer(const live_aram_tracer&) = delete;
  live_aram_tracer& operator=(const live_aram_tracer&) = delete;

  // Swaps the latest picture into `into` (not null) when one came since the
  // last take; never waits for the tracer (false, too, when it holds the
  // picture just then). One thread.
  bool take(std::unique_ptr<live_aram_picture>& into);

 private:
  class pacer;
  void run(std::shared_ptr<const spc_format> image, double seconds) noexcept;
  void publish(const aram_access_record& access, std::int64_t cycle,
               const std::array<std::int32_t, 8>& voice_block);

  heard_samples_clock heard_;
  std::uint64_t id_;  // tells this tracer's pictures from another's
  std::atomic<bool> cancel_{false};
  std::mutex wake_mutex_;  // with wake_: the tracer's waits, cut short by the destructor
  std::condition_variable wake_;
  std::mutex picture_mutex_;  // guards front_ and fresh_
  std::unique_ptr<live_aram_picture> front_ = std::make_unique<live_aram_picture>();
  std::unique_ptr<live_aram_picture> back_ = std::make_unique<live_aram_picture>();
  bool fresh_ = false;
  std::thread thread_;
};
