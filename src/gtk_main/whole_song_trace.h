// The whole song's use of audio RAM, worked out off the main loop for the
// Audio RAM page: one full trace with the access record on (every pass of
// every wait loop run, as --access and --free run it), then the free ranges.
// It runs as a job of the window's background_tasks; the owner (the map)
// starts it per file, and a later start, a cancel or the owner's end drops
// the earlier result. The main loop never waits for it.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "aram_access.h"
#include "background_tasks.h"
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
  // Traces run as jobs of `tasks`, which outlive this; `landed` is called on
  // the main loop, never after the tracer is gone. GTK main thread only.
  whole_song_tracer(background_tasks& tasks, whole_song_landed landed)
      : tasks_(tasks), landed_(std::move(landed)) {}
  // Cancels what runs; its result is dropped. GTK main thread only.
  ~whole_song_tracer() { tasks_.cancel(task_kind::whole_song); }
  whole_song_tracer(const whole_song_tracer&) = delete;
  whole_song_tracer& operator=(const whole_song_tracer&) = delete;

  // Cancels any earlier trace and follows `image` for its song_length_of
  // (the tag's length and fade, or 180 s), as --free does by default.
  // Null: only the cancel. GTK main thread only.
  void start(std::shared_ptr<const spc_format> image);
  // Whether the latest start has yet to land. GTK main thread only.
  bool running() const { return tasks_.running(task_kind::whole_song); }

 private:
  static void on_ready(GObject* source, GAsyncResult* result, gpointer self) noexcept;

  background_tasks& tasks_;
  whole_song_landed landed_;
};
