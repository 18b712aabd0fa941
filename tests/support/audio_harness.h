// Process set-up and bounded waiting for the playback and audio tests.
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "spc.h"

// Name the playback engine gives its thread.
inline constexpr const char* playback_thread_name = "spc-playback";

// A file of the shared corpus of real SPC files, read by the program's own
// reader; null when the corpus or the file is absent (tests skip then).
std::shared_ptr<const spc_format> corpus_image(const std::string& name);

// The 66048 bytes of `image`, as the emulation library is given them.
std::vector<std::uint8_t> image_bytes(const spc_format& image);

// Points HOME at a temporary folder whose .libao holds `config`; libao reads
// it at its next initialisation. The folder is removed at process exit.
void use_libao_config(const std::string& config);

// How many threads of this process carry `name` (from /proc/self/task).
int threads_named(const std::string& name);

// Checks `done` every 5 ms for at most `seconds`; returns its last answer.
bool wait_until(const std::function<bool()>& done, double seconds);

// Seconds on the monotonic clock.
double now_seconds();
void sleep_seconds(double seconds);

// This process's virtual memory size in KiB (VmSize in /proc/self/status).
long vm_size_kib();

// Ends the process with `what` on standard error when still alive after
// `seconds`: a hang fails the test program instead of blocking it.
class hang_guard {
 public:
  hang_guard(double seconds, std::string what);
  ~hang_guard();
  hang_guard(const hang_guard&) = delete;
  hang_guard& operator=(const hang_guard&) = delete;

 private:
  struct impl;
  std::unique_ptr<impl> impl_;
};
