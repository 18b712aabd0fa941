#include "folder_browse.h"

#include <glib.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace {

bool has_spc_extension(const char* name) {
  const std::size_t length = std::strlen(name);
  return length > 4 && g_ascii_strcasecmp(name + length - 4, ".spc") == 0;
}

}  // namespace

std::string neighbouring_spc_file(const std::string& filename, int step) {
  g_autofree char* folder = g_path_get_dirname(filename.c_str());
  g_autofree char* own_name = g_path_get_basename(filename.c_str());
  g_autoptr(GDir) dir = g_dir_open(folder, 0, nullptr);
  if (!dir) return {};

  // (sort key, name); the current file takes part even when it is gone.
  std::vector<std::pair<std::string, std::string>> files;
  auto add = [&files](const char* name) {
    g_autofree char* display = g_filename_display_name(name);
    g_autofree char* key = g_utf8_collate_key_for_filename(display, -1);
    files.emplace_back(std::string(key) + '\0' + name, name);
  };
  bool own_seen = false;
  while (const char* name = g_dir_read_name(dir)) {
    if (!has_spc_extension(name)) continue;
    own_seen = own_seen || std::strcmp(name, own_name) == 0;
    add(name);
  }
  if (!own_seen) add(own_name);
  if (files.size() < 2) return {};
  std::sort(files.begin(), files.end());

  const auto own = std::find_if(files.begin(), files.end(),
                                [&](const auto& file) { return file.second == own_name; });
  const long count = static_cast<long>(files.size());
  const long index = ((own - files.begin() + step) % count + count) % count;
  g_autofree char* path = g_build_filename(folder, files[index].second.c_str(), nullptr);
  return path;
}
