#include "free_command.h"

#include <json-glib/json-glib.h>

#include <cstdio>

#include "access_command.h"
#include "cli_text.h"
#include "free_space.h"

namespace {

// The song's free ranges; false (reported) when the file can't be read.
bool free_ranges_of_file(const std::string& path, std::optional<double> seconds,
                         std::vector<free_range>& ranges, std::string& failure) {
  const recorded_song song = record_song_accesses(path, seconds, failure);
  if (!song.image) return false;
  ranges = free_ranges_of_song(*song.image, song.trace, *song.access);
  return true;
}

std::optional<std::string> free_block(const std::string& path, std::optional<double> seconds) {
  std::string failure;
  std::vector<free_range> ranges;
  if (!free_ranges_of_file(path, seconds, ranges, failure)) return std::nullopt;
  std::string block = "start\tend\tbytes\n";
  for (const free_range& r : ranges) {
    char line[40];
    std::snprintf(line, sizeof line, "%04X\t%04X\t%u\n", unsigned(r.start), unsigned(r.end),
                  unsigned(r.bytes));
    block += line;
  }
  return block;
}

std::string file_as_json(const std::string& path, std::optional<double> seconds, int& status) {
  return json_file_object(path, status, [&](JsonBuilder* b, std::string& failure) {
    std::vector<free_range> ranges;
    if (!free_ranges_of_file(path, seconds, ranges, failure)) return false;
    json_builder_set_member_name(b, "free");
    json_builder_begin_array(b);
    for (const free_range& r : ranges) {
      json_builder_begin_object(b);
      json_add_int(b, "start", r.start);
      json_add_int(b, "end", r.end);
      json_add_int(b, "bytes", r.bytes);
      json_builder_end_object(b);
    }
    json_builder_end_array(b);
    return true;
  });
}

}  // namespace

int run_free_command(const std::vector<std::string>& files, std::optional<double> seconds,
                     bool json) {
  if (json)
    return print_json_files(files, [&](const std::string& path, int& status) {
      return file_as_json(path, seconds, status);
    });
  return print_text_files(
      files, [&](const std::string& path) { return free_block(path, seconds); });
}
