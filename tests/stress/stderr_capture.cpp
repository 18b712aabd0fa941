#include "stderr_capture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

stderr_capture::stderr_capture() {
  std::fflush(stderr);
  char name[] = "/tmp/quorlin-stderr-XXXXXX";
  file_ = mkstemp(name);
  saved_ = dup(STDERR_FILENO);
  if (file_ < 0 || saved_ < 0) {
    std::perror("stderr_capture");
    std::abort();
  }
  unlink(name);  // the descriptor keeps it until close
  dup2(file_, STDERR_FILENO);
}

stderr_capture::~stderr_capture() { finish(); }

std::string stderr_capture::finish() {
  if (saved_ < 0) return {};
  std::fflush(stderr);
  dup2(saved_, STDERR_FILENO);
  close(saved_);
  saved_ = -1;
  std::string text;
  char buffer[4096];
  ssize_t got;
  for (off_t at = 0; (got = pread(file_, buffer, sizeof buffer, at)) > 0; at += got)
    text.append(buffer, static_cast<std::size_t>(got));
  close(file_);
  file_ = -1;
  return text;
}
