#include "command_run.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

run_result run_without_display(std::vector<std::string> args, const char* cwd) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  g_auto(GStrv) env = g_environ_unsetenv(g_get_environ(), "DISPLAY");
  env = g_environ_unsetenv(env, "WAYLAND_DISPLAY");
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
  r.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  r.out = out;
  r.err = err;
  return r;
}
