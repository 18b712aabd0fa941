// The whole song's use of audio RAM, worked out off the main loop for the
// Audio RAM page: one full trace with the access record on (every pass of
// every wait loop run, as --access and --free run it), then the free ranges.
// The owner (the map) starts it per file; a later start, a cancel or the
// owner's end drops the earlier result. The main loop never waits for it.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "aram_access.h"
#include "free_space.h"
#include "spc.h"

// What the trace found: per byte, what the program did (counts and last
// CPU cycles), and the ranges it never touches, largest first.
struct whole_song_access {
  aram_access_record access;
  std::vector<free_range> free;
  std::int64_t samples = 0;  // how far the trace ran, in DSP samples
};

// Called on the main loop with the result of the latest start.
using whole_song_landed = std::function<void(std::shared_ptr<const whole_song_access> whole)>;

class whole_song_tracer {
 public:
  // `landed` is called on the main loop, never after the tracer is gone.
  // GTK main thread only.
  explicit whole_song_tracer(whole_song_landed landed);
  // Cancels what runs and joins its thread (the trace polls its cancel
  // flag, so this is quick). GTK main thread only.
  ~whole_song_tracer();
  whole_song_tracer(const whole_song_tracer&) = delete;
  whole_song_tracer& operator=(const whole_song_tracer&) = delete;

  // Cancels any earlier trace and follows `image` for its song_length_of
  // (the tag's length and fade, or 180 s), as --free does by default.
  // Null: only the cancel. GTK main thread only.
  void start(std::shared_ptr<const spc_format> image);
  // Whether the latest start has yet to land. GTK main thread only.
  bool running() const;

  struct job;  // shared with the thread; see whole_song_trace.cpp

 private:
  void join_finished();

  whole_song_landed landed_;
  std::shared_ptr<job> current_;
  std::vector<std::shared_ptr<job>> jobs_;  // every thread not yet joined
};
