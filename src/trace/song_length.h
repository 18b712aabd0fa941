// How long a song runs, for everything that follows it: the trace, --played,
// the stems and the window's trace. No GTK.
#pragma once

#include <optional>
#include <string>

#include "spc.h"

// A tag that claims more than this (length plus fade) counts as giving no
// length: real songs loop long before, and junk tags claim up to 16,777,215 s.
inline constexpr double song_length_tag_limit_seconds = 3600.0;
// The length followed when the tag gives none.
inline constexpr double song_length_default_seconds = 180.0;
// What --seconds may ask: a millisecond (32 samples) to a day.
inline constexpr double song_length_min_seconds = 0.001;
inline constexpr double song_length_max_seconds = 86400.0;

struct song_length {
  enum class source {
    asked,         // the caller's (--seconds)
    tag,           // the tag's length plus fade
    no_tag,        // the default: the tag gives no length
    tag_too_long,  // the default: the tag claims more than the limit
  };
  double seconds = song_length_default_seconds;  // how long to follow it, the fade included
  double fade_seconds = 0;  // its last seconds, faded out as the tag says (at most `seconds`)
  source from = source::no_tag;
  double tag_claims_seconds = 0;  // the tag's length plus fade, as it claims it

  // For tag_too_long: "PATH: the tag claims 16777225 s, more than an hour:
  // 180 s followed instead" (the path escaped as the text outputs do), else
  // "". Any thread.
  std::string warning(const std::string& path) const;
};

// `asked` seconds when given (within the --seconds range; the caller checks
// it), else the tag's length plus fade, else song_length_default_seconds.
// The tag's fade ends the asked length too; a tag claiming more than the
// limit is not believed, fade included. Any thread.
song_length song_length_of(const spc_format& image, std::optional<double> asked);
