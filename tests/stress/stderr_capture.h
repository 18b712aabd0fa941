// Standard error, caught while a load runs: what the load path reports
// there is part of what a test checks.
#pragma once

#include <string>

class stderr_capture {
 public:
  // Points file descriptor 2 at a temporary file.
  stderr_capture();
  // Puts standard error back if finish() was not called.
  ~stderr_capture();
  stderr_capture(const stderr_capture&) = delete;
  stderr_capture& operator=(const stderr_capture&) = delete;

  // Puts standard error back and returns all that was written meanwhile.
  std::string finish();

 private:
  int saved_ = -1;
  int file_ = -1;
};
