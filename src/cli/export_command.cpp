#include "export_command.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "cli_text.h"
#include "interrupted_run.h"
#include "kit_export.h"
#include "trace_command.h"

namespace {

// A kit could not be made or written (said on standard error).
bool kit_failed = false;

// Adds every readable file of `files` to `run`, in order, stopping when the
// run fails. Files that can't be read are reported (on the first pass only)
// and marked in `unreadable`.
// With `played` (--played), file i adds only the entries in played[i].
void add_files(sample_export& run, const std::vector<std::string>& files,
               std::vector<bool>& unreadable, bool report, kit_export* kit,
               const std::vector<std::vector<int>>* played) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (unreadable[i]) continue;
    const std::string& path = files[i];
    std::string failure;
    const auto spc = read_spc_file_quietly(path.c_str(), failure);
    if (!spc) {
      std::fprintf(stderr, "quorlin: %s: %s\n", path.c_str(), failure.c_str());
      unreadable[i] = true;
      continue;
    }
    if (played && (*played)[i].empty()) {
      if (report)
        std::fprintf(stderr, "quorlin: %s: the song keys on no sample the directory lists\n",
                     text_line_escape(path).c_str());
      continue;
    }
    if (!run.add_image(*spc, path, played ? (*played)[i] : std::vector<int>{})) return;
    if (kit && !kit->put(run.stem_given(), run.names_given(), *spc, path, report, failure)) {
      std::fprintf(stderr, "quorlin: %s%s\n", failure.c_str(),
                   report ? "" : " (--force replaces it)");
      kit_failed = true;
      return;
    }
    if (report && run.stem_given() != std::filesystem::path(path).stem().string())
      std::fprintf(stderr, "quorlin: %s: written as \"%s\", an earlier file having its name\n",
                   path.c_str(), run.stem_given().c_str());
  }
}

// The sample numbers each file's song keys on; a file that can't be read
// gets none and is reported later, by the export itself.
std::vector<std::vector<int>> played_samples(const std::vector<std::string>& files,
                                             std::optional<double> seconds) {
  std::vector<std::vector<int>> played(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::string failure;
    const auto spc = read_spc_file_quietly(files[i].c_str(), failure);
    if (!spc) continue;
    const traced_song song = trace_and_report(files[i], *spc, seconds);
    for (int srcn = 0; srcn < 256; ++srcn)
      if (song.plays[srcn].played()) played[i].push_back(srcn + 1);
  }
  return played;
}

}  // namespace

int run_export_command(const std::string& folder, const export_options& options,
                       const std::vector<std::string>& files, bool played_only,
                       std::optional<double> seconds) {
  const interrupted_run interrupts;  // a signal leaves only whole files
  std::vector<bool> unreadable(files.size(), false);
  std::vector<std::vector<int>> played;
  // --instruments: the songs are traced and their samples tuned first, so
  // that the WAV files and the manifest carry the tuning; the same traces
  // say what --played keeps.
  export_tunings tunings;
  export_options with_tunings = options;
  std::unique_ptr<kit_export> kit;
  if (played_only && !options.instruments) played = played_samples(files, seconds);
  const std::vector<std::vector<int>>* only = played_only ? &played : nullptr;
  if (options.instruments) {
    tunings = tune_export_files(files, options.unique, seconds, played_only ? &played : nullptr);
    with_tunings.tunings = &tunings;
    kit = std::make_unique<kit_export>(folder, tunings, options.force);
  }
  const auto any = [&unreadable](bool value) {
    return std::find(unreadable.begin(), unreadable.end(), value) != unreadable.end();
  };
  // Without --force the names are checked first, each file read once more
  // rather than all held: a file in the way means nothing is written.
  if (!options.force) {
    sample_export check(with_tunings, folder, sample_export::mode::check_only);
    add_files(check, files, unreadable, false, kit.get(), only);
    if (!any(false) || kit_failed) return 1;
    const export_result checked = check.finish();
    if (!checked.ok) {
      std::fprintf(stderr, "quorlin: %s (--force replaces it)\n", checked.failure.c_str());
      return 1;
    }
  }
  sample_export run(with_tunings, folder);
  add_files(run, files, unreadable, true, kit.get(), only);
  if (!any(false) || kit_failed) return 1;  // nothing could be read, or the kit failed
  const export_result result = run.finish();
  std::vector<std::string> files_failed = result.files_failed;
  if (kit)
    files_failed.insert(files_failed.end(), kit->files_failed().begin(),
                        kit->files_failed().end());
  for (const std::string& failed : files_failed)
    std::fprintf(stderr, "quorlin: %s\n", failed.c_str());
  if (!result.ok) {
    std::fprintf(stderr, "quorlin: %s%s\n", result.failure.c_str(),
                 result.target_existed ? " (--force replaces it)" : "");
    return 1;
  }
  std::printf("%s\n", result.written_text().c_str());
  if (result.not_ended > 0)
    std::fprintf(stderr, "quorlin: %d %s without an end flag not exported\n", result.not_ended,
                 result.not_ended == 1 ? "entry" : "entries");
  return finish_standard_output(any(true) || !files_failed.empty() ? 1 : 0);
}
