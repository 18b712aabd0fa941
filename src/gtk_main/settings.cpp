// One small key file, rewritten whole: g_file_set_contents writes a new file
// and renames it over the old one, so a crash never leaves half of it.

#include "settings.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>

namespace {

constexpr char group_open[] = "open";
constexpr char group_export[] = "export";
constexpr char key_last_folder[] = "last-folder";

std::string settings_path() {
  g_autofree char* path =
      g_build_filename(g_get_user_config_dir(), "quorlin", "settings.ini", nullptr);
  return path;
}

// A remembered folder that still exists, or "".
std::string read_folder(const char* group) {
  g_autoptr(GKeyFile) file = g_key_file_new();
  if (!g_key_file_load_from_file(file, settings_path().c_str(), G_KEY_FILE_NONE, nullptr))
    return {};
  g_autofree char* folder = g_key_file_get_string(file, group, key_last_folder, nullptr);
  if (!folder || !g_file_test(folder, G_FILE_TEST_IS_DIR)) return {};
  return folder;
}

std::string remember_folder(const char* group, const char* folder) {
  const std::string path = settings_path();
  g_autoptr(GKeyFile) file = g_key_file_new();
  // Keys written by a later version stay; a damaged file is replaced.
  g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
  g_autofree char* old = g_key_file_get_string(file, group, key_last_folder, nullptr);
  if (old && g_strcmp0(old, folder) == 0) return {};
  g_key_file_set_string(file, group, key_last_folder, folder);

  g_autofree char* config_folder = g_path_get_dirname(path.c_str());
  g_autoptr(GError) error = nullptr;
  gsize length = 0;
  g_autofree char* text = g_key_file_to_data(file, &length, nullptr);
  if (g_mkdir_with_parents(config_folder, 0700) != 0)
    return "Unable to save settings in " + path + ": " + g_strerror(errno);
  if (!g_file_set_contents(path.c_str(), text, static_cast<gssize>(length), &error))
    return "Unable to save settings in " + path + ": " + error->message;
  return {};
}

}  // namespace

std::string settings_last_folder() { return read_folder(group_open); }

std::string settings_remember_folder_of(const std::string& filename) {
  g_autofree char* folder = g_path_get_dirname(filename.c_str());
  return remember_folder(group_open, folder);
}

std::string settings_last_export_folder() { return read_folder(group_export); }

std::string settings_remember_export_folder(const std::string& folder) {
  return remember_folder(group_export, folder.c_str());
}
