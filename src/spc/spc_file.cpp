// Reading an SPC file into its in-memory image.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "spc.h"

namespace {

struct file_closer {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using file_handle = std::unique_ptr<std::FILE, file_closer>;

}  // namespace

namespace {

// What went wrong: the reader's message and the system error behind it.
struct read_failure {
  const char* text = nullptr;
  int error = 0;
};

std::unique_ptr<spc_format> read_image(const char* filename, read_failure& failure) {
  std::unique_ptr<spc_format> spc(new (std::nothrow) spc_format);
  if (!spc) {
    failure = {"Unable to allocate memory for SPC file.\n", errno};
    return nullptr;
  }
  {
    file_handle file(std::fopen(filename, "rb"));
    if (!file) {
      failure = {"Unable to open file.\n", errno};
      return nullptr;
    }
    // One whole item: a file shorter than the image fails here, and anything
    // after the image is never read.
    if (std::fread(spc.get(), sizeof(spc_format), 1, file.get()) != 1) {
      // A file that ends early leaves errno as it was; say so instead of
      // whatever an earlier call left there. A real read error keeps its own.
      failure = {"Unable to read SPC file.\n", std::ferror(file.get()) ? errno : ENODATA};
      return nullptr;
    }
  }
  if (std::memcmp(spc->header_constant, spc_signature, spc_signature_size) != 0) {
    // The contents, not a system call, are at fault.
    failure = {"This does not look like a valid SPC file.\n", EINVAL};
    return nullptr;
  }
  return spc;
}

}  // namespace

std::unique_ptr<spc_format> read_spc_from_file(const char* filename) {
  read_failure failure;
  std::unique_ptr<spc_format> spc = read_image(filename, failure);
  if (!spc) {
    errno = failure.error;
    std::perror(failure.text);
  }
  return spc;
}

std::unique_ptr<spc_format> read_spc_file_quietly(const char* filename, std::string& failure) {
  read_failure why;
  std::unique_ptr<spc_format> spc = read_image(filename, why);
  if (!spc) {
    // The message without its full stop and line feed, then the system's word.
    const std::string text = why.text;
    failure = text.substr(0, text.size() - 2) + ": " + std::strerror(why.error);
  }
  return spc;
}
