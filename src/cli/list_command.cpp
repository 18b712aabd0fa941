#include "list_command.h"

#include <json-glib/json-glib.h>

#include <array>
#include <memory>

#include "aram_regions.h"
#include "brr.h"
#include "cli_text.h"
#include "hex_text.h"
#include "id666.h"
#include "kit_export.h"
#include "sample_checks.h"
#include "song_trace.h"
#include "trace_command.h"
#include "tuning_json.h"
#include "voices.h"

namespace {

struct chart_rows {
  std::int32_t count = 0;
  std::unique_ptr<sample_chart[]> rows;
};

chart_rows chart_of(const spc_format& spc) {
  chart_rows chart;
  generate_sample_chart(spc, chart.count, chart.rows);
  if (!chart.rows) chart.count = 0;
  return chart;
}

std::string table_text(const spc_format& spc, const list_options& options,
                       const std::string& path) {
  std::string text;
  for (int i = 0; i < chart_column_count; ++i)
    text += std::string(i ? "\t" : "") + chart_headings[i];
  text += "\n";
  const chart_rows chart = chart_of(spc);
  std::array<sample_play, 256> plays{};
  if (options.played_only) plays = trace_and_report(path, spc, options.seconds).plays;
  for (std::int32_t r = 0; r < chart.count; ++r) {
    if (options.played_only && !plays[chart.rows[r].sample_number - 1].played()) continue;
    const auto cells = chart_row_texts(chart.rows[r]);
    for (int i = 0; i < chart_column_count; ++i) text += (i ? "\t" : "") + cells[i];
    text += "\n";
  }
  return text;
}

int list_as_text(const std::vector<std::string>& files, const list_options& options) {
  return print_text_files(files, [&](const std::string& path) -> std::optional<std::string> {
    std::string failure;
    const auto spc = read_spc_or_report(path, failure);
    if (!spc) return std::nullopt;
    return table_text(*spc, options, path);
  });
}

void add_int_member(JsonBuilder* b, const char* name, gint64 value) {
  json_builder_set_member_name(b, name);
  json_builder_add_int_value(b, value);
}

void add_string_member(JsonBuilder* b, const char* name, const std::string& value) {
  json_builder_set_member_name(b, name);
  json_builder_add_string_value(b, value.c_str());
}

void add_tag(JsonBuilder* b, const spc_format& spc) {
  json_builder_set_member_name(b, "tag");
  if (id666_detect_form(spc) == id666_form::none) {
    json_builder_add_null_value(b);
    return;
  }
  json_builder_begin_object(b);
  add_string_member(b, "game", id666_game_title(spc));
  add_string_member(b, "song", id666_song_title(spc));
  add_string_member(b, "artist", id666_artist_name(spc));
  add_string_member(b, "length", id666_song_length_text(spc));
  add_int_member(b, "seconds", id666_song_seconds(spc));
  add_int_member(b, "fade_ms", id666_fade_msec(spc));
  json_builder_end_object(b);
}

// What the song does with the sample: null when it never keys it on.
void add_played(JsonBuilder* b, const sample_play& play) {
  json_builder_set_member_name(b, "played");
  if (!play.played()) {
    json_builder_add_null_value(b);
    return;
  }
  json_builder_begin_object(b);
  add_int_member(b, "key_ons", play.key_ons);
  json_builder_set_member_name(b, "voices");
  json_builder_begin_array(b);
  for (int v = 0; v < 8; ++v)
    if (play.voices & (1 << v)) json_builder_add_int_value(b, v);
  json_builder_end_array(b);
  json_builder_set_member_name(b, "first_seconds");
  json_builder_add_double_value(b, double(play.first_sample) / dsp_sample_rate);
  json_builder_set_member_name(b, "pitches");
  json_builder_begin_array(b);
  for (const sample_play::pitch_count& p : play.pitches) {
    json_builder_begin_object(b);
    add_int_member(b, "pitch", p.pitch);
    add_int_member(b, "count", p.count);
    json_builder_end_object(b);
  }
  json_builder_end_array(b);
  json_builder_end_object(b);
}

void add_sample(JsonBuilder* b, const spc_format& spc, const sample_chart& row,
                const sample_play& play, const sample_instrument* instrument) {
  // The facts need no decoding.
  const brr_sample sample = brr_walk_chain(spc, row.sample_address, row.loop_address);
  const int srcn = row.sample_number - 1;
  json_builder_begin_object(b);
  add_int_member(b, "number", row.sample_number);
  add_int_member(b, "srcn", srcn);
  add_int_member(b, "start", row.sample_address);
  add_int_member(b, "loop", row.loop_address);
  add_int_member(b, "length", row.sample_length);
  add_int_member(b, "loop_length", row.loop_length);
  add_int_member(b, "blocks", static_cast<gint64>(sample.blocks.size()));
  json_builder_set_member_name(b, "ends");
  json_builder_add_boolean_value(b, sample.ends);
  json_builder_set_member_name(b, "loops");
  json_builder_add_boolean_value(b, sample.loops);
  json_builder_set_member_name(b, "loop_sample");
  if (sample.loop_sample) json_builder_add_int_value(b, static_cast<gint64>(*sample.loop_sample));
  else json_builder_add_null_value(b);
  json_builder_set_member_name(b, "voices");
  json_builder_begin_array(b);
  for (int v : voices_using_source(spc, srcn)) json_builder_add_int_value(b, v);
  json_builder_end_array(b);
  json_builder_set_member_name(b, "warnings");
  json_builder_begin_array(b);
  for (const std::string& text : sample_warning_texts(spc, sample))
    json_builder_add_string_value(b, text.c_str());
  json_builder_end_array(b);
  add_played(b, play);
  json_add_tuning(b, instrument, srcn);
  json_builder_end_object(b);
}

// One file's object as compact JSON text.
std::string file_as_json(const std::string& path, const list_options& options, int& status) {
  g_autoptr(JsonBuilder) b = json_builder_new();
  json_builder_begin_object(b);
  json_add_path(b, path);
  std::string failure;
  const auto spc = read_spc_or_report(path, failure);
  if (!spc) {
    add_string_member(b, "error", failure);
    status = 1;
  } else {
    add_tag(b, *spc);
    add_int_member(b, "directory", directory_region(*spc).start);
    const traced_song song = trace_and_report(path, *spc, options.seconds);
    json_builder_set_member_name(b, "trace");
    json_add_trace_summary(b, song.trace, song.unlisted_key_ons);
    const std::array<sample_play, 256>& plays = song.plays;
    const export_tunings tunings = tune_traced_image(*spc, song.trace, path);
    json_builder_set_member_name(b, "samples");
    json_builder_begin_array(b);
    const chart_rows chart = chart_of(*spc);
    for (std::int32_t r = 0; r < chart.count; ++r) {
      const sample_play& play = plays[chart.rows[r].sample_number - 1];
      if (options.played_only && !play.played()) continue;
      add_sample(b, *spc, chart.rows[r], play,
                 find_instrument(&tunings, path, chart.rows[r].sample_number - 1));
    }
    json_builder_end_array(b);
  }
  json_builder_end_object(b);
  return json_builder_text(b);
}

int list_as_json(const std::vector<std::string>& files, const list_options& options) {
  return print_json_files(files, [&](const std::string& path, int& status) {
    return file_as_json(path, options, status);
  });
}

}  // namespace

int run_list_command(const std::vector<std::string>& files, bool json,
                     const list_options& options) {
  return json ? list_as_json(files, options) : list_as_text(files, options);
}
