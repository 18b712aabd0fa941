#include "amk_instruments.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

// How AddMusicK turns a note into a pitch (AddmusicK's asm/main.asm,
// SetPitch, and its readme's "#instruments": "dd is the tuning multiplier,
// ee is the tuning submultiplier ... like dd.ee"):
//   note n counts semitones from o1 c (n = 0; o4 c is 36);
//   base(n) = (table[n mod 12] · 2) >> (6 − n / 12), table being its
//             thirteen-entry octave $085F $08DE ... $10BE;
//   pitch   = floor(base(n) · (dd · 256 + ee) / 256), written to the DSP.
// We take o4 a as A4 (440 Hz), so note n sounds MIDI note n + 24. A sample
// whose root is r sounds note n at pitch 4096 · 2^((n + 24 − r) / 12); the
// multiplier is fixed at o6 a (n = 69), where the table's values are
// largest and its truncation costs least.

namespace {

constexpr std::array<int, 13> amk_note_table = {0x085F, 0x08DE, 0x0965, 0x09F4, 0x0A8C,
                                                0x0B2C, 0x0BD6, 0x0C8B, 0x0D4A, 0x0E14,
                                                0x0EEA, 0x0FCD, 0x10BE};
constexpr int amk_midi_offset = 24;  // o1 c = MIDI 24 (C1)
constexpr int amk_reference_note = 69;

int amk_base(int note) {
  note = std::clamp(note, 0, 6 * 12 + 11);
  return (amk_note_table[static_cast<std::size_t>(note % 12)] * 2) >> (6 - note / 12);
}

std::string hex_byte(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "$%02X", value & 0xFF);
  return text;
}

}  // namespace

amk_tuning amk_tuning_for_root(double root) {
  const double wanted =
      4096.0 * std::exp2((amk_reference_note + amk_midi_offset - root) / 12.0);
  const long multiplier =
      std::clamp(std::lround(wanted * 256.0 / amk_base(amk_reference_note)), 1L, 0xFFFFL);
  return {static_cast<u8>(multiplier >> 8), static_cast<u8>(multiplier & 0xFF)};
}

u16 amk_pitch(int note, amk_tuning tuning) {
  const long product = long(amk_base(note)) * (tuning.multiplier * 256 + tuning.fraction);
  return static_cast<u16>((product >> 8) & 0xFFFF);
}

std::string amk_instruments_text(const std::string& title, const std::vector<kit_sample>& samples) {
  std::string text = "; " + title +
                     ": the played samples as AddMusicK instruments (o4 a = 440 Hz).\n"
                     "; ADSR1 ADSR2 GAIN are those of each sample's first key-on in the song.\n"
                     "; AddMusicK reads BRR files that start with their loop offset: export\n"
                     "; them with --loop-header.\n#instruments\n{\n";
  for (const kit_sample& s : samples) {
    const key_on_envelope& e = s.instrument.envelope;
    const amk_tuning t = amk_tuning_for_root(s.instrument.tuning.root);
    text += "\t\"" + s.brr_name + "\" " + hex_byte(e.adsr1) + " " + hex_byte(e.adsr2) + " " +
            hex_byte(e.gain) + " " + hex_byte(t.multiplier) + " " + hex_byte(t.fraction) + "\t; " +
            tuning_text(s.instrument.tuning) + "\n";
  }
  text += "}\n";
  return text;
}
