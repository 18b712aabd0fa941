#include "access_command.h"

#include <json-glib/json-glib.h>

#include <cstdio>
#include <memory>

#include "aram_access.h"
#include "cli_text.h"
#include "song_length.h"
#include "song_trace.h"
#include "trace_command.h"

namespace {

// Follows the song with the access record on; says so on standard error as
// --trace does. Null (and the reason in `failure`) when the file can't be
// read, which is reported too.
std::unique_ptr<aram_access_record> record_accesses(const std::string& path,
                                                    std::optional<double> seconds,
                                                    std::string& failure) {
  const auto image = read_spc_or_report(path, failure);
  if (!image) return nullptr;
  const song_length length = song_length_of(*image, seconds);
  if (const std::string warning = length.warning(path); !warning.empty()) print_message(warning);
  auto record = std::make_unique<aram_access_record>();
  trace_options options;
  options.access = record.get();
  const song_trace trace = trace_song(*image, length.seconds, options);
  int unlisted = 0;
  summarize_trace(trace, *image, &unlisted);
  std::fprintf(stderr, "quorlin: %s\n", trace_summary_line(path, trace, unlisted).c_str());
  return record;
}

int access_as_text(const std::vector<std::string>& files, std::optional<double> seconds) {
  int status = 0;
  int write_error = 0;
  bool first_block = true;
  // A reader that has gone (head -1) ends the run before the next file.
  for (std::size_t i = 0; i < files.size() && write_error == 0; ++i) {
    const std::string& path = files[i];
    std::string failure;
    const auto record = record_accesses(path, seconds, failure);
    if (!record) {
      status = 1;
      continue;
    }
    // As head(1) does: a title before each block when there are several.
    std::string block;
    if (files.size() > 1)
      block = std::string(first_block ? "" : "\n") + "==> " + text_line_escape(path) + " <==\n";
    first_block = false;
    block += "address\treads\twrites\texecutes\n";
    for (unsigned a = 0; a < 0x10000; ++a) {
      if (!record->touched(u16(a))) continue;
      char line[80];
      std::snprintf(line, sizeof line, "%04X\t%llu\t%llu\t%llu\n", a,
                    static_cast<unsigned long long>(record->reads[a]),
                    static_cast<unsigned long long>(record->writes[a]),
                    static_cast<unsigned long long>(record->executes[a]));
      block += line;
    }
    write_error = write_standard_output(block);
  }
  return finish_standard_output(status, write_error);
}

void add_int(JsonBuilder* b, const char* name, gint64 value) {
  json_builder_set_member_name(b, name);
  json_builder_add_int_value(b, value);
}

std::string file_as_json(const std::string& path, std::optional<double> seconds, int& status) {
  g_autoptr(JsonBuilder) b = json_builder_new();
  json_builder_begin_object(b);
  json_add_path(b, path);
  std::string failure;
  const auto record = record_accesses(path, seconds, failure);
  if (!record) {
    json_builder_set_member_name(b, "error");
    json_builder_add_string_value(b, failure.c_str());
    status = 1;
  } else {
    json_builder_set_member_name(b, "access");
    json_builder_begin_array(b);
    for (unsigned a = 0; a < 0x10000; ++a) {
      if (!record->touched(u16(a))) continue;
      json_builder_begin_object(b);
      add_int(b, "address", a);
      add_int(b, "reads", gint64(record->reads[a]));
      add_int(b, "writes", gint64(record->writes[a]));
      add_int(b, "executes", gint64(record->executes[a]));
      json_builder_end_object(b);
    }
    json_builder_end_array(b);
  }
  json_builder_end_object(b);
  return json_builder_text(b);
}

}  // namespace

int run_access_command(const std::vector<std::string>& files, std::optional<double> seconds,
                       bool json) {
  if (json)
    return print_json_files(files, [&](const std::string& path, int& status) {
      return file_as_json(path, seconds, status);
    });
  return access_as_text(files, seconds);
}
