#include "kit_export.h"

#include <sys/stat.h>

#include <cstdio>

#include "instrument_kit.h"
#include "trace_command.h"

namespace {

std::vector<std::string> kit_file_names(const std::string& stem) {
  return {stem + ".sf2", stem + ".sfz", stem + "-instruments.txt"};
}

std::string two_digit_hex(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value));
  return text;
}

}  // namespace

export_tunings tune_export_files(const std::vector<std::string>& files, bool pool_identical) {
  std::vector<std::unique_ptr<spc_format>> images;
  std::vector<song_trace> traces;
  std::vector<std::string> paths;
  for (const std::string& path : files) {
    std::string failure;
    auto spc = read_spc_file_quietly(path.c_str(), failure);
    if (!spc) continue;
    traces.push_back(trace_and_report(path, *spc, 0).trace);
    images.push_back(std::move(spc));
    paths.push_back(path);
  }
  std::vector<song_to_tune> songs;
  for (std::size_t i = 0; i < images.size(); ++i) songs.push_back({images[i].get(), &traces[i]});
  const std::vector<song_instruments> tuned = tune_played_samples(songs, pool_identical);
  export_tunings out;
  for (std::size_t i = 0; i < tuned.size(); ++i)
    for (const auto& [srcn, instrument] : tuned[i]) out[{paths[i], srcn}] = instrument;
  return out;
}

export_tunings tune_traced_image(const spc_format& spc, const song_trace& trace,
                                 const std::string& path) {
  const std::vector<song_instruments> tuned = tune_played_samples({{&spc, &trace}}, false);
  export_tunings out;
  for (const auto& [srcn, instrument] : tuned.front()) out[{path, srcn}] = instrument;
  return out;
}

bool kit_export::put(const std::string& stem, const spc_format& spc, const std::string& path,
                     bool write, std::string& failure) {
  song_instruments instruments;
  for (const auto& [key, instrument] : tunings_)
    if (key.first == path) instruments[key.second] = instrument;
  if (instruments.empty()) return true;  // the song plays nothing: no kit
  if (!write) {
    if (force_) return true;
    for (const std::string& name : kit_file_names(stem)) {
      struct stat st;
      if (lstat((folder_ + "/" + name).c_str(), &st) == 0) {
        failure = folder_ + "/" + name + " already exists: nothing was written";
        return false;
      }
    }
    return true;
  }
  const auto file_name = [&stem](int sample_number, const char* extension) {
    return stem + "-" + two_digit_hex(sample_number) + extension;
  };
  const std::vector<kit_file> files =
      kit_files(stem, kit_samples_for(spc, stem, instruments, file_name), failure);
  if (files.empty()) {
    failure = path + ": " + failure;
    return false;
  }
  for (const kit_file& file : files) {
    if (!publish_file(folder_ + "/" + file.name, file.bytes, force_, failure)) return false;
    ++files_written_;
  }
  return true;
}
