#include "trace_command.h"

#include <json-glib/json-glib.h>

#include <cinttypes>
#include <cstdio>

#include "cli_text.h"
#include "hex_text.h"
#include "id666.h"

namespace {

constexpr char header[] =
    "seconds\tvoice\tevent\tsrcn\tsample\tstart\tloop\tpitch\tvolume_left\tvolume_right\t"
    "adsr1\tadsr2\tgain\n";

void append_event(std::string& text, const trace_event& e) {
  char line[160];
  std::snprintf(line, sizeof line, "%.6f\t%d\t%s", e.seconds(), e.voice,
                e.kind == trace_event_kind::key_on ? "on" : "off");
  text += line;
  if (e.kind == trace_event_kind::key_off) {
    text += "\t\t\t\t\t\t\t\t\t\t\n";  // a key-off names no sample
    return;
  }
  std::snprintf(line, sizeof line, "\t%02X\t%s\t%s\t%s\t%s\t%d\t%d\t%02X\t%02X\t%02X\n", e.srcn,
                hex_text_format(e.srcn + 1u).c_str(), hex_text_format(e.start).c_str(),
                hex_text_format(e.loop).c_str(), hex_text_format(e.pitch).c_str(), e.vol_left,
                e.vol_right, e.adsr1, e.adsr2, e.gain);
  text += line;
}

int trace_as_text(const std::vector<std::string>& files, double seconds) {
  int status = 0;
  int write_error = 0;
  bool first_block = true;
  // A reader that has gone (head -1) ends the run before the next file.
  for (std::size_t i = 0; i < files.size() && write_error == 0; ++i) {
    const std::string& path = files[i];
    std::string failure;
    const auto image = read_spc_or_report(path, failure);
    if (!image) {
      status = 1;
      continue;
    }
    const song_trace trace = trace_and_report(path, *image, seconds).trace;
    // As head(1) does: a title before each block when there are several.
    std::string block;
    if (files.size() > 1)
      block = std::string(first_block ? "" : "\n") + "==> " + text_line_escape(path) + " <==\n";
    first_block = false;
    block += header;
    for (const trace_event& e : trace.events) append_event(block, e);
    write_error = write_standard_output(block);
  }
  return finish_standard_output(status, write_error);
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
  json_builder_add_string_value(b, e.kind == trace_event_kind::key_on ? "on" : "off");
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

std::string file_as_json(const std::string& path, double seconds, int& status) {
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
    for (const trace_event& e : song.trace.events) add_event(b, e);
    json_builder_end_array(b);
  }
  json_builder_end_object(b);
  return json_builder_text(b);
}

int trace_as_json(const std::vector<std::string>& files, double seconds) {
  return print_json_files(files, [&](const std::string& path, int& status) {
    return file_as_json(path, seconds, status);
  });
}

}  // namespace

double trace_length(const spc_format& image, double asked) {
  return asked > 0 ? asked : trace_default_length(image);
}

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

traced_song trace_and_report(const std::string& path, const spc_format& image, double seconds) {
  traced_song song;
  song.trace = trace_song(image, trace_length(image, seconds));
  song.plays = summarize_trace(song.trace, image, &song.unlisted_key_ons);
  std::fprintf(stderr, "quorlin: %s\n",
               trace_summary_line(path, song.trace, song.unlisted_key_ons).c_str());
  return song;
}

int run_trace_command(const std::vector<std::string>& files, double seconds, bool json) {
  return json ? trace_as_json(files, seconds) : trace_as_text(files, seconds);
}
