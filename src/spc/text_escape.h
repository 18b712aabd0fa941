// One name as one field of one line of text output (listings, traces, the
// export manifest). No GTK.
#pragma once

#include <string>
#include <string_view>

// `text` with backslash, tab, line feed and carriage return written as
// \\, \t, \n and \r, so that one name stays one field of one line.
// Any thread.
std::string text_line_escape(std::string_view text);

// A name made from `name` (a file's stem) for the files an export writes:
// control characters, and with `quoted` the double quote that a kit's
// AddMusicK line puts around a name, become '_', so that every line naming
// the file stays one line and names the file written. Any thread.
std::string output_name_from(std::string_view name, bool quoted);
