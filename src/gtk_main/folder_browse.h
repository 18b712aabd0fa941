// Browsing a soundtrack: the .spc files beside the current one, in name
// order. Any thread (GLib only).
#pragma once

#include <string>

// The file `step` places after (negative: before) `filename` among the
// .spc files of its folder (any case of the extension), in the order a file
// manager lists names ("track 2" before "track 10"), wrapping at the ends.
// "" when the folder cannot be read or holds no other .spc file.
std::string neighbouring_spc_file(const std::string& filename, int step);
