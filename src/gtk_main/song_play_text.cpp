#include "song_play_text.h"

#include <cmath>
#include <cstdio>

#include "id666.h"
#include "timeline_layout.h"

namespace {

std::string pitch_hex(u16 pitch) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", pitch);
  return text;
}

}  // namespace

std::string sample_play_text(const sample_play& play, double traced_seconds) {
  if (!play.played())
    return "Not played in " + minutes_seconds_text(std::llround(traced_seconds));
  std::string text = play.key_ons == 1 ? std::string("Played once")
                                       : "Played " + std::to_string(play.key_ons) + " times";
  std::string voices;
  int voice_count = 0;
  for (int v = 0; v < dsp_voice_count; ++v) {
    if (!(play.voices & (1u << v))) continue;
    voices += (voices.empty() ? "" : ", ") + std::to_string(v);
    ++voice_count;
  }
  text += (voice_count == 1 ? " on voice " : " on voices ") + voices;
  text += ", first at " + tenths_time_text(double(play.first_sample) / dsp_sample_rate);
  if (play.pitches.size() == 1) {
    text += ", pitch " + pitch_hex(play.pitches.front().pitch);
  } else if (!play.pitches.empty()) {
    text += ", pitches " + pitch_hex(play.pitches.front().pitch) + "\u2013" +
            pitch_hex(play.pitches.back().pitch);
  }
  return text;
}

std::array<bool, 256> played_sources(const std::array<sample_play, 256>& summary) {
  std::array<bool, 256> played{};
  for (std::size_t i = 0; i < summary.size(); ++i) played[i] = summary[i].played();
  return played;
}
