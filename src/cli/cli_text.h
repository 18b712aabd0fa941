// What the command line's text and JSON output share: file names made safe
// for line- and tab-based text, paths in JSON, and a checked standard output.
// No GTK.
#pragma once

#include <json-glib/json-glib.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "text_escape.h"

// Adds the member "path" to the object being built: `path` itself when it is
// valid UTF-8, else its display name, with the exact bytes as a file:// URI in
// a member "uri". Any thread.
void json_add_path(JsonBuilder* builder, const std::string& path);

// The builder's document as compact JSON text. Any thread.
std::string json_builder_text(JsonBuilder* builder);

// Prints {"files":[...]} with one object per file, each made by
// `file_object` (which may set `status`) and written as soon as it is made,
// so that a thousand files never sit in memory as one tree. Returns
// `status`. Main thread only.
int print_json_files(const std::vector<std::string>& files,
                     const std::function<std::string(const std::string& path, int& status)>&
                         file_object);

// Flushes standard output; when that or any earlier write failed, prints
// "quorlin: write error: <reason>" on standard error and returns 1, else
// returns `status`. Main thread only.
int finish_standard_output(int status);
