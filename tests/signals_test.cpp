// A writing run (--stems, --export) interrupted by SIGINT, SIGTERM or SIGHUP
// while it writes: it exits with 128 + the signal and leaves only whole
// files, no temporary one. quorlin runs as a process with DISPLAY unset.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "spc_builder.h"

namespace {

// Starts quorlin with `args`, its output thrown away; returns its pid.
pid_t start_quorlin(const std::vector<std::string>& args) {
  std::vector<std::string> all{QUORLIN_BINARY};
  all.insert(all.end(), args.begin(), args.end());
  const pid_t pid = fork();
  if (pid == 0) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

bool is_temporary(const std::filesystem::path& path) {
  return path.filename().string().starts_with(".");
}

// Waits (10 s at most) until `folder` holds a file `wanted` says is the one.
template <class Wanted>
bool wait_for_file(const std::string& folder, Wanted wanted) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < give_up) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
      if (wanted(entry.path())) return true;
    std::this_thread::yield();
  }
  return false;
}

// A RIFF file whose sizes match its length; other files count as whole.
bool whole(const std::filesystem::path& path) {
  if (path.extension() != ".wav") return true;
  std::ifstream in(path, std::ios::binary);
  unsigned char head[8] = {};
  in.read(reinterpret_cast<char*>(head), 8);
  const std::uint32_t riff = head[4] | head[5] << 8 | head[6] << 16 | std::uint32_t(head[7]) << 24;
  return riff + 8 == std::filesystem::file_size(path);
}

struct interrupted_run_case {
  const char* what;
  std::vector<std::string> args;  // FOLDER and the files added after
  bool (*waited_for)(const std::filesystem::path&);
};

TEST(signals, AnInterruptedRunLeavesOnlyWholeFilesAndExitsWith128PlusTheSignal) {
  temp_dir dir;
  // Stems: a minute of one voice, its temporary there as it renders.
  const std::string tone = spc_builder().square_wave_tone().write_to(dir.path(), "tone.spc");
  // Export: 256 entries of 3,000 blocks each (190 kB a WAV file), in 8 files.
  spc_builder many;
  many.brr_chain(0x1000, 3000, 0x35);
  for (int i = 0; i < 256; ++i) many.dir_entry(i, 0x1000, 0x1000);
  std::vector<std::string> songs;
  for (int i = 0; i < 8; ++i)
    songs.push_back(many.write_to(dir.path(), "many" + std::to_string(i) + ".spc"));

  const interrupted_run_case cases[] = {
      {"--stems", {"--seconds", "60", tone}, is_temporary},
      {"--export", songs, [](const std::filesystem::path&) { return true; }},
  };
  for (const interrupted_run_case& c : cases) {
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
      SCOPED_TRACE(std::string(c.what) + " " + strsignal(signal_number));
      const std::string out = dir.file("out");
      std::vector<std::string> args{c.what, out};
      args.insert(args.end(), c.args.begin(), c.args.end());
      const pid_t pid = start_quorlin(args);
      ASSERT_GT(pid, 0);
      const bool writing = wait_for_file(out, c.waited_for);
      kill(pid, signal_number);
      int status = 0;
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      ASSERT_TRUE(writing) << "no file appeared in " << out;
      ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
      EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);
      std::error_code error;
      for (const auto& entry : std::filesystem::directory_iterator(out, error)) {
        EXPECT_FALSE(is_temporary(entry.path())) << entry.path();
        EXPECT_TRUE(whole(entry.path())) << entry.path();
      }
      std::filesystem::remove_all(out);
    }
  }
}

}  // namespace
