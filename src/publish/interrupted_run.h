// A command-line run that writes files ends at once on SIGINT, SIGTERM or
// SIGHUP, with exit status 128 + the signal's number, and leaves only whole
// files: it removes the temporary being written (pending_file) and the
// folders the run made that are still empty (run_folder). The window never
// makes one: it cancels its own work. No GTK.
//
// The signals are blocked in every thread and taken by a thread of the
// run's own (a signalfd), which does the removing with ordinary calls
// under the lock the writers hold while they change what it removes.
#pragma once

#include <signal.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

class interrupted_run {
 public:
  // Blocks the signals (a signal the process was started ignoring stays
  // ignored) and starts the thread that waits for them; restores the
  // earlier signal mask after. Main thread only, one at a time, before the
  // run starts any thread (threads inherit the block).
  interrupted_run();
  ~interrupted_run();
  interrupted_run(const interrupted_run&) = delete;
  interrupted_run& operator=(const interrupted_run&) = delete;

  // For the publish layer's writers: while the lock is held a signal's
  // cleanup waits, so that it never sees a file half-published or a name
  // half-recorded. Any thread.
  std::unique_lock<std::mutex> hold() { return std::unique_lock<std::mutex>(mutex_); }

  // What a signal removes: the temporary file being written ("" for none),
  // and the folders the run made, outermost first (each only while empty).
  // Call holding the lock.
  void set_temporary(std::string path) { temporary_ = std::move(path); }
  void set_folders(std::vector<std::string> made) { folders_ = std::move(made); }

 private:
  // The waiting thread: on a signal, removes what is recorded and exits
  // the process; returns when the destructor says so through stop_fd_.
  void wait_for_signal() noexcept;

  sigset_t waited_;       // the signals taken (those not ignored at the start)
  sigset_t mask_before_;  // the calling thread's mask before the run
  int signal_fd_ = -1;
  int stop_fd_ = -1;      // an eventfd
  std::mutex mutex_;
  std::string temporary_;
  std::vector<std::string> folders_;
  std::thread waiter_;
};
