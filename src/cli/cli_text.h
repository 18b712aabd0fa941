// What the command line's text and JSON output share: file names made safe
// for line- and tab-based text, paths in JSON, and a checked standard output.
// No GTK.
#pragma once

#include <json-glib/json-glib.h>

#include <string>
#include <string_view>

// `text` with backslash, tab, line feed and carriage return written as
// `\\`, `\t`, `\n` and `\r`, so that one name stays one field of one line.
// Any thread.
std::string text_line_escape(std::string_view text);

// Adds the member "path" to the object being built: `path` itself when it is
// valid UTF-8, else its display name, with the exact bytes as a file:// URI in
// a member "uri". Any thread.
void json_add_path(JsonBuilder* builder, const std::string& path);

// Flushes standard output; when that or any earlier write failed, prints
// "quorlin: write error: <reason>" on standard error and returns 1, else
// returns `status`. Main thread only.
int finish_standard_output(int status);
