// The ID666 tag of an SPC image: whether it is there, which of its two forms
// (text or binary) it is stored in, and its fields as display-ready UTF-8.
// Pure functions of the image; any thread.
#pragma once

#include <cstdint>
#include <string>

#include "spc.h"

enum class id666_form { none, text, binary };

// none when the marker byte is 0 or 27; otherwise text when the date, length
// and fade fields hold only digits, '/', '-', '.' or zero bytes, else binary.
id666_form id666_detect_form(const spc_format& spc);

// Title and artist texts: the field up to its first zero byte, converted to
// UTF-8 as id666_text_to_utf8 does,
// trailing spaces trimmed. Empty when there is no tag.
std::string id666_song_title(const spc_format& spc);
std::string id666_game_title(const spc_format& spc);
std::string id666_artist_name(const spc_format& spc);

// Song length in seconds before the fade (text form read like strtol base 10,
// so it may be negative; binary form a 24-bit little-endian integer); 0 when
// there is no tag.
std::int32_t id666_song_seconds(const spc_format& spc);

// Fade length in milliseconds, clamped to 0 ... INT32_MAX (text: up to 5
// digits; binary: 32-bit little-endian); 0 when there is no tag.
std::int32_t id666_fade_msec(const spc_format& spc);

// "%d:%02d" of the song length as minutes and seconds (remainder keeps the
// sign: -5 gives "0:-5").
std::string id666_song_length_text(const spc_format& spc);

// "%d:%02d" of `seconds` as minutes and seconds, the form every time in the
// program takes ("1:05"). Any thread.
std::string minutes_seconds_text(std::int64_t seconds);

// Converts `size` bytes to UTF-8 as the tag texts are: valid UTF-8 is kept;
// else Shift-JIS when that reading is plausible (no extension or
// user-defined codes, and Japanese characters that are not single ones glued
// to Latin letters); else Windows-1252 (its five undefined bytes as U+FFFD).
std::string id666_text_to_utf8(const char* bytes, std::size_t size);
