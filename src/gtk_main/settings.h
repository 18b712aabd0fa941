// What Quorlin remembers across runs, in a key file under the user's XDG
// configuration folder (quorlin/settings.ini). A missing or damaged file
// reads as nothing remembered. GTK main thread only.
#pragma once

#include <string>

// The folder of the last file opened, or "" when none is remembered.
std::string settings_last_folder();

// Remembers the folder that holds `filename`. Returns "" or, when the file
// cannot be written, a one-line message saying why.
std::string settings_remember_folder_of(const std::string& filename);

// The folder of the last export, or "" when none is remembered.
std::string settings_last_export_folder();

// Remembers `folder` as the last export folder. Returns "" or, when the file
// cannot be written, a one-line message saying why.
std::string settings_remember_export_folder(const std::string& folder);
