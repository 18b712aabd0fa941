// What the command line's text and JSON output share: file names made safe
// for line- and tab-based text, paths in JSON, and a checked standard output.
// No GTK.
#pragma once

#include <json-glib/json-glib.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "spc.h"
#include "text_escape.h"

// Adds the member "path" to the object being built: `path` itself when it is
// valid UTF-8, else its display name, with the exact bytes as a file:// URI in
// a member "uri". Any thread.
void json_add_path(JsonBuilder* builder, const std::string& path);

// The builder's document as compact JSON text. Any thread.
std::string json_builder_text(JsonBuilder* builder);

// Prints {"files":[...]} with one object per file, each made by
// `file_object` (which may set `status`) and written as soon as it is made,
// so that a thousand files never sit in memory as one tree; a failed write
// ends it. Returns what finish_standard_output returns for `status`. Main
// thread only.
int print_json_files(const std::vector<std::string>& files,
                     const std::function<std::string(const std::string& path, int& status)>&
                         file_object);

// Adds the member `name` with the integer `value`. Any thread.
void json_add_int(JsonBuilder* builder, const char* name, gint64 value);

// One file's object for print_json_files: "path", then what `add_members`
// adds, or, when it returns false having added nothing, "error" with the
// `failure` it gave (and `status` set to 1). Any thread.
std::string json_file_object(
    const std::string& path, int& status,
    const std::function<bool(JsonBuilder* builder, std::string& failure)>& add_members);

// Prints each file's block of text as head(1) does: with several files each
// block comes after a "==> FILE <==" line, blocks apart by a blank line.
// `file_block` gives the block, or nothing when the file failed (it has
// reported why; the status becomes 1). A failed write ends the run before
// the next file (a reader that has gone). Returns what
// finish_standard_output returns. Main thread only.
int print_text_files(
    const std::vector<std::string>& files,
    const std::function<std::optional<std::string>(const std::string& path)>& file_block);

// Writes `text` to standard output and flushes it, so that a reader that
// has gone is noticed at once. Returns 0, or the error of the write that
// failed. Main thread only.
int write_standard_output(std::string_view text);

// Flushes standard output. When that, or the write that failed with
// `write_error` (0: none), or any earlier write failed: a closed pipe
// (EPIPE) ends the process by SIGPIPE, silently, as the standard tools end;
// any other error is printed as "quorlin: write error: <reason>" on
// standard error and 1 returned. Else returns `status`. Main thread only.
int finish_standard_output(int status, int write_error = 0);

// Prints "quorlin: <text>" on standard error, the names `text` holds
// written as text_line_escape writes them, so the message stays one line.
// Main thread only.
void print_message(const std::string& text);

// Prints "quorlin: <path>: <text>" on standard error, `path` escaped as
// text_line_escape does. Main thread only.
void print_file_message(const std::string& path, const std::string& text);

// The image read from `path`, or null after print_file_message has said
// why (`failure` then holds the reason). Main thread only.
std::unique_ptr<spc_format> read_spc_or_report(const std::string& path, std::string& failure);
