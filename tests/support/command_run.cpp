#include "command_run.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

GStrv environment_without_display() {
  GStrv env = g_environ_unsetenv(g_get_environ(), "DISPLAY");
  return g_environ_unsetenv(env, "WAYLAND_DISPLAY");
}

void set_ending(run_result& r, int wait_status) {
  r.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  r.signal = WIFSIGNALED(wait_status) ? WTERMSIG(wait_status) : 0;
}

}  // namespace

run_result run_without_display(std::vector<std::string> args, const char* cwd) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  g_auto(GStrv) env = environment_without_display();
  g_autofree char* out = nullptr;
  g_autofree char* err = nullptr;
  int wait_status = 0;
  run_result r;
  g_autoptr(GError) error = nullptr;
  if (!g_spawn_sync(cwd, argv.data(), env, G_SPAWN_DEFAULT, nullptr, nullptr, &out, &err,
                    &wait_status, &error)) {
    ADD_FAILURE() << error->message;
    return r;
  }
  set_ending(r, wait_status);
  r.out = out;
  r.err = err;
  return r;
}

run_result run_until_first_line(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  g_auto(GStrv) env = environment_without_display();
  GPid pid = 0;
  int out_fd = -1, err_fd = -1;
  run_result r;
  g_autoptr(GError) error = nullptr;
  if (!g_spawn_async_with_pipes(nullptr, argv.data(), env, G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                                nullptr, &pid, nullptr, &out_fd, &err_fd, &error)) {
    ADD_FAILURE() << error->message;
    return r;
  }
  char c = 0;
  while (c != '\n' && read(out_fd, &c, 1) == 1) r.out += c;
  close(out_fd);
  // The messages are a few lines: they fit the pipe, so reading them after
  // the end cannot hold the process up.
  int wait_status = 0;
  waitpid(pid, &wait_status, 0);
  g_spawn_close_pid(pid);
  char chunk[4096];
  for (ssize_t n; (n = read(err_fd, chunk, sizeof chunk)) > 0;) r.err.append(chunk, std::size_t(n));
  close(err_fd);
  set_ending(r, wait_status);
  return r;
}
