// Reading an SPC file into its in-memory image.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "spc.h"

namespace {

struct file_closer {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using file_handle = std::unique_ptr<std::FILE, file_closer>;

// What went wrong: the reader's message and the system error behind it.
struct read_failure {
  const char* text = nullptr;
  int error = 0;
  bool system_cause = true;  // false: the contents, not a system call, are at fault
  // A file that ends before the image does: how many bytes it holds.
  std::optional<std::size_t> short_length;
};

std::unique_ptr<spc_format> read_image(const char* filename, read_failure& failure) {
  std::unique_ptr<spc_format> spc(new (std::nothrow) spc_format);
  if (!spc) {
    failure = {"Unable to allocate memory for SPC file.\n", ENOMEM, true, std::nullopt};
    return nullptr;
  }
  {
    file_handle file(std::fopen(filename, "rb"));
    if (!file) {
      failure = {"Unable to open file.\n", errno, true, std::nullopt};
      return nullptr;
    }
    // The image's bytes: a file shorter than the image fails here, and
    // anything after the image is never read.
    const std::size_t got = std::fread(spc.get(), 1, sizeof(spc_format), file.get());
    if (got != sizeof(spc_format)) {
      // A file that ends early leaves errno as it was; say so instead of
      // whatever an earlier call left there. A real read error keeps its own.
      if (std::ferror(file.get()))
        failure = {"Unable to read SPC file.\n", errno, true, std::nullopt};
      else
        failure = {"Unable to read SPC file.\n", ENODATA, true, got};
      return nullptr;
    }
  }
  if (std::memcmp(spc->header_constant, spc_signature, spc_signature_size) != 0) {
    failure = {"This does not look like a valid SPC file.\n", EINVAL, false, std::nullopt};
    return nullptr;
  }
  return spc;
}

// The failure as one line: the message, its full stop replaced by the
// system's description where a system call failed ("Unable to open file:
// No such file or directory"), or by the length of a file that ends early.
std::string one_line(const read_failure& failure) {
  std::string text = failure.text;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  if (!failure.system_cause) return text;
  if (!text.empty() && text.back() == '.') text.pop_back();
  if (const auto length = failure.short_length)
    return text + ": it is " + std::to_string(*length) + (*length == 1 ? " byte" : " bytes") +
           " long, and an SPC file is at least " + std::to_string(spc_image_size) + " bytes";
  return text + ": " + std::strerror(failure.error);
}

}  // namespace

std::unique_ptr<spc_format> read_spc_from_file(const char* filename) {
  std::string reason;
  return read_spc_from_file(filename, reason);
}

std::unique_ptr<spc_format> read_spc_from_file(const char* filename, std::string& reason) {
  read_failure failure;
  std::unique_ptr<spc_format> spc = read_image(filename, failure);
  if (!spc) {
    errno = failure.error;
    std::perror(failure.text);
    reason = one_line(failure);
  }
  return spc;
}

std::unique_ptr<spc_format> read_spc_file_quietly(const char* filename, std::string& reason) {
  read_failure failure;
  std::unique_ptr<spc_format> spc = read_image(filename, failure);
  if (!spc) reason = one_line(failure);
  return spc;
}
