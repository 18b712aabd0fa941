// A signal handler may call only async-signal-safe functions and can reach
// nothing but static storage, so what it must remove is kept in one static
// object below, as plain bytes: the temporary file being written and the
// folders the run made. The writers change it with the signals blocked, so
// the handler sees it whole; it then unlinks, removes empty folders and
// calls _exit, all three safe in a handler.
#include "interrupted_run.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "interrupt_cleanup.h"

namespace {

constexpr int handled_signals[] = {SIGINT, SIGTERM, SIGHUP};

struct cleanup_state {
  volatile sig_atomic_t armed = 0;
  char temporary[PATH_MAX] = {};  // "" when no file is being written
  char folders[PATH_MAX] = {};    // the deepest folder the run made
  int folder_levels = 0;          // how many levels up from it the run made
  struct sigaction earlier[3] = {};
  bool installed[3] = {};
};

// The one static state of the layer: see the comment at the top.
cleanup_state cleanup;

extern "C" void on_interrupt(int signal_number) {
  if (cleanup.temporary[0] != '\0') unlink(cleanup.temporary);
  // Deepest first; rmdir leaves a folder that holds anything.
  for (int level = 0; level < cleanup.folder_levels; ++level) {
    if (rmdir(cleanup.folders) != 0) break;
    char* slash = std::strrchr(cleanup.folders, '/');
    if (slash == nullptr || slash == cleanup.folders) break;
    *slash = '\0';
  }
  _exit(128 + signal_number);
}

sigset_t handled_set() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal_number : handled_signals) sigaddset(&set, signal_number);
  return set;
}

bool copy_path(char (&to)[PATH_MAX], const std::string& path) {
  if (path.size() >= sizeof to) return false;
  std::memcpy(to, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

interrupted_run::interrupted_run() {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  action.sa_mask = handled_set();  // one handler at a time
  for (int i = 0; i < 3; ++i) {
    struct sigaction& earlier = cleanup.earlier[i];
    if (sigaction(handled_signals[i], nullptr, &earlier) != 0) continue;
    // nohup and background jobs start us ignoring some: that stays.
    if (earlier.sa_handler == SIG_IGN) continue;
    cleanup.installed[i] = sigaction(handled_signals[i], &action, nullptr) == 0;
  }
  cleanup.armed = 1;
}

interrupted_run::~interrupted_run() {
  const sigset_t set = handled_set();
  sigset_t before;
  pthread_sigmask(SIG_BLOCK, &set, &before);
  cleanup.armed = 0;
  cleanup.temporary[0] = '\0';
  cleanup.folder_levels = 0;
  for (int i = 0; i < 3; ++i)
    if (cleanup.installed[i]) sigaction(handled_signals[i], &cleanup.earlier[i], nullptr);
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

namespace interrupt_cleanup {

signals_held::signals_held() {
  if (!cleanup.armed) return;
  const sigset_t set = handled_set();
  held_ = pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

signals_held::~signals_held() {
  if (!held_) return;
  const sigset_t set = handled_set();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

bool set_temporary(const std::string& path) {
  if (!cleanup.armed) return true;
  return copy_path(cleanup.temporary, path);
}

void clear_temporary() {
  if (cleanup.armed) cleanup.temporary[0] = '\0';
}

bool set_folders(const std::string& deepest, int levels) {
  if (!cleanup.armed) return true;
  cleanup.folder_levels = 0;
  if (levels == 0) return true;
  if (!copy_path(cleanup.folders, deepest)) return false;
  cleanup.folder_levels = levels;
  return true;
}

}  // namespace interrupt_cleanup
