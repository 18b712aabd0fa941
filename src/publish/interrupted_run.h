// A command-line run that writes files ends at once on SIGINT, SIGTERM or
// SIGHUP, with exit status 128 + the signal's number, and leaves only whole
// files: the handler removes the temporary being written (pending_file) and
// the folders the run made that are still empty (run_folder). The window
// never arms it: it cancels its own work. No GTK.
#pragma once

// Arms the handlers for the life of the object (a signal the process was
// started ignoring stays ignored) and restores the earlier ones after.
// Main thread only, one at a time, before the run starts any thread.
class interrupted_run {
 public:
  interrupted_run();
  ~interrupted_run();
  interrupted_run(const interrupted_run&) = delete;
  interrupted_run& operator=(const interrupted_run&) = delete;
};
