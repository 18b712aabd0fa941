// Any bytes as the first 0x100 bytes of an image (the header and tag), and as
// a tag text: every reading of the tag must give valid UTF-8.

#include <algorithm>
#include <cstring>

#include "id666.h"

namespace {

bool valid_utf8(const std::string& text) {
  // Rebuilt with the same converter: valid UTF-8 comes back unchanged.
  return id666_text_to_utf8(text.data(), text.size()) == text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static spc_format image;
  std::memset(&image, 0, 0x100);
  std::memcpy(&image, data, std::min<std::size_t>(size, 0x100));
  id666_detect_form(image);
  for (const std::string& text : {id666_song_title(image), id666_game_title(image),
                                  id666_artist_name(image), id666_song_length_text(image)}) {
    if (!valid_utf8(text)) __builtin_trap();
  }
  if (id666_fade_msec(image) < 0) __builtin_trap();
  const std::string converted = id666_text_to_utf8(reinterpret_cast<const char*>(data), size);
  if (!valid_utf8(converted)) __builtin_trap();
  return 0;
}
