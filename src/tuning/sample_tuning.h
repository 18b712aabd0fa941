// What an instrument kit needs to know of a sample beyond its PCM: the note
// it sounds at pitch 0x1000 (its root), how that was found, the notes the
// song plays it at, and the envelope registers of the key-on the kit copies.
// Plain values; any thread.
#pragma once

#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "song_trace.h"
#include "spc.h"

enum class tuning_method : u8 {
  none,              // nothing to go on: root C4, no confidence
  loop_period,       // the loop's own period
  autocorrelation,   // the steady part of a sample without a loop
  most_played_note,  // no clear pitch of its own: the note the song plays it at most
};

struct sample_tuning {
  // MIDI note (real) the sample sounds at pitch 0x1000: 69 + 12·log2(f / 440).
  // Played at pitch P it sounds 12·log2(P / 4096) semitones from there.
  double root = 60.0;
  tuning_method method = tuning_method::none;
  double confidence = 0.0;          // 0 ... 1
  std::optional<int> played_low;    // MIDI notes the song plays it at
  std::optional<int> played_high;
  int key_ons = 0;                  // the song's key-ons of it, all files pooled
  // How far the song's notes scatter around whole notes, in cents (standard
  // deviation of their fractional parts about the fine tune).
  double spread_cents = 0.0;

  int root_key() const { return static_cast<int>(std::lround(root)); }
  // -50 ... +50: the sample sounds this many cents above root_key().
  int fine_tune_cents() const {
    return static_cast<int>(std::lround((root - root_key()) * 100.0));
  }
  bool played() const { return played_low.has_value(); }
};

// The envelope registers of one key-on, as the DSP reads them.
struct key_on_envelope {
  u8 adsr1 = 0;
  u8 adsr2 = 0;
  u8 gain = 0x7F;  // direct full level: what a voice without ADSR or GAIN set plays at
};

// Whether two key-ons' envelope registers play the same envelope: the same
// ADSR when ADSR is on, else the same GAIN. Any thread.
bool same_envelope(const key_on_envelope& a, const key_on_envelope& b);

// A played sample as a kit holds it.
struct sample_instrument {
  sample_tuning tuning;
  key_on_envelope envelope;
  // The song's key-ons of it whose envelope is not `envelope` (the preset
  // keeps one envelope per sample).
  int other_envelopes = 0;
  // A sample the snapshot's directory does not list (its driver wrote it
  // after the snapshot): the entry and bytes the song played, taken from
  // the trace. Such a sample is the kit's preset from_song_preset_first
  // and up, in the order first played. Null for the table's samples.
  std::shared_ptr<const traced_sample> from_song = nullptr;
};

// The first preset number (as kit_preset_of counts: bank 2, program 0) of
// the samples taken from the song; the table's are its SRCN, 0 ... 255.
inline constexpr int from_song_preset_first = 256;

// The tuning of the played samples of an export's files: by the file's
// path (as given) and SRCN.
using export_tunings = std::map<std::pair<std::string, int>, sample_instrument>;

// The instrument of entry `srcn` of the file `path` in `tunings` (either
// may be null), or its tuning. Any thread.
const sample_instrument* find_instrument(const export_tunings* tunings, const std::string& path,
                                         int srcn);
const sample_tuning* tuning_of(const export_tunings* tunings, const std::string& path, int srcn);

// The SoundFont preset of directory entry `srcn` in a kit: MIDI programs
// run 0 ... 127, so the bank carries the rest (SRCN 0x80 is bank 1,
// program 0). The SFZ and the listings name the same pair. Any thread.
struct kit_preset {
  int bank = 0;
  int program = 0;
};
constexpr kit_preset kit_preset_of(int srcn) { return {srcn / 128, srcn % 128}; }

// The manifest's tuning columns: their titles, and the fields of entry
// `srcn` (each after a tab; "-" for a sample the song never plays). Any
// thread.
inline constexpr const char* tuning_manifest_titles =
    "\tbank\tprogram\troot\tfine tune\tmethod\tconfidence\tplayed\tkey-ons\tother envelopes\tADSR1"
    "\tADSR2\tGAIN";
std::string tuning_manifest_fields(const sample_instrument* instrument, int srcn);

// "loop period", "autocorrelation", "most played note" or "none". Any thread.
const char* tuning_method_text(tuning_method method);

// "C4" for 60, "F#3" for 54, "A4" for 69 (MIDI note numbers, middle C = C4).
// Any thread.
std::string midi_note_name(int note);

// The MIDI note a person wrote: a name with its octave ("C4", "F#3", "Bb2",
// "c-1"; middle C = C4) or a number 0 ... 127. None when it is neither or
// lies outside 0 ... 127. Any thread.
std::optional<int> parse_midi_note(std::string_view text);

// "Root C4 +12 cents (loop period), played E3–G5"; without the played part
// when the song never plays it. Any thread.
std::string tuning_text(const sample_tuning& tuning);

// The pitch register value (14 bits) that makes a sample of this tuning
// sound MIDI note `note`, A4 = 440 Hz. Any thread.
u16 pitch_for_note(const sample_tuning& tuning, double note);
