#include "audio_recorder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "audio_harness.h"

extern char** environ;

namespace {

// Spawn file actions with an owner.
struct spawn_actions {
  posix_spawn_file_actions_t actions;
  spawn_actions() { posix_spawn_file_actions_init(&actions); }
  ~spawn_actions() { posix_spawn_file_actions_destroy(&actions); }
};

}  // namespace

audio_recorder::audio_recorder(const std::string& sink, std::string file) : file_(std::move(file)) {
  const std::string device = sink + ".monitor";
  spawn_actions files;
  posix_spawn_file_actions_addopen(&files.actions, 1, file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  std::string arguments[] = {"parec",         "--raw",        "--format=s16le",
                             "--rate=32000",  "--channels=2", "--latency-msec=20",
                             "-d",            device};
  char* argv[std::size(arguments) + 1] = {};
  for (std::size_t i = 0; i < std::size(arguments); ++i) argv[i] = arguments[i].data();
  pid_t pid = -1;
  if (posix_spawnp(&pid, "parec", &files.actions, nullptr, argv, environ) == 0) pid_ = pid;
}

audio_recorder::~audio_recorder() { stop(); }

bool audio_recorder::wait_for_data(double seconds) const {
  return wait_until([this] {
    std::error_code error;
    return std::filesystem::file_size(file_, error) > 0 && !error;
  }, seconds);
}

bool audio_recorder::wait_for_more(double seconds) const {
  const auto recorded = [this] {
    std::error_code error;
    const auto bytes = std::filesystem::file_size(file_, error);
    return error ? std::uintmax_t{0} : bytes;
  };
  const auto wanted = recorded() + static_cast<std::uintmax_t>(seconds * 32000) * 4;
  return wait_until([&] { return recorded() >= wanted; }, seconds + 5.0);
}

bool audio_recorder::available() {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (!folder.empty() && access((folder + "/parec").c_str(), X_OK) == 0) return true;
  }
  return false;
}

std::vector<short> audio_recorder::stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    const pid_t pid = pid_;
    if (!wait_until([pid, &status] { return waitpid(pid, &status, WNOHANG) == pid; }, 2.0)) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  std::ifstream in(file_, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  std::vector<short> samples(bytes.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<short>(static_cast<unsigned char>(bytes[2 * i]) |
                                    static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return samples;
}
