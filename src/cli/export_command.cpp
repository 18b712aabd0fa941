#include "export_command.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "cli_text.h"
#include "interrupted_run.h"
#include "kit_export.h"
#include "midi_export.h"
#include "trace_command.h"

namespace {

// Says when the files of `path` are not named after its own stem: an
// earlier file had it, or characters a line naming the files can't hold
// were replaced (`kit`: a kit's lines quote the names).
void say_stem_given(const std::string& path, const std::string& given, bool kit) {
  const std::string own = std::filesystem::path(path).stem().string();
  const std::string made = output_name_from(own, kit);
  if (given == own) return;
  const std::string why = given != made ? "an earlier file having its name"
                          : kit ? "control characters and quotes replaced by _"
                                : "control characters replaced by _";
  print_file_message(path, "written as \"" + text_line_escape(given) + "\", " + why);
}

// Adds every readable file of `files` to `run`, in order, stopping when the
// run fails. Files that can't be read are reported (on the first pass only)
// and marked in `unreadable`.
// With `played` (--played), file i adds only the entries in played[i].
// With a kit, keyed[i] holds the entries file i's song keys on, which say
// why a file gets no kit. Returns false when a kit could not be made or
// written (said on standard error).
bool add_files(sample_export& run, const std::vector<std::string>& files,
               std::vector<bool>& unreadable, bool report, kit_export* kit, midi_export* midi,
               const std::vector<std::vector<int>>* played,
               const std::vector<std::vector<int>>& keyed) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (unreadable[i]) continue;
    const std::string& path = files[i];
    std::string failure;
    const auto spc = read_spc_or_report(path, failure);
    if (!spc) {
      unreadable[i] = true;
      continue;
    }
    const char* const no_kit = kit ? ": no instrument kit written" : "";
    // A song that keys on none of the table's samples may still play samples
    // its driver wrote after the snapshot: then its kit holds only those.
    const bool only_from_song = played && (*played)[i].empty() && kit &&
                                kit->samples_from_song(path) > 0;
    if (played && (*played)[i].empty() && !only_from_song) {
      if (report)
        print_file_message(path, std::string("the song keys on no sample the directory lists") +
                                     no_kit);
      continue;
    }
    constexpr int no_table_row = 0;  // the table's sample numbers run 1 ... 256
    const std::vector<int> rows = only_from_song ? std::vector<int>{no_table_row}
                                  : played       ? (*played)[i]
                                                 : std::vector<int>{};
    if (!run.add_image(*spc, path, rows)) return true;
    const int kit_files_before = kit ? kit->files_written() : 0;
    if (kit && !kit->put(run.stem_given(), run.names_given(), *spc, path, report, failure)) {
      print_message(failure + (report ? "" : " (--force replaces it)"));
      return false;
    }
    if (midi && !midi->put(run.stem_given(), run.names_given(), *spc, path, report, failure)) {
      print_message(failure + (report ? "" : " (--force replaces it)"));
      return false;
    }
    if (midi && !midi->written().empty()) print_file_message(path, midi->written());
    // A kit of none of the samples is no kit: say so rather than go quiet.
    if (kit && report && kit->files_written() == kit_files_before)
      print_file_message(path, std::string(i < keyed.size() && keyed[i].empty()
                                               ? "the song keys on no sample the directory lists"
                                               : "no sample the song keys on ends") +
                                   no_kit);
    if (report) say_stem_given(path, run.stem_given(), kit != nullptr);
  }
  return true;
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
  interrupted_run interrupts;  // a signal leaves only whole files
  std::vector<bool> unreadable(files.size(), false);
  std::vector<std::vector<int>> played;
  // --instruments: the songs are traced and their samples tuned first, so
  // that the WAV files and the manifest carry the tuning; the same traces
  // say what --played keeps.
  export_tunings tunings;
  export_options with_tunings = options;
  with_tunings.publishing.interrupts = &interrupts;
  std::unique_ptr<kit_export> kit;
  export_traces traces;
  std::unique_ptr<midi_export> midi;
  if (played_only && !options.instruments) played = played_samples(files, seconds);
  const std::vector<std::vector<int>>* only = played_only ? &played : nullptr;
  if (options.instruments) {
    const auto trace_file = [seconds](const std::string& path, const spc_format& spc) {
      return trace_and_report(path, spc, seconds).trace;
    };
    tunings = tune_export_files(files, options.unique, trace_file, &played,
                                options.midi ? &traces : nullptr);
    with_tunings.tunings = &tunings;
    kit = std::make_unique<kit_export>(folder, tunings, options.force, with_tunings.publishing);
    if (options.midi)
      midi = std::make_unique<midi_export>(folder, tunings, traces, options.force,
                                           with_tunings.publishing);
  }
  const auto any = [&unreadable](bool value) {
    return std::find(unreadable.begin(), unreadable.end(), value) != unreadable.end();
  };
  // Without --force the names are checked first, each file read once more
  // rather than all held: a file in the way means nothing is written.
  if (!options.force) {
    sample_export check(with_tunings, folder, sample_export::mode::check_only);
    const bool kits_checked =
        add_files(check, files, unreadable, false, kit.get(), midi.get(), only, played);
    if (!any(false) || !kits_checked) return 1;
    const export_result checked = check.finish();
    if (!checked.ok) {
      print_message(checked.failure + " (--force replaces it)");
      return 1;
    }
  }
  sample_export run(with_tunings, folder);
  const bool kits_written =
      add_files(run, files, unreadable, true, kit.get(), midi.get(), only, played);
  if (!any(false) || !kits_written) return 1;  // nothing could be read, or the kit failed
  const export_result result = run.finish();
  std::vector<std::string> files_failed = result.files_failed;
  if (kit)
    files_failed.insert(files_failed.end(), kit->files_failed().begin(),
                        kit->files_failed().end());
  if (midi)
    files_failed.insert(files_failed.end(), midi->files_failed().begin(),
                        midi->files_failed().end());
  for (const std::string& failed : files_failed)
    std::fprintf(stderr, "quorlin: %s\n", failed.c_str());
  if (!result.ok) {
    print_message(result.failure + (result.target_existed ? " (--force replaces it)" : ""));
    return 1;
  }
  std::printf("%s\n", result.written_text().c_str());
  if (result.not_ended > 0)
    std::fprintf(stderr, "quorlin: %d %s without an end flag not exported\n", result.not_ended,
                 result.not_ended == 1 ? "entry" : "entries");
  return finish_standard_output(any(true) || !files_failed.empty() ? 1 : 0);
}
