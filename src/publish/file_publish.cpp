#include "file_publish.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "interrupted_run.h"
#include "publish_test_hooks.h"

namespace {

int real_rename_noreplace(const char* from, const char* to) {
  return renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

// A hidden name beside `path` no longer than its own, so that a name that
// just fits the file system's limit can still be written.
std::string temporary_name_beside(const std::filesystem::path& path, std::mt19937_64& random) {
  constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  const std::size_t length = std::clamp<std::size_t>(path.filename().string().size(), 2, 16);
  std::string name = ".";
  while (name.size() < length) name += letters[random() % (sizeof letters - 1)];
  return (path.parent_path() / name).string();
}

// The interrupted run's lock, when there is a run (an empty lock otherwise).
std::unique_lock<std::mutex> hold(const publish_context& publishing) {
  return publishing.interrupts ? publishing.interrupts->hold() : std::unique_lock<std::mutex>();
}

// Records the temporary (or "" for none) for the run's signal cleanup; call
// holding its lock.
void record_temporary(const publish_context& publishing, std::string path) {
  if (publishing.interrupts) publishing.interrupts->set_temporary(std::move(path));
}

}  // namespace

pending_file::pending_file(std::string path, const publish_context& publishing)
    : path_(std::move(path)), publishing_(publishing) {
  // The final name is only used at the end: a name the file system can't
  // hold is found now, before anything is rendered or written.
  struct stat st;
  if (lstat(path_.c_str(), &st) != 0 && errno == ENAMETOOLONG) {
    error_ = ENAMETOOLONG;
    return;
  }
  // Names are only to be unlikely to clash (a clash is tried again): a
  // generator of this file's own, seeded once.
  std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
    temporary_ = temporary_name_beside(path_, random);
    const auto held = hold(publishing_);
    record_temporary(publishing_, temporary_);
    fd_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      error_ = errno;
      record_temporary(publishing_, {});
      if (error_ != EEXIST) break;
    }
  }
  if (fd_ >= 0) error_ = 0;
}

pending_file::~pending_file() { drop(); }

void pending_file::drop() noexcept {
  if (fd_ < 0) return;
  close(fd_);
  fd_ = -1;
  const auto held = hold(publishing_);
  unlink(temporary_.c_str());
  record_temporary(publishing_, {});
}

int pending_file::write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::size_t done = 0;
  while (error_ == 0 && done < size) {
    const ssize_t n = ::write(fd_, bytes + done, size - done);
    if (n > 0) done += static_cast<std::size_t>(n);
    else if (n < 0 && errno != EINTR) error_ = errno;
  }
  return error_;
}

int pending_file::publish(bool replace) {
  if (error_ != 0) {
    drop();
    return error_;
  }
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) error_ = errno;
  // Named and forgotten as one step, so that a signal never finds a
  // published file still listed for removal (or a claimed name half used).
  const auto held = hold(publishing_);
  bool was_free = false;
  if (error_ == 0)
    error_ = publish_temporary_file(temporary_, path_, replace, publishing_.rename_noreplace,
                                    &was_free);
  if (error_ != 0) unlink(temporary_.c_str());
  record_temporary(publishing_, {});
  if (error_ == 0 && was_free && publishing_.added) publishing_.added->push_back(path_);
  return error_;
}

int publish_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes, bool replace,
                  const publish_context& publishing) {
  pending_file file(path, publishing);
  file.write(bytes.data(), bytes.size());
  return file.publish(replace);
}

bool publish_file(const std::string& path, const std::vector<std::uint8_t>& bytes, bool replace,
                  std::string& failure) {
  const int error = publish_bytes(path, bytes, replace);
  if (error != 0) failure = publish_failure_text(path, error);
  return error == 0;
}

std::string publish_failure_text(const std::string& path, int error) {
  if (error == EEXIST) return path + " already exists: nothing more was written";
  return "Unable to write " + path + ": " + std::strerror(error);
}

bool publish_error_stops_run(int error) {
  switch (error) {
    case ENAMETOOLONG:  // this name only
    case EILSEQ:        // a name the file system's encoding refuses
    case EINVAL:        // a character FAT refuses
    case EISDIR:        // a folder of that name in the way
      return false;
    default:
      return true;
  }
}

namespace {

// Gives `temp` the name `final_path` only when that name is free.
int publish_to_free_name(const std::string& temp, const std::string& final_path,
                         rename_noreplace_call rename_noreplace) {
  if (!rename_noreplace) rename_noreplace = real_rename_noreplace;
  if (rename_noreplace(temp.c_str(), final_path.c_str()) == 0) return 0;
  const int error = errno;
  if (error != EINVAL && error != ENOSYS && error != EPERM && error != ENOTSUP) return error;
  // The flag is refused here: claim the name with an exclusive create, which
  // every file system honours, then rename over the claim, which is ours.
  const int fd = open(final_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  close(fd);
  if (std::rename(temp.c_str(), final_path.c_str()) == 0) return 0;
  const int rename_error = errno;
  unlink(final_path.c_str());
  return rename_error;
}

}  // namespace

int publish_temporary_file(const std::string& temp, const std::string& final_path, bool replace,
                           rename_noreplace_call rename_noreplace, bool* was_free) {
  // Even when replacing, the free name is tried first: only then is it known
  // that the file is the run's own and not one it replaced.
  const int error = publish_to_free_name(temp, final_path, rename_noreplace);
  if (was_free) *was_free = error == 0;
  if (error != EEXIST || !replace) return error;
  return std::rename(temp.c_str(), final_path.c_str()) == 0 ? 0 : errno;
}

namespace {

// "Not a directory" or "File exists" leave the user to guess which name is
// in the way: name the one that is no folder.
std::string folder_failure(const std::string& folder, int error) {
  namespace fs = std::filesystem;
  for (fs::path at = folder; !at.empty(); at = at.parent_path()) {
    std::error_code ignored;
    if (fs::exists(at, ignored) && !fs::is_directory(at, ignored))
      return "Unable to create folder " + folder + ": " +
             (at == fs::path(folder) ? std::string("it") : at.string()) +
             " exists and is not a folder";
    if (at == at.parent_path()) break;
  }
  return "Unable to create folder " + folder + ": " + std::strerror(error);
}

}  // namespace

int run_folder::make(std::string& failure) {
  struct stat st;
  if (!made_.empty() || (stat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) return 0;
  // The missing levels, outermost first, each made and kept for removal.
  std::vector<std::string> missing;
  for (std::filesystem::path level = path_; !level.empty() && level != level.root_path();
       level = level.parent_path()) {
    if (stat(level.c_str(), &st) == 0) break;
    missing.insert(missing.begin(), level.string());
    if (level == level.parent_path()) break;
  }
  for (const std::string& level : missing) {
    // Made and recorded as one step, so that a signal never leaves it.
    const auto held = hold(publishing_);
    if (mkdir(level.c_str(), 0777) != 0) {
      if (errno == EEXIST) continue;  // made by someone else meanwhile: not ours
      const int error = errno;
      failure = folder_failure(path_, error);
      return error;
    }
    made_.push_back(level);
    if (publishing_.interrupts) publishing_.interrupts->set_folders(made_);
  }
  if (stat(path_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    const int error = ENOTDIR;
    failure = folder_failure(path_, error);
    return error;
  }
  return 0;
}

run_folder::~run_folder() {
  if (made_.empty()) return;
  const auto held = hold(publishing_);
  if (publishing_.interrupts) publishing_.interrupts->set_folders({});
  // rmdir leaves a folder that holds anything: only an unused one goes.
  for (auto level = made_.rbegin(); level != made_.rend(); ++level)
    if (rmdir(level->c_str()) != 0) break;
}
