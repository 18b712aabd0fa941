#include "access_command.h"

#include <json-glib/json-glib.h>

#include <cstdio>
#include <memory>

#include "aram_access.h"
#include "cli_text.h"
#include "song_length.h"
#include "song_trace.h"
#include "trace_command.h"

recorded_song record_song_accesses(const std::string& path, std::optional<double> seconds,
                                   std::string& failure) {
  recorded_song song;
  song.image = read_spc_or_report(path, failure);
  if (!song.image) return song;
  const song_length length = song_length_of(*song.image, seconds);
  if (const std::string warning = length.warning(path); !warning.empty()) print_message(warning);
  song.access = std::make_unique<aram_access_record>();
  trace_options options;
  options.access = song.access.get();
  song.trace = trace_song(*song.image, length.seconds, options);
  int unlisted = 0;
  summarize_trace(song.trace, *song.image, &unlisted);
  std::fprintf(stderr, "quorlin: %s\n", trace_summary_line(path, song.trace, unlisted).c_str());
  return song;
}

namespace {

// The access record alone, null when the file could not be read.
std::unique_ptr<aram_access_record> record_accesses(const std::string& path,
                                                    std::optional<double> seconds,
                                                    std::string& failure) {
  return record_song_accesses(path, seconds, failure).access;
}

std::optional<std::string> access_block(const std::string& path, std::optional<double> seconds) {
  std::string failure;
  const auto record = record_accesses(path, seconds, failure);
  if (!record) return std::nullopt;
  std::string block = "address\treads\twrites\texecutes\n";
  for (unsigned a = 0; a < 0x10000; ++a) {
    if (!record->touched(u16(a))) continue;
    char line[80];
    std::snprintf(line, sizeof line, "%04X\t%llu\t%llu\t%llu\n", a,
                  static_cast<unsigned long long>(record->reads[a]),
                  static_cast<unsigned long long>(record->writes[a]),
                  static_cast<unsigned long long>(record->executes[a]));
    block += line;
  }
  return block;
}

std::string file_as_json(const std::string& path, std::optional<double> seconds, int& status) {
  return json_file_object(path, status, [&](JsonBuilder* b, std::string& failure) {
    const auto record = record_accesses(path, seconds, failure);
    if (!record) return false;
    json_builder_set_member_name(b, "access");
    json_builder_begin_array(b);
    for (unsigned a = 0; a < 0x10000; ++a) {
      if (!record->touched(u16(a))) continue;
      json_builder_begin_object(b);
      json_add_int(b, "address", a);
      json_add_int(b, "reads", gint64(record->reads[a]));
      json_add_int(b, "writes", gint64(record->writes[a]));
      json_add_int(b, "executes", gint64(record->executes[a]));
      json_builder_end_object(b);
    }
    json_builder_end_array(b);
    return true;
  });
}

}  // namespace

int run_access_command(const std::vector<std::string>& files, std::optional<double> seconds,
                       bool json) {
  if (json)
    return print_json_files(files, [&](const std::string& path, int& status) {
      return file_as_json(path, seconds, status);
    });
  return print_text_files(
      files, [&](const std::string& path) { return access_block(path, seconds); });
}
