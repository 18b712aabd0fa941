#include "export_tuning.h"

#include <json-glib/json-glib.h>

#include "instrument_kit.h"
#include "trace_command.h"

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
  add_int("other_envelopes", instrument->other_envelopes);
  const kit_preset preset = kit_preset_of(srcn);
  add_int("bank", preset.bank);
  add_int("program", preset.program);
  json_builder_end_object(b);
}
