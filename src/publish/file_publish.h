// Files written so that nothing a user made is overwritten (unless asked)
// and nothing is left half-written: each file is filled under a hidden
// temporary name beside its own and then given its name in one step. No
// GTK; every writer of the program goes through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class interrupted_run;

// The no-replace rename: 0, or -1 with errno set, as renameat2 returns.
using rename_noreplace_call = int (*)(const char* from, const char* to);

// How a run's files are published: the command-line run whose signal
// cleanup removes the temporary file and the folders it is making (none in
// the window, which cancels its own work), the no-replace rename (none:
// renameat2; tests give one that refuses as some file systems do), and
// where the paths of the files the run added are recorded (the names that
// were free, not the files it replaced), so that a cancelled run takes back
// exactly those. None is owned; the record is the run's, one thread at a time.
struct publish_context {
  interrupted_run* interrupts = nullptr;
  rename_noreplace_call rename_noreplace = nullptr;
  std::vector<std::string>* added = nullptr;
};

// A file being written: a hidden temporary beside `path`, no longer than
// its name, filled by write() and given its name by publish(). Dropped
// (the temporary removed) when destroyed unpublished. With an
// interrupted_run in `publishing`, a signal removes it too; one at a time
// per interrupted_run. Any thread.
class pending_file {
 public:
  // Makes the temporary; error() says why it could not be made (a name too
  // long for the file system is refused here, before anything is written).
  explicit pending_file(std::string path, const publish_context& publishing = {});
  ~pending_file();
  pending_file(const pending_file&) = delete;
  pending_file& operator=(const pending_file&) = delete;

  // 0, or the errno of the first failure.
  int error() const { return error_; }
  const std::string& path() const { return path_; }

  // Appends `size` bytes. Returns error().
  int write(const void* data, std::size_t size);

  // Records a failure met while making the contents (0 keeps it whole):
  // publish() then writes nothing. Returns error().
  int fail(int error) {
    if (error_ == 0) error_ = error;
    return error_;
  }

  // Closes the temporary and gives it its name: with `replace` over a file
  // there, else only when the name is free (EEXIST otherwise, the other
  // file untouched); a name that was free goes to the context's record.
  // Returns 0 or the errno; the temporary is gone either way.
  int publish(bool replace);

 private:
  void drop() noexcept;
  std::string path_;
  publish_context publishing_;
  std::string temporary_;
  int fd_ = -1;
  int error_ = 0;
};

// Writes `bytes` to `path` whole or not at all; without `replace` it fails
// rather than replace a file there. Returns 0 or the errno. Any thread.
int publish_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes, bool replace,
                  const publish_context& publishing = {});

// The same, and on failure `failure` names the file. Any thread.
bool publish_file(const std::string& path, const std::vector<std::uint8_t>& bytes, bool replace,
                  std::string& failure);

// What a failure of publishing `path` says: "PATH already exists: nothing
// more was written" for EEXIST, else "Unable to write PATH: <errno text>".
// Any thread.
std::string publish_failure_text(const std::string& path, int error);

// Whether `error` stops a whole run (the disk is full, read-only or
// failing; a file is in the way; the run was interrupted) rather than only
// the one file that met it (its name too long or refused). Any thread.
bool publish_error_stops_run(int error);

// The folders a run writes into: made (with any missing parents) only when
// the first file needs them, and removed again, when still empty, at the
// end of a run that put nothing there; with an interrupted_run in
// `publishing`, also when a signal ends the run. Owned by the run. Any
// thread (one run per object).
class run_folder {
 public:
  explicit run_folder(std::string path, const publish_context& publishing = {})
      : path_(std::move(path)), publishing_(publishing) {}
  ~run_folder();
  run_folder(const run_folder&) = delete;
  run_folder& operator=(const run_folder&) = delete;

  // Makes the folder if missing. Returns 0 or the errno; `failure` then
  // names the folder.
  int make(std::string& failure);
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  publish_context publishing_;
  std::vector<std::string> made_;  // the levels this run made, outermost first
};
