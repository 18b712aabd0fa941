// Writes the demo song to a file: make_demo_spc OUTPUT.spc

#include <cstdio>
#include <memory>

#include "demo_spc.h"

namespace {

struct file_closer {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: %s OUTPUT.spc\n", argv[0]);
    return 2;
  }
  const std::unique_ptr<spc_format> spc = make_demo_spc();
  std::unique_ptr<std::FILE, file_closer> file(std::fopen(argv[1], "wb"));
  if (!file || std::fwrite(spc.get(), sizeof(spc_format), 1, file.get()) != 1 ||
      std::fclose(file.release()) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
