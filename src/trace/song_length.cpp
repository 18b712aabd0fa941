#include "song_length.h"

#include <algorithm>
#include <cstdio>

#include "id666.h"
#include "text_escape.h"

std::string song_length::warning(const std::string& path) const {
  if (from != source::tag_too_long) return {};
  char text[128];
  std::snprintf(text, sizeof text,
                ": the tag claims %.0f s, more than an hour: %.0f s followed instead",
                tag_claims_seconds, seconds);
  return text_line_escape(path) + text;
}

song_length song_length_of(const spc_format& image, std::optional<double> asked) {
  const double tag_seconds = id666_song_seconds(image);
  const double tag_fade = id666_fade_msec(image) / 1000.0;
  song_length length;
  length.tag_claims_seconds = tag_seconds + tag_fade;
  const bool believed = length.tag_claims_seconds <= song_length_tag_limit_seconds;
  if (asked) {
    length.from = song_length::source::asked;
    length.seconds = *asked;
  } else if (tag_seconds <= 0) {
    length.from = song_length::source::no_tag;
  } else if (!believed) {
    length.from = song_length::source::tag_too_long;
  } else {
    length.from = song_length::source::tag;
    length.seconds = length.tag_claims_seconds;
  }
  length.fade_seconds = believed ? std::min(tag_fade, length.seconds) : 0;
  return length;
}
