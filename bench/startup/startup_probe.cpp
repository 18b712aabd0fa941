// Starts a program and watches the X server from outside it: the time from
// the fork to the MapNotify of the program's first top-level window (found
// by its _NET_WM_PID), then the program's resident size once it has settled.
// Nothing in the program is changed or told that it is measured.
//   startup_probe PROGRAM [ARGS...]      (needs DISPLAY; no window manager)
// Prints "map_ms=<milliseconds> rss_kib=<KiB>" and ends the program.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

namespace {

using clock_type = std::chrono::steady_clock;

constexpr auto map_timeout = std::chrono::seconds(30);
// Settled: the resident size unchanged over this many polls in a row.
constexpr auto settle_poll = std::chrono::milliseconds(50);
constexpr int settle_polls = 10;
constexpr int max_settle_polls = 200;

struct display_closer {
  void operator()(Display* display) const noexcept { XCloseDisplay(display); }
};
using display_handle = std::unique_ptr<Display, display_closer>;

// A window that went away between its MapNotify and the property read.
int ignore_x_errors(Display*, XErrorEvent*) { return 0; }

long window_pid(Display* display, Window window, Atom net_wm_pid) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  long pid = -1;
  if (XGetWindowProperty(display, window, net_wm_pid, 0, 1, False, XA_CARDINAL, &type, &format,
                         &count, &after, &data) == Success &&
      data != nullptr && format == 32 && count == 1) {
    pid = *reinterpret_cast<long*>(data);  // format 32 arrives as long
  }
  if (data != nullptr) XFree(data);
  return pid;
}

long resident_kib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// Waits for the MapNotify of a top-level window of `pid`; false on a timeout
// or when the program ends first, which `ended` then tells.
bool wait_for_map(Display* display, pid_t pid, std::string& ended) {
  const Atom net_wm_pid = XInternAtom(display, "_NET_WM_PID", False);
  const auto deadline = clock_type::now() + map_timeout;
  while (clock_type::now() < deadline) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      // Menus and tooltips are override-redirect; the main window is not.
      if (event.type == MapNotify && !event.xmap.override_redirect &&
          window_pid(display, event.xmap.window, net_wm_pid) == pid)
        return true;
    }
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      ended = WIFSIGNALED(status) ? "was killed by signal " + std::to_string(WTERMSIG(status))
                                  : "exited with status " + std::to_string(WEXITSTATUS(status));
      return false;
    }
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, 5);
  }
  return false;
}

long settled_resident_kib(pid_t pid) {
  long last = resident_kib(pid);
  for (int polls = 0, same = 0; polls < max_settle_polls && same < settle_polls; ++polls) {
    std::this_thread::sleep_for(settle_poll);
    const long now = resident_kib(pid);
    same = now == last ? same + 1 : 0;
    last = now;
  }
  return last;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: startup_probe PROGRAM [ARGS...]\n");
    return 2;
  }
  // A busy server may turn a connection away now and then; the clock has
  // not started yet.
  display_handle display(XOpenDisplay(nullptr));
  for (int attempt = 0; !display && attempt < 50; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    display.reset(XOpenDisplay(nullptr));
  }
  if (!display) {
    std::fprintf(stderr, "startup_probe: no X display\n");
    return 2;
  }
  XSetErrorHandler(ignore_x_errors);
  // Without a window manager, top-level windows are children of the root.
  XSelectInput(display.get(), DefaultRootWindow(display.get()), SubstructureNotifyMask);
  XSync(display.get(), False);

  const auto started = clock_type::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[1], argv + 1);
    _exit(127);
  }
  if (pid < 0) {
    std::perror("startup_probe: fork");
    return 1;
  }
  std::string ended = "showed no window in time";
  const bool mapped = wait_for_map(display.get(), pid, ended);
  const double map_ms =
      std::chrono::duration<double, std::milli>(clock_type::now() - started).count();
  const long rss = mapped ? settled_resident_kib(pid) : -1;
  if (!mapped) {
    std::fprintf(stderr, "startup_probe: %s %s\n", argv[1], ended.c_str());
    if (waitpid(pid, nullptr, WNOHANG) == 0) {  // still running: not yet reaped
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    return 1;
  }
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  std::printf("map_ms=%.1f rss_kib=%ld\n", map_ms, rss);
  return 0;
}
