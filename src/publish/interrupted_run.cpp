#include "interrupted_run.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace {

constexpr int handled_signals[] = {SIGINT, SIGTERM, SIGHUP};

}  // namespace

interrupted_run::interrupted_run() {
  sigemptyset(&waited_);
  for (const int signal_number : handled_signals) {
    struct sigaction now {};
    // nohup and background jobs start us ignoring some: that stays (a
    // blocked signal is never ignored, so it must not be blocked).
    if (sigaction(signal_number, nullptr, &now) == 0 && now.sa_handler != SIG_IGN)
      sigaddset(&waited_, signal_number);
  }
  pthread_sigmask(SIG_BLOCK, &waited_, &mask_before_);
  signal_fd_ = signalfd(-1, &waited_, SFD_CLOEXEC);
  stop_fd_ = eventfd(0, EFD_CLOEXEC);
  if (signal_fd_ >= 0 && stop_fd_ >= 0) {
    try {
      waiter_ = std::thread(&interrupted_run::wait_for_signal, this);
    } catch (const std::system_error&) {
      // No thread to take them: the signals act as they did before.
    }
  }
  if (!waiter_.joinable()) pthread_sigmask(SIG_SETMASK, &mask_before_, nullptr);
}

interrupted_run::~interrupted_run() {
  if (waiter_.joinable()) {
    const std::uint64_t stop = 1;
    while (write(stop_fd_, &stop, sizeof stop) < 0 && errno == EINTR) {
    }
    waiter_.join();
    // A signal that came after the waiter stopped acts now, as it would
    // have without the run.
    pthread_sigmask(SIG_SETMASK, &mask_before_, nullptr);
  }
  if (signal_fd_ >= 0) close(signal_fd_);
  if (stop_fd_ >= 0) close(stop_fd_);
}

void interrupted_run::wait_for_signal() noexcept {
  pollfd watched[2] = {{signal_fd_, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
  for (;;) {
    if (poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[1].revents != 0) return;
    signalfd_siginfo info;
    if (read(signal_fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) continue;
    // Held until the process ends: no writer publishes or records after this.
    mutex_.lock();
    if (!temporary_.empty()) unlink(temporary_.c_str());
    // Deepest first; rmdir leaves a folder that holds anything.
    for (auto level = folders_.rbegin(); level != folders_.rend(); ++level)
      if (rmdir(level->c_str()) != 0) break;
    _exit(128 + static_cast<int>(info.ssi_signo));
  }
}
