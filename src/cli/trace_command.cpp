#include "trace_command.h"

#include <json-glib/json-glib.h>

#include <cinttypes>
#include <cstdio>

#include "cli_text.h"
#include "hex_text.h"
#include "song_length.h"

namespace {

constexpr char header[] =
    "seconds\tvoice\tevent\tsrcn\tsample\tstart\tloop\tpitch\tvolume_left\tvolume_right\t"
    "adsr1\tadsr2\tgain\n";

bool shown(const trace_event& e, bool all_events) {
  return all_events || e.kind == trace_event_kind::key_on || e.kind == trace_event_kind::key_off;
}

// The 13 columns; a change fills only its own, and a change heard split
// for a sample gets "split" after the line.
void append_event(std::string& text, const trace_event& e) {
  char line[160];
  std::snprintf(line, sizeof line, "%.6f\t%d\t%s", e.seconds(), e.voice,
                trace_event_text(e.kind));
  text += line;
  switch (e.kind) {
    case trace_event_kind::key_on:
      std::snprintf(line, sizeof line, "\t%02X\t%s\t%s\t%s\t%s\t%d\t%d\t%02X\t%02X\t%02X", e.srcn,
                    hex_text_format(e.srcn + 1u).c_str(), hex_text_format(e.start).c_str(),
                    hex_text_format(e.loop).c_str(), hex_text_format(e.pitch).c_str(), e.vol_left,
                    e.vol_right, e.adsr1, e.adsr2, e.gain);
      break;
    case trace_event_kind::key_off:
      std::snprintf(line, sizeof line, "\t\t\t\t\t\t\t\t\t\t");  // a key-off names no sample
      break;
    case trace_event_kind::pitch:
      std::snprintf(line, sizeof line, "\t\t\t\t\t%s\t\t\t\t\t", hex_text_format(e.pitch).c_str());
      break;
    case trace_event_kind::volume:
      std::snprintf(line, sizeof line, "\t\t\t\t\t\t%d\t%d\t\t\t", e.vol_left, e.vol_right);
      break;
    case trace_event_kind::envelope:
      std::snprintf(line, sizeof line, "\t\t\t\t\t\t\t\t%02X\t%02X\t%02X", e.adsr1, e.adsr2, e.gain);
      break;
  }
  text += line;
  text += e.split ? "\tsplit\n" : "\n";
}

int trace_as_text(const std::vector<std::string>& files, std::optional<double> seconds,
                  bool all_events) {
  return print_text_files(files, [&](const std::string& path) -> std::optional<std::string> {
    std::string failure;
    const auto image = read_spc_or_report(path, failure);
    if (!image) return std::nullopt;
    const song_trace trace = trace_and_report(path, *image, seconds).trace;
    std::string block = header;
    for (const trace_event& e : trace.events)
      if (shown(e, all_events)) append_event(block, e);
    return block;
  });
}

void add_int(JsonBuilder* b, const char* name, gint64 value) {
  json_builder_set_member_name(b, name);
  json_builder_add_int_value(b, value);
}

void add_event(JsonBuilder* b, const trace_event& e) {
  json_builder_begin_object(b);
  json_builder_set_member_name(b, "seconds");
  json_builder_add_double_value(b, e.seconds());
  add_int(b, "time", e.sample);
  add_int(b, "voice", e.voice);
  json_builder_set_member_name(b, "event");
  json_builder_add_string_value(b, trace_event_text(e.kind));
  switch (e.kind) {
    case trace_event_kind::key_on:
    case trace_event_kind::key_off:
      break;
    case trace_event_kind::pitch:
      add_int(b, "pitch", e.pitch);
      break;
    case trace_event_kind::volume:
      add_int(b, "volume_left", e.vol_left);
      add_int(b, "volume_right", e.vol_right);
      break;
    case trace_event_kind::envelope:
      add_int(b, "adsr1", e.adsr1);
      add_int(b, "adsr2", e.adsr2);
      add_int(b, "gain", e.gain);
      break;
  }
  if (e.kind != trace_event_kind::key_on && e.kind != trace_event_kind::key_off) {
    json_builder_set_member_name(b, "split");
    json_builder_add_boolean_value(b, e.split);
  }
  if (e.kind == trace_event_kind::key_on) {
    add_int(b, "srcn", e.srcn);
    add_int(b, "sample", e.srcn + 1);
    add_int(b, "start", e.start);
    add_int(b, "loop", e.loop);
    add_int(b, "pitch", e.pitch);
    add_int(b, "volume_left", e.vol_left);
    add_int(b, "volume_right", e.vol_right);
    add_int(b, "adsr1", e.adsr1);
    add_int(b, "adsr2", e.adsr2);
    add_int(b, "gain", e.gain);
    json_builder_set_member_name(b, "echo");
    json_builder_add_boolean_value(b, e.echo);
  }
  json_builder_end_object(b);
}

std::string file_as_json(const std::string& path, std::optional<double> seconds, bool all_events,
                         int& status) {
  g_autoptr(JsonBuilder) b = json_builder_new();
  json_builder_begin_object(b);
  json_add_path(b, path);
  std::string failure;
  const auto image = read_spc_or_report(path, failure);
  if (!image) {
    json_builder_set_member_name(b, "error");
    json_builder_add_string_value(b, failure.c_str());
    status = 1;
  } else {
    const traced_song song = trace_and_report(path, *image, seconds);
    json_builder_set_member_name(b, "trace");
    json_add_trace_summary(b, song.trace, song.unlisted_key_ons);
    json_builder_set_member_name(b, "events");
    json_builder_begin_array(b);
    for (const trace_event& e : song.trace.events)
      if (shown(e, all_events)) add_event(b, e);
    json_builder_end_array(b);
  }
  json_builder_end_object(b);
  return json_builder_text(b);
}

int trace_as_json(const std::vector<std::string>& files, std::optional<double> seconds,
                  bool all_events) {
  return print_json_files(files, [&](const std::string& path, int& status) {
    return file_as_json(path, seconds, all_events, status);
  });
}

}  // namespace

std::string trace_summary_line(const std::string& path, const song_trace& trace,
                               int unlisted_key_ons) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", trace.seconds());
  std::string line = text_line_escape(path) + ": traced " + seconds + " s of the song (ended by " +
                     trace_end_text(trace.ended) + "), " +
                     std::to_string(trace.key_on_count()) + " key-ons";
  if (unlisted_key_ons > 0)
    line += ", " + std::to_string(unlisted_key_ons) +
            " of them of samples the snapshot's directory does not list";
  return line;
}

void json_add_trace_summary(JsonBuilder* b, const song_trace& trace, int unlisted_key_ons) {
  json_builder_begin_object(b);
  json_builder_set_member_name(b, "seconds");
  json_builder_add_double_value(b, trace.seconds());
  add_int(b, "key_ons", gint64(trace.key_on_count()));
  add_int(b, "unlisted_key_ons", unlisted_key_ons);
  json_builder_set_member_name(b, "ended");
  json_builder_add_string_value(b, trace_end_text(trace.ended));
  json_builder_end_object(b);
}

traced_song trace_and_report(const std::string& path, const spc_format& image,
                             std::optional<double> seconds) {
  const song_length length = song_length_of(image, seconds);
  if (const std::string warning = length.warning(path); !warning.empty())
    std::fprintf(stderr, "quorlin: %s\n", warning.c_str());
  traced_song song;
  song.trace = trace_song(image, length.seconds);
  song.plays = summarize_trace(song.trace, image, &song.unlisted_key_ons);
  std::fprintf(stderr, "quorlin: %s\n",
               trace_summary_line(path, song.trace, song.unlisted_key_ons).c_str());
  return song;
}

const char* trace_event_text(trace_event_kind kind) {
  switch (kind) {
    case trace_event_kind::key_on: return "on";
    case trace_event_kind::key_off: return "off";
    case trace_event_kind::pitch: return "pitch";
    case trace_event_kind::volume: return "volume";
    case trace_event_kind::envelope: return "envelope";
  }
  return "on";
}

int run_trace_command(const std::vector<std::string>& files, std::optional<double> seconds,
                      bool json, bool all_events) {
  return json ? trace_as_json(files, seconds, all_events)
              : trace_as_text(files, seconds, all_events);
}
