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

}  // namespace

std::unique_ptr<spc_format> read_spc_from_file(const char* filename) {
  std::unique_ptr<spc_format> spc(new (std::nothrow) spc_format);
  if (!spc) {
    std::perror("Unable to allocate memory for SPC file.\n");
    return nullptr;
  }
  {
    file_handle file(std::fopen(filename, "rb"));
    if (!file) {
      std::perror("Unable to open file.\n");
      return nullptr;
    }
    // One whole item: a file shorter than the image fails here, and anything
    // after the image is never read.
    if (std::fread(spc.get(), sizeof(spc_format), 1, file.get()) != 1) {
      // A file that ends early leaves errno as it was; say so instead of
      // whatever an earlier call left there. A real read error keeps its own.
      if (!std::ferror(file.get())) errno = ENODATA;
      std::perror("Unable to read SPC file.\n");
      return nullptr;
    }
  }
  if (std::memcmp(spc->header_constant, spc_signature, spc_signature_size) != 0) {
    errno = EINVAL;  // the contents, not a system call, are at fault
    std::perror("This does not look like a valid SPC file.\n");
    return nullptr;
  }
  return spc;
}
