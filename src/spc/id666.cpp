// The ID666 tag. It comes in two layouts that share the title fields and
// differ from 0x9E on: the text form stores date, length and fade as ASCII
// digits and the artist at 0xB1; the binary form stores them as
// little-endian integers and the artist at 0xB0. Nothing in the file says
// which, so the form is inferred from the bytes of the numeric fields.

#include "id666.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr u8 tag_present_marker = 26;
constexpr u8 tag_absent_marker = 27;
constexpr std::size_t binary_artist_offset = 0xB0;
constexpr std::size_t binary_fade_offset = 0xAC;

const u8* raw_bytes(const spc_format& spc) {
  return reinterpret_cast<const u8*>(&spc);
}

bool is_text_field_byte(u8 byte) {
  return (byte >= '0' && byte <= '9') || byte == '/' || byte == '-' || byte == '.' ||
         byte == 0;
}

bool all_text_field_bytes(const u8* field, std::size_t size) {
  return std::all_of(field, field + size, is_text_field_byte);
}

// Decodes one UTF-8 sequence at `at`; returns its length, or 0 when it is
// malformed (overlong, surrogate, above U+10FFFF, truncated).
std::size_t utf8_sequence_length(const u8* at, std::size_t left) {
  const u8 lead = at[0];
  std::size_t length;
  std::uint32_t code;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (left < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((at[i] & 0xC0) != 0x80) return 0;
    code = code << 6 | (at[i] & 0x3F);
  }
  static constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    return 0;
  return length;
}

bool is_valid_utf8(const char* bytes, std::size_t size) {
  const auto* at = reinterpret_cast<const u8*>(bytes);
  for (std::size_t i = 0; i < size;) {
    const std::size_t length = utf8_sequence_length(at + i, size - i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

struct iconv_closer {
  void operator()(iconv_t* cd) const noexcept {
    iconv_close(*cd);
    delete cd;
  }
};

// Converts with iconv; nothing when the converter is missing or the bytes are
// not valid in `from_code`.
std::optional<std::string> convert_strictly(const char* from_code, const char* bytes,
                                            std::size_t size) {
  const iconv_t raw = iconv_open("UTF-8", from_code);
  if (raw == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  const std::unique_ptr<iconv_t, iconv_closer> cd(new iconv_t(raw));

  std::string in(bytes, size);
  std::string out(size * 4 + 4, '\0');
  char* in_at = in.data();
  std::size_t in_left = in.size();
  char* out_at = out.data();
  std::size_t out_left = out.size();
  if (iconv(*cd, &in_at, &in_left, &out_at, &out_left) == static_cast<std::size_t>(-1) ||
      iconv(*cd, nullptr, nullptr, &out_at, &out_left) == static_cast<std::size_t>(-1))
    return std::nullopt;
  out.resize(out.size() - out_left);
  return out;
}

void append_utf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Windows-1252 never fails: its five undefined bytes become U+FFFD.
std::string convert_windows_1252(const char* bytes, std::size_t size) {
  static constexpr std::array<std::uint16_t, 32> high_controls = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
      0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    const auto byte = static_cast<u8>(bytes[i]);
    append_utf8(out, (byte >= 0x80 && byte < 0xA0) ? high_controls[byte - 0x80] : byte);
  }
  return out;
}

// Lead bytes of Shift-JIS (CP932) pairs that plain JIS text never uses: NEC
// special characters (0x87), NEC-selected IBM extensions (0xED, 0xEE), the
// user-defined area (0xF0-0xF9, private use) and IBM extensions (0xFA-0xFC).
// Accented Windows-1252 letters (í, î, ð-ù, ú-ü) lead exactly such pairs.
bool is_extension_lead(u8 byte) {
  return byte == 0x87 || byte == 0xED || byte == 0xEE || byte >= 0xF0;
}

bool is_shift_jis_lead(u8 byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Whether any pair in `bytes` starts with an extension lead byte.
bool uses_shift_jis_extensions(const char* bytes, std::size_t size) {
  const auto* at = reinterpret_cast<const u8*>(bytes);
  for (std::size_t i = 0; i < size; ++i) {
    if (!is_shift_jis_lead(at[i])) continue;
    if (is_extension_lead(at[i])) return true;
    ++i;  // the trail byte may look like a lead byte
  }
  return false;
}

// Kana (full and half width), kanji, CJK punctuation and full-width forms.
bool is_japanese(std::uint32_t code) {
  return (code >= 0x3000 && code <= 0x30FF) || (code >= 0x4E00 && code <= 0x9FFF) ||
         (code >= 0xFF00 && code <= 0xFFEF);
}

bool is_ascii_letter(std::uint32_t code) {
  return (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z');
}

std::vector<std::uint32_t> code_points(const std::string& utf8) {
  std::vector<std::uint32_t> codes;
  const auto* at = reinterpret_cast<const u8*>(utf8.data());
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t length = std::max<std::size_t>(1, utf8_sequence_length(at + i, utf8.size() - i));
    std::uint32_t code = length == 1 ? at[i] : at[i] & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) code = code << 6 | (at[i + k] & 0x3F);
    codes.push_back(code);
    i += length;
  }
  return codes;
}

// Whether a Shift-JIS reading reads as Japanese: it holds Japanese text, and
// no Japanese character stands alone against a Latin letter. A Windows-1252
// accented letter inside a word ("Pokémon", "Über") makes exactly that: one
// kanji or half-width kana glued to ASCII letters.
bool reads_as_japanese(const std::string& utf8) {
  const std::vector<std::uint32_t> codes = code_points(utf8);
  bool japanese = false;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    if (codes[i] >= 0xE000 && codes[i] <= 0xF8FF) return false;  // private use
    if (!is_japanese(codes[i])) continue;
    japanese = true;
    const bool before_japanese = i > 0 && is_japanese(codes[i - 1]);
    const bool after_japanese = i + 1 < codes.size() && is_japanese(codes[i + 1]);
    const bool before_letter = i > 0 && is_ascii_letter(codes[i - 1]);
    const bool after_letter = i + 1 < codes.size() && is_ascii_letter(codes[i + 1]);
    if (!before_japanese && !after_japanese && (before_letter || after_letter)) return false;
  }
  return japanese;
}

// A fixed-width text field up to its first zero byte, trailing spaces
// trimmed, as UTF-8.
std::string field_text(const u8* field, std::size_t size) {
  const auto* bytes = reinterpret_cast<const char*>(field);
  std::size_t length = strnlen(bytes, size);
  while (length > 0 && bytes[length - 1] == ' ') --length;
  return id666_text_to_utf8(bytes, length);
}

// strtol base 10 over a fixed-width field, as if it ended in a zero byte.
long field_number(const u8* field, std::size_t size) {
  char text[8] = {};
  std::memcpy(text, field, std::min(size, sizeof text - 1));
  return std::strtol(text, nullptr, 10);
}

std::uint32_t little_endian(const u8* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

}  // namespace

id666_form id666_detect_form(const spc_format& spc) {
  if (spc.has_id666 == 0 || spc.has_id666 == tag_absent_marker) return id666_form::none;
  const bool text = all_text_field_bytes(spc.id666_date_dumped, sizeof spc.id666_date_dumped) &&
                    all_text_field_bytes(spc.id666_seconds_before_fadeout,
                                         sizeof spc.id666_seconds_before_fadeout) &&
                    all_text_field_bytes(spc.id666_fade_length_in_msec,
                                         sizeof spc.id666_fade_length_in_msec);
  return text ? id666_form::text : id666_form::binary;
}

std::string id666_song_title(const spc_format& spc) {
  if (id666_detect_form(spc) == id666_form::none) return {};
  return field_text(spc.id666_song_title, sizeof spc.id666_song_title);
}

std::string id666_game_title(const spc_format& spc) {
  if (id666_detect_form(spc) == id666_form::none) return {};
  return field_text(spc.id666_game_title, sizeof spc.id666_game_title);
}

std::string id666_artist_name(const spc_format& spc) {
  switch (id666_detect_form(spc)) {
    case id666_form::none: return {};
    case id666_form::text: return field_text(spc.id666_artist_name, 32);
    case id666_form::binary: return field_text(raw_bytes(spc) + binary_artist_offset, 32);
  }
  return {};
}

std::int32_t id666_song_seconds(const spc_format& spc) {
  switch (id666_detect_form(spc)) {
    case id666_form::none: return 0;
    case id666_form::text:
      return static_cast<std::int32_t>(field_number(spc.id666_seconds_before_fadeout, 3));
    case id666_form::binary:
      return static_cast<std::int32_t>(little_endian(spc.id666_seconds_before_fadeout, 3));
  }
  return 0;
}

std::int32_t id666_fade_msec(const spc_format& spc) {
  switch (id666_detect_form(spc)) {
    case id666_form::none: return 0;
    case id666_form::text:
      return static_cast<std::int32_t>(
          std::max(0L, field_number(spc.id666_fade_length_in_msec, 5)));
    case id666_form::binary: {
      const std::uint32_t fade = little_endian(raw_bytes(spc) + binary_fade_offset, 4);
      return static_cast<std::int32_t>(std::min<std::uint32_t>(fade, INT32_MAX));
    }
  }
  return 0;
}

std::string id666_song_length_text(const spc_format& spc) {
  return minutes_seconds_text(id666_song_seconds(spc));
}

std::string minutes_seconds_text(std::int64_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  return text;
}

std::string id666_text_to_utf8(const char* bytes, std::size_t size) {
  if (is_valid_utf8(bytes, size)) return std::string(bytes, size);
  if (!uses_shift_jis_extensions(bytes, size)) {
    std::optional<std::string> shift_jis = convert_strictly("CP932", bytes, size);
    if (shift_jis && reads_as_japanese(*shift_jis)) return *std::move(shift_jis);
  }
  return convert_windows_1252(bytes, size);
}
