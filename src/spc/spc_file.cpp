// Reading an SPC file into its in-memory image.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "spc.h"

namespace {

struct file_closer {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using file_handle = std::unique_ptr<std::FILE, file_closer>;

// Reports `message` through perror and keeps it, without its line feed, as
// the reason; `with_cause` adds the system's description of errno.
std::unique_ptr<spc_format> fail(const char* message, bool with_cause, std::string& reason) {
  const int error = errno;
  std::perror(message);
  reason = message;
  while (!reason.empty() && reason.back() == '\n') reason.pop_back();
  if (with_cause) reason.append(" (").append(std::strerror(error)).append(")");
  return nullptr;
}

}  // namespace

std::unique_ptr<spc_format> read_spc_from_file(const char* filename) {
  std::string reason;
  return read_spc_from_file(filename, reason);
}

std::unique_ptr<spc_format> read_spc_from_file(const char* filename, std::string& reason) {
  std::unique_ptr<spc_format> spc(new (std::nothrow) spc_format);
  if (!spc) return fail("Unable to allocate memory for SPC file.\n", false, reason);
  {
    file_handle file(std::fopen(filename, "rb"));
    if (!file) return fail("Unable to open file.\n", true, reason);
    // One whole item: a file shorter than the image fails here, and anything
    // after the image is never read.
    if (std::fread(spc.get(), sizeof(spc_format), 1, file.get()) != 1) {
      // A file that ends early leaves errno as it was; say so instead of
      // whatever an earlier call left there. A real read error keeps its own.
      if (!std::ferror(file.get())) errno = ENODATA;
      return fail("Unable to read SPC file.\n", true, reason);
    }
  }
  if (std::memcmp(spc->header_constant, spc_signature, spc_signature_size) != 0) {
    errno = EINVAL;  // the contents, not a system call, are at fault
    return fail("This does not look like a valid SPC file.\n", false, reason);
  }
  return spc;
}
