// What Quorlin remembers across runs, in a key file under the user's XDG
// configuration folder (quorlin/settings.ini). A missing or damaged file
// reads as nothing remembered. GTK main thread only.
#pragma once

#include <string>

// The folder of the last file opened, or "" when none is remembered.
std::string settings_last_folder();

// Remembers the folder that holds `filename`. A file that cannot be written
// is reported on standard error and otherwise ignored.
void settings_remember_folder_of(const std::string& filename);
