#include "kit_export.h"

#include <sys/stat.h>

#include <json-glib/json-glib.h>

#include <cstdio>

#include "instrument_kit.h"
#include "trace_command.h"

namespace {

std::vector<std::string> kit_file_names(const std::string& stem) {
  return {stem + ".sf2", stem + ".sfz", stem + "-instruments.txt"};
}
}  // namespace

export_tunings tune_export_files(const std::vector<std::string>& files, bool pool_identical,
                                 std::optional<double> seconds,
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
    traced_song song = trace_and_report(path, *spc, seconds);
    for (int srcn = 0; played && srcn < 256; ++srcn)
      if (song.plays[static_cast<std::size_t>(srcn)].played()) (*played)[f].push_back(srcn + 1);
    traces.push_back(std::move(song.trace));
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

void json_add_tuning(JsonBuilder* b, const sample_instrument* instrument, int srcn) {
  json_builder_set_member_name(b, "tuning");
  if (!instrument) {
    json_builder_add_null_value(b);
    return;
  }
  const sample_tuning& t = instrument->tuning;
  const auto add_int = [b](const char* name, gint64 value) {
    json_builder_set_member_name(b, name);
    json_builder_add_int_value(b, value);
  };
  const auto add_text = [b](const char* name, const std::string& value) {
    json_builder_set_member_name(b, name);
    json_builder_add_string_value(b, value.c_str());
  };
  json_builder_begin_object(b);
  add_int("root", t.root_key());
  add_text("root_name", midi_note_name(t.root_key()));
  add_int("fine_tune_cents", t.fine_tune_cents());
  add_text("method", tuning_method_text(t.method));
  json_builder_set_member_name(b, "confidence");
  json_builder_add_double_value(b, t.confidence);
  add_int("played_low", t.played_low.value_or(-1));
  add_int("played_high", t.played_high.value_or(-1));
  json_builder_set_member_name(b, "spread_cents");
  json_builder_add_double_value(b, t.spread_cents);
  add_int("adsr1", instrument->envelope.adsr1);
  add_int("adsr2", instrument->envelope.adsr2);
  add_int("gain", instrument->envelope.gain);
  const kit_preset preset = kit_preset_of(srcn);
  add_int("bank", preset.bank);
  add_int("program", preset.program);
  json_builder_end_object(b);
}

bool kit_export::put(const std::string& stem, const std::map<int, std::string>& names,
                     const spc_format& spc, const std::string& path, bool write,
                     std::string& failure) {
  // The played samples the export wrote (or shared): a kit of the others
  // would point at files that are not there.
  song_instruments instruments;
  for (const auto& [key, instrument] : tunings_)
    if (key.first == path && names.count(key.second + 1)) instruments[key.second] = instrument;
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
  const auto file_name = [&names](int sample_number, const char* extension) {
    return names.at(sample_number) + extension;
  };
  const std::vector<kit_file> files =
      kit_files(stem, kit_samples_for(spc, stem, instruments, file_name), failure);
  if (files.empty()) {
    failure = path + ": " + failure;
    return false;
  }
  for (const kit_file& file : files) {
    const std::string file_path = folder_ + "/" + file.name;
    const int error = publish_bytes(file_path, file.bytes, force_);
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
