// Runs a program as the command line's tests do: a child process with
// DISPLAY and WAYLAND_DISPLAY unset, its output captured.
#pragma once

#include <string>
#include <vector>

struct run_result {
  int status = -1;  // exit status; -1 when it did not exit normally
  int signal = 0;   // the signal that ended it, if one did
  std::string out;
  std::string err;
};

// Runs `args` (the program first) in `cwd` (nullptr: here) and waits for it.
run_result run_without_display(std::vector<std::string> args, const char* cwd = nullptr);

// Runs `args` as run_without_display does, but its standard output a pipe
// whose reader goes away, as `| head -1` does: it reads up to the first line
// feed, closes its end, and then waits. `out` holds what was read.
run_result run_until_first_line(std::vector<std::string> args);
