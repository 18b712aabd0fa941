// The window's work off the main loop: every job (the song's trace, stems,
// a sample or kit export, the whole song's use of audio RAM) runs as a GTask on GLib's thread pool with a
// GCancellable from here, one per kind of job. Starting a job cancels the
// one of its kind before; a cancelled job's result is dropped when it is
// delivered. The window owns one background_tasks and, on its way out,
// cancels everything and waits for the last result to be delivered.
// GTK main thread only.
#pragma once

#include <gio/gio.h>

#include <array>
#include <atomic>
#include <cstddef>

enum class task_kind { trace, stems, export_files, whole_song };

class background_tasks {
 public:
  background_tasks() = default;
  // Cancels and waits, as cancel_all_and_wait.
  ~background_tasks();
  background_tasks(const background_tasks&) = delete;
  background_tasks& operator=(const background_tasks&) = delete;

  // Cancels the job of `kind` still running and returns the cancellable of
  // the next one (owned here; give it to the job's _async function, whose
  // task takes its own reference), counting one more job in flight.
  GCancellable* start(task_kind kind);

  // Called first thing in every job's ready callback: one job fewer in
  // flight. Returns whether its result is wanted: false when it was
  // cancelled or superseded (the callback then touches nothing else), true
  // for an interrupted job.
  bool delivered(GAsyncResult* result);

  // Cancels the job of `kind`, if one runs; its result will be dropped.
  void cancel(task_kind kind);

  // Cancels the work of the job of `kind` (a Cancel button), which still
  // delivers what it did.
  void interrupt(task_kind kind);

  // Whether a job of `kind` was started and neither cancelled nor delivered.
  bool running(task_kind kind) const;

  // Whether every job started, cancelled ones included, has delivered.
  bool all_delivered() const { return in_flight_ == 0; }

  // Cancels every job and runs the main loop until each has delivered its
  // (dropped) result, so nothing of the window is used after this returns.
  // A cancelled job stops within one step of its work (a buffer of a stem,
  // a slice of the trace).
  void cancel_all_and_wait();

 private:
  static constexpr std::size_t kind_count = 4;
  std::array<GCancellable*, kind_count> current_{};  // owned; null: none started
  std::array<bool, kind_count> pending_{};  // the current job has yet to deliver
  int in_flight_ = 0;                       // jobs whose callbacks have yet to run
};

// The engine's cancel flag (song_trace, stems) raised when `cancellable` is
// cancelled, also before this was made. Lives on the job's thread for the
// length of the job. Any thread.
class cancel_flag {
 public:
  explicit cancel_flag(GCancellable* cancellable);
  ~cancel_flag();
  cancel_flag(const cancel_flag&) = delete;
  cancel_flag& operator=(const cancel_flag&) = delete;

  std::atomic<bool>* get() { return &raised_; }

 private:
  GCancellable* cancellable_;  // the task's, which outlives the job
  std::atomic<bool> raised_{false};
  gulong handler_ = 0;
};
