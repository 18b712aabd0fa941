#include "stems_command.h"

#include <cstdio>
#include <set>

#include "cli_text.h"
#include "interrupted_run.h"
#include "openspc.h"
#include "sample_export.h"
#include "stem_render.h"

namespace {

std::string voice_list(const std::vector<int>& voices) {
  std::string text;
  for (int voice : voices) text += (text.empty() ? "" : ", ") + std::to_string(voice);
  return text;
}

}  // namespace

int run_stems_command(const std::string& folder, std::optional<double> seconds, bool force,
                      const std::vector<std::string>& files) {
  interrupted_run interrupts;  // a signal leaves only whole files
  // Only --seconds can ask for more than a WAV file holds (a tag is
  // believed up to an hour): refused before any file is followed.
  if (seconds && *seconds * OSPC_SAMPLE_RATE > wav_stereo_max_frames) {
    std::fprintf(stderr, "quorlin: --seconds %g makes stems longer than a WAV file holds "
                 "(4 GiB, %u s): nothing was written\n", *seconds,
                 wav_stereo_max_frames / OSPC_SAMPLE_RATE);
    return 1;
  }
  int status = 0;
  std::vector<stem_plan> plans;
  for (const std::string& path : files) {
    std::string failure;
    std::shared_ptr<const spc_format> spc = read_spc_or_report(path, failure);
    if (!spc) {
      status = 1;
      continue;
    }
    const song_length length = song_length_of(*spc, seconds);
    if (const std::string warning = length.warning(path); !warning.empty())
      std::fprintf(stderr, "quorlin: %s\n", warning.c_str());
    plans.push_back(plan_stems(std::move(spc), path, length));
    const std::vector<int>& skipped = plans.back().skipped;
    if (!skipped.empty())
      std::fprintf(stderr, "quorlin: %s: %s %s never keyed on and silent: no stem written\n",
                   text_line_escape(path).c_str(), skipped.size() == 1 ? "voice" : "voices",
                   voice_list(skipped).c_str());
  }
  if (plans.empty()) return status;
  // Files of the same name from different folders get distinct stems, in
  // the order named: 01, then "01 (2)".
  std::set<std::string> stems;
  for (stem_plan& plan : plans) {
    const std::string own = plan.stem;
    for (int n = 2; !stems.insert(plan.stem).second; ++n)
      plan.stem = own + " (" + std::to_string(n) + ")";
    if (plan.stem != own)
      std::fprintf(stderr, "quorlin: %s: its stems are named %s\n",
                   text_line_escape(plan.spc_path).c_str(), text_line_escape(plan.stem).c_str());
  }
  const stems_result result = write_stems(plans, folder, force, nullptr, {}, {&interrupts});
  for (const std::string& failed : result.files_failed)
    std::fprintf(stderr, "quorlin: %s\n", failed.c_str());
  if (!result.files_failed.empty()) status = 1;
  if (!result.ok) {
    print_message(result.failure + (result.target_existed ? " (--force replaces it)" : ""));
    return 1;
  }
  std::printf("%d %s written to %s\n", result.files_written,
              result.files_written == 1 ? "stem file" : "stem files", folder.c_str());
  return status;
}
