// One load through the window's load path (the one File > Open uses), checked
// against what the window shows afterwards. Needs the window built and shown
// (gui_window()). GTK main thread only.
#pragma once

#include <string>

// Rows the good file shows: 64 samples of 1 to 8 blocks.
inline constexpr int good_file_rows = 64;

// Writes the good file into `dir`; returns its path.
std::string write_good_file(const std::string& dir);

class load_checker {
 public:
  // Loads, redraws, checks (silent + Play, or one known message, no Play, no tag); true if loaded.
  bool load(int index, const char* kind, const std::string& path);

  // Loads the good file and checks that it shows all its rows.
  void check_good(int index, const std::string& path);

  // Counts a problem; the first few are written on standard error.
  void problem(int index, const char* kind, const std::string& what);

  int problems() const { return problems_; }

 private:
  int problems_ = 0;
};
