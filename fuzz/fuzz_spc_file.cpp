// Any bytes as an SPC file: read, validate, chart, and what the inspector
// derives (the audio RAM layout, an audition image of the first entry).
// Nothing may crash, hang or read outside the image.

#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "aram_layout.h"
#include "spc.h"
#include "spc700_program.h"

namespace {

// An in-memory file the reader can open by path, made once per process.
// (scripts/fuzz runs this with -close_fd_mask=2: the reader's reports on
// standard error would drown libFuzzer's own.)
struct memory_file {
  int fd = memfd_create("fuzz.spc", 0);
  std::string path = "/proc/self/fd/" + std::to_string(fd);
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static memory_file file;
  if (ftruncate(file.fd, 0) != 0 || pwrite(file.fd, data, size, 0) != static_cast<ssize_t>(size))
    return 0;
  auto spc = read_spc_from_file(file.path.c_str());
  if (!spc) return 0;
  std::int32_t count = 0;
  std::unique_ptr<sample_chart[]> chart;
  generate_sample_chart(*spc, count, chart);
  if (count < 0 || count > 256 || !chart) __builtin_trap();
  for (std::int32_t i = 0; i < count; ++i) {
    const sample_chart& row = chart[i];
    if (row.sample_length < 9 || row.sample_length % 9 != 0 || row.loop_length < 9) __builtin_trap();
  }
  if (!make_aram_layout(*spc)) __builtin_trap();
  // The program (8 bytes) finds room unless the chains cover nearly all of
  // audio RAM beside the directory, the I/O registers and the IPL ROM area.
  if (count > 0 && !make_audition_spc(*spc, chart[0].sample_number - 1) &&
      chart[0].sample_length + chart[0].loop_length < 64000)
    __builtin_trap();
  return 0;
}
