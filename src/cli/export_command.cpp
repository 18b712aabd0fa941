#include "export_command.h"

#include <cstdio>

int run_export_command(const std::string& folder, const export_options& options,
                       const std::vector<std::string>& files) {
  int status = 0;
  int images = 0;
  sample_export run(options);
  for (const std::string& path : files) {
    std::string failure;
    const auto spc = read_spc_file_quietly(path.c_str(), failure);
    if (!spc) {
      std::fprintf(stderr, "quorlin: %s: %s\n", path.c_str(), failure.c_str());
      status = 1;
      continue;
    }
    run.add_image(*spc, path);
    ++images;
  }
  if (images == 0) return status;
  const export_result result = run.write(folder);
  if (!result.ok) {
    std::fprintf(stderr, "quorlin: %s%s\n", result.failure.c_str(),
                 result.target_existed ? " (--force replaces it)" : "");
    return 1;
  }
  std::printf("%s\n", result.written_text().c_str());
  if (result.not_ended > 0)
    std::fprintf(stderr, "quorlin: %d %s without an end flag not exported\n", result.not_ended,
                 result.not_ended == 1 ? "entry" : "entries");
  return status;
}
