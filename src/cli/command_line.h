// The program's arguments: the command-line modes (--list, --export,
// --trace, --access, --stems, --version) run here; anything else is the
// window's, which main runs. No GTK: main hands in GTK's options.
#pragma once

#include <glib.h>

#include <optional>

// What main does once the arguments have been read.
struct command_line_outcome {
  // A command ran, or the arguments were wrong (2): exit with this status.
  std::optional<int> exit_status;
  // Otherwise the window runs; true when the session bus started this
  // process for the launcher (--gapplication-service).
  bool window_as_service = false;
};

// Parses the arguments with the program's options and `window_options`
// (GTK's, parsed without opening the display; taken over, may be null),
// leaving in `argc`/`argv` the program and its files, and runs the command
// they ask for. Usage errors are printed as in other GNOME programs.
// Main thread only.
command_line_outcome run_command_line(int& argc, char**& argv, GOptionGroup* window_options);
