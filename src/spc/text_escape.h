// One name as one field of one line of text output (listings, traces, the
// export manifest). No GTK.
#pragma once

#include <string>
#include <string_view>

// `text` with backslash, tab, line feed and carriage return written as
// \\, \t, \n and \r, so that one name stays one field of one line.
// Any thread.
std::string text_line_escape(std::string_view text);
