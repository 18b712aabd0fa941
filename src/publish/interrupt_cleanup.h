// Inside the publish layer: what the signal handler of an armed
// interrupted_run removes. The writers record it here while they write;
// when no run is armed every call does nothing. Any thread, but only the
// armed run's thread writes files while it is armed.
#pragma once

#include <string>

namespace interrupt_cleanup {

// While alive and a run is armed, the three signals wait (are blocked), so
// that the handler never sees a file half-published or a path half-copied.
class signals_held {
 public:
  signals_held();
  ~signals_held();
  signals_held(const signals_held&) = delete;
  signals_held& operator=(const signals_held&) = delete;

 private:
  bool held_ = false;
};

// The temporary being written, or none. Call with signals held. False when
// the path is too long to keep (the file is then not to be made).
bool set_temporary(const std::string& path);
void clear_temporary();

// The folders a run made: `deepest`, and its `levels` - 1 parents above it.
// Call with signals held; levels 0 forgets them.
bool set_folders(const std::string& deepest, int levels);

}  // namespace interrupt_cleanup
