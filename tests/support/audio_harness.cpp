#include "audio_harness.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

#include "spc_builder.h"

namespace {

// One home per process, kept until exit (libao may read it at any Play).
temp_dir& test_home() {
  static temp_dir home;
  return home;
}

}  // namespace

std::shared_ptr<const spc_format> corpus_image(const std::string& name) {
  const std::string path = corpus_file(name);
  if (path.empty()) return nullptr;
  return read_spc_from_file(path.c_str());
}

std::vector<std::uint8_t> image_bytes(const spc_format& image) {
  const auto* raw = reinterpret_cast<const std::uint8_t*>(&image);
  return {raw, raw + sizeof image};
}

void use_libao_config(const std::string& config) {
  const std::string home = test_home().path();
  std::ofstream(home + "/.libao") << config;
  setenv("HOME", home.c_str(), 1);
}

int threads_named(const std::string& name) {
  int count = 0;
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
    std::string comm;
    std::getline(std::ifstream(task.path() / "comm"), comm);
    if (comm == name) ++count;
  }
  return count;
}

bool wait_until(const std::function<bool()>& done, double seconds) {
  const double end = now_seconds() + seconds;
  while (!done()) {
    if (now_seconds() > end) return done();
    sleep_seconds(0.005);
  }
  return true;
}

double now_seconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

void sleep_seconds(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

long vm_size_kib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmSize:", 0) == 0) return std::strtol(line.c_str() + 7, nullptr, 10);
  }
  return -1;
}

struct hang_guard::impl {
  std::mutex mutex;
  std::condition_variable disarmed;
  bool done = false;
  std::thread watcher;
};

hang_guard::hang_guard(double seconds, std::string what) : impl_(std::make_unique<impl>()) {
  impl_->watcher = std::thread([state = impl_.get(), seconds, what = std::move(what)] {
    std::unique_lock lock(state->mutex);
    if (!state->disarmed.wait_for(lock, std::chrono::duration<double>(seconds),
                                  [state] { return state->done; })) {
      std::fprintf(stderr, "HANG: %s did not finish within %.0f s\n", what.c_str(), seconds);
      std::fflush(stderr);
      std::_Exit(2);
    }
  });
}

hang_guard::~hang_guard() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->done = true;
  }
  impl_->disarmed.notify_one();
  impl_->watcher.join();
}
