#include "sample_tuning.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

const char* tuning_method_text(tuning_method method) {
  switch (method) {
    case tuning_method::none: return "none";
    case tuning_method::loop_period: return "loop period";
    case tuning_method::autocorrelation: return "autocorrelation";
    case tuning_method::most_played_note: return "most played note";
  }
  return "none";
}

std::string midi_note_name(int note) {
  // Characters, not pointers: a table with no relocations is read-only data.
  static constexpr char names[12][3] = {"C", "C#", "D", "D#", "E", "F",
                                        "F#", "G", "G#", "A", "A#", "B"};
  // Floor division, so notes below C-1 still name their octave.
  const int octave = (note >= 0 ? note / 12 : (note - 11) / 12) - 1;
  return names[((note % 12) + 12) % 12] + std::to_string(octave);
}

std::optional<int> parse_midi_note(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  int note = 0;
  if (std::isdigit(static_cast<unsigned char>(text.front()))) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), note);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  } else {
    static const int letter_semitones[7] = {9, 11, 0, 2, 4, 5, 7};  // A ... G
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text.front())));
    if (letter < 'A' || letter > 'G') return std::nullopt;
    int semitone = letter_semitones[letter - 'A'];
    text.remove_prefix(1);
    if (!text.empty() && (text.front() == '#' || text.front() == 'b')) {
      semitone += text.front() == '#' ? 1 : -1;
      text.remove_prefix(1);
    }
    int octave = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), octave);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    note = (octave + 1) * 12 + semitone;
  }
  if (note < 0 || note > 127) return std::nullopt;
  return note;
}

std::string tuning_text(const sample_tuning& tuning) {
  char cents[16];
  std::snprintf(cents, sizeof cents, "%+d", tuning.fine_tune_cents());
  std::string text = "Root " + midi_note_name(tuning.root_key()) + " " + cents + " cents (" +
                     tuning_method_text(tuning.method) + ")";
  if (tuning.played()) {
    text += ", played " + midi_note_name(*tuning.played_low);
    if (*tuning.played_high != *tuning.played_low)
      text += "\u2013" + midi_note_name(*tuning.played_high);
  }
  return text;
}

u16 pitch_for_note(const sample_tuning& tuning, double note) {
  const double pitch = 4096.0 * std::exp2((note - tuning.root) / 12.0);
  return static_cast<u16>(std::clamp(std::lround(pitch), 1L, 0x3FFFL));
}

const sample_instrument* find_instrument(const export_tunings* tunings, const std::string& path,
                                         int srcn) {
  if (!tunings) return nullptr;
  const auto found = tunings->find({path, srcn});
  return found == tunings->end() ? nullptr : &found->second;
}

const sample_tuning* tuning_of(const export_tunings* tunings, const std::string& path, int srcn) {
  const sample_instrument* instrument = find_instrument(tunings, path, srcn);
  return instrument ? &instrument->tuning : nullptr;
}

bool same_envelope(const key_on_envelope& a, const key_on_envelope& b) {
  const bool adsr = (a.adsr1 & 0x80) != 0;
  if (adsr != ((b.adsr1 & 0x80) != 0)) return false;
  return adsr ? a.adsr1 == b.adsr1 && a.adsr2 == b.adsr2 : a.gain == b.gain;
}

std::string tuning_manifest_fields(const sample_instrument* instrument, int srcn) {
  if (!instrument) return "\t-\t-\t-\t-\t-\t-\t-\t-\t-\t-\t-\t-";
  const sample_tuning& t = instrument->tuning;
  const kit_preset preset = kit_preset_of(srcn);
  char text[192];
  std::snprintf(text, sizeof text, "\t%d\t%d\t%s\t%+d\t%s\t%.2f\t%s\t%d\t%d\t%02X\t%02X\t%02X",
                preset.bank, preset.program, midi_note_name(t.root_key()).c_str(),
                t.fine_tune_cents(), tuning_method_text(t.method), t.confidence,
                t.played() ? (midi_note_name(*t.played_low) + "-" + midi_note_name(*t.played_high)).c_str()
                           : "-",
                t.key_ons, instrument->other_envelopes, instrument->envelope.adsr1, instrument->envelope.adsr2,
                instrument->envelope.gain);
  return text;
}
