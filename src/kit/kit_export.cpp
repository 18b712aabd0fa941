#include "kit_export.h"

#include <sys/stat.h>

#include <cstdio>

#include "instrument_kit.h"

namespace {

std::vector<std::string> kit_file_names(const std::string& stem) {
  return {stem + ".sf2", stem + ".sfz", stem + "-instruments.txt"};
}
}  // namespace

export_tunings tune_export_files(const std::vector<std::string>& files, bool pool_identical,
                                 const song_tracer& trace_file,
                                 std::vector<std::vector<int>>* played,
                                 std::map<std::string, song_trace>* kept_traces) {
  std::vector<std::unique_ptr<spc_format>> images;
  std::vector<song_trace> traces;
  std::vector<std::string> paths;
  if (played) played->assign(files.size(), {});
  for (std::size_t f = 0; f < files.size(); ++f) {
    const std::string& path = files[f];
    std::string failure;
    auto spc = read_spc_file_quietly(path.c_str(), failure);
    if (!spc) continue;
    song_trace trace = trace_file(path, *spc);
    if (played) {
      const std::array<sample_play, 256> plays = summarize_trace(trace, *spc);
      for (int srcn = 0; srcn < 256; ++srcn)
        if (plays[static_cast<std::size_t>(srcn)].played()) (*played)[f].push_back(srcn + 1);
    }
    traces.push_back(std::move(trace));
    images.push_back(std::move(spc));
    paths.push_back(path);
  }
  std::vector<song_to_tune> songs;
  for (std::size_t i = 0; i < images.size(); ++i) songs.push_back({images[i].get(), &traces[i]});
  const std::vector<song_instruments> tuned = tune_played_samples(songs, pool_identical);
  export_tunings out;
  for (std::size_t i = 0; i < tuned.size(); ++i)
    for (const auto& [srcn, instrument] : tuned[i]) out[{paths[i], srcn}] = instrument;
  for (std::size_t i = 0; kept_traces && i < paths.size(); ++i)
    (*kept_traces)[paths[i]] = std::move(traces[i]);
  return out;
}

export_tunings tune_traced_image(const spc_format& spc, const song_trace& trace,
                                 const std::string& path) {
  const std::vector<song_instruments> tuned = tune_played_samples({{&spc, &trace}}, false);
  export_tunings out;
  for (const auto& [srcn, instrument] : tuned.front()) out[{path, srcn}] = instrument;
  return out;
}

song_instruments kit_instruments_of(const export_tunings& tunings,
                                    const std::map<int, std::string>& names,
                                    const std::string& path) {
  song_instruments out;
  for (const auto& [key, instrument] : tunings)
    if (key.first == path && (instrument.from_song || names.count(key.second + 1)))
      out[key.second] = instrument;
  return out;
}

int kit_export::samples_from_song(const std::string& path) const {
  int count = 0;
  for (const auto& [key, instrument] : tunings_)
    if (key.first == path && instrument.from_song) ++count;
  return count;
}

bool kit_export::put(const std::string& stem, const std::map<int, std::string>& names,
                     const spc_format& spc, const std::string& path, bool write,
                     std::string& failure) {
  // The played samples the export wrote (or shared): a kit of the others
  // would point at files that are not there.
  const song_instruments instruments = kit_instruments_of(tunings_, names, path);
  if (instruments.empty()) return true;  // the song plays nothing: no kit
  const auto file_name = [&names](int sample_number, const char* extension) {
    return names.at(sample_number) + extension;
  };
  if (!write) {
    if (force_) return true;
    std::vector<std::string> kit_names = kit_file_names(stem);
    for (const kit_sample& s : kit_samples_for(spc, stem, instruments, file_name))
      if (s.instrument.from_song) kit_names.insert(kit_names.end(), {s.wav_name, s.brr_name});
    for (const std::string& name : kit_names) {
      struct stat st;
      if (lstat((folder_ + "/" + name).c_str(), &st) == 0) {
        failure = folder_ + "/" + name + " already exists: nothing was written";
        return false;
      }
    }
    return true;
  }
  const std::vector<kit_file> files =
      kit_files(stem, kit_samples_for(spc, stem, instruments, file_name), failure);
  if (files.empty()) {
    failure = path + ": " + failure;
    return false;
  }
  if (folder_made_.make(failure) != 0) return false;
  for (const kit_file& file : files) {
    const std::string file_path = folder_ + "/" + file.name;
    const int error = publish_bytes(file_path, file.bytes, force_, publishing_);
    if (error == 0) {
      ++files_written_;
    } else if (publish_error_stops_run(error)) {
      failure = publish_failure_text(file_path, error);
      return false;
    } else {
      files_failed_.push_back(publish_failure_text(file_path, error));  // the others go on
    }
  }
  return true;
}
