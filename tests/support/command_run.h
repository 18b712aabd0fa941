// Runs a program as the command line's tests do: a child process with
// DISPLAY and WAYLAND_DISPLAY unset, its output captured.
#pragma once

#include <string>
#include <vector>

struct run_result {
  int status = -1;  // exit status; -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs `args` (the program first) in `cwd` (nullptr: here) and waits for it.
run_result run_without_display(std::vector<std::string> args, const char* cwd = nullptr);
