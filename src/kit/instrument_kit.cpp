#include "instrument_kit.h"

#include <cstdio>
#include <memory>

#include "amk_instruments.h"
#include "brr.h"
#include "pitch_detect.h"
#include "sample_export.h"
#include "sf2_file.h"
#include "sfz_file.h"
#include "tuning.h"

namespace {

// What makes two directory entries the same sample: their bytes and where
// their loop starts.
using sample_key = std::pair<std::vector<u8>, std::size_t>;

struct played_entry {
  std::size_t song;
  int srcn;
  brr_sample sample;
  key_on_envelope envelope;
};

// The 16-bit word at `at` of audio RAM.
u16 aram_word(const spc_format& image, u16 at) {
  return static_cast<u16>(image.aram[at] | image.aram[static_cast<u16>(at + 1)] << 8);
}

u16 entry_address(const spc_format& image, int srcn) {
  return static_cast<u16>((image.dsp_registers[spc_dsp_dir] << 8) + 4 * srcn);
}

// Directory entry `srcn` of the image, decoded from its start.
brr_sample decode_entry(const spc_format& image, int srcn) {
  const u16 entry = entry_address(image, srcn);
  return brr_decode_chain(image, aram_word(image, entry),
                          aram_word(image, static_cast<u16>(entry + 2)));
}

// Whether a voice keyed on with these registers makes no sound until the
// driver changes them: direct GAIN at level 0, ADSR off.
bool silent_envelope(const key_on_envelope& e) { return !(e.adsr1 & 0x80) && e.gain == 0; }

// The envelope registers of each entry's first key-on of the sample the
// snapshot's directory lists (as summarize_trace counts them: a driver that
// loads other samples later keys those on under the same numbers). A
// key-on that starts silent (GAIN 0, raised by the driver afterwards) gives
// the first envelope the voice then sounds with.
std::array<std::optional<key_on_envelope>, 256> first_envelopes(const song_trace& trace,
                                                                 const spc_format& image) {
  std::array<std::optional<key_on_envelope>, 256> out;
  std::array<int, 8> silent_srcn;  // per voice, the entry a silent key-on left waiting, or -1
  silent_srcn.fill(-1);
  for (const trace_event& e : trace.events) {
    int& waiting = silent_srcn[e.voice & 7];
    const key_on_envelope registers{e.adsr1, e.adsr2, e.gain};
    if (e.kind == trace_event_kind::envelope && waiting >= 0 && !silent_envelope(registers)) {
      out[static_cast<std::size_t>(waiting)] = registers;
      waiting = -1;
    }
    if (e.kind == trace_event_kind::key_on || e.kind == trace_event_kind::key_off) waiting = -1;
    if (e.kind == trace_event_kind::key_on && !out[e.srcn] &&
        aram_word(image, entry_address(image, e.srcn)) == e.start) {
      out[e.srcn] = registers;
      if (silent_envelope(registers)) waiting = e.srcn;
    }
  }
  return out;
}

// The snapshot with `s` in it as the song played it: its chain written at
// its start, and the directory moved to a page whose entry `s.srcn` the
// chain leaves free, holding its start and loop. Decoded like a listed
// entry, it is the sample the song's key-ons heard.
spc_format image_holding(const spc_format& snapshot, const traced_sample& s) {
  spc_format image = snapshot;
  for (std::size_t i = 0; i < s.chain.size(); ++i)
    image.aram[static_cast<u16>(s.start + i)] = s.chain[i];
  for (int page = 0; page < 256; ++page) {
    const u16 entry = static_cast<u16>(page * 256 + 4 * s.srcn);
    const auto in_chain = [&](u16 at) { return u16(at - s.start) < s.chain.size(); };
    if (in_chain(entry) || in_chain(static_cast<u16>(entry + 3))) continue;
    image.dsp_registers[spc_dsp_dir] = static_cast<u8>(page);
    image.aram[entry] = static_cast<u8>(s.start);
    image.aram[static_cast<u16>(entry + 1)] = static_cast<u8>(s.start >> 8);
    image.aram[static_cast<u16>(entry + 2)] = static_cast<u8>(s.loop);
    image.aram[static_cast<u16>(entry + 3)] = static_cast<u8>(s.loop >> 8);
    break;
  }
  return image;
}

// The samples the song keys on that the snapshot's directory does not list
// at the key-on's SRCN (a driver that writes its directory, or loads other
// samples, after the snapshot), tuned from their key-ons, by preset:
// from_song_preset_first and up, in the order first played.
void add_samples_from_song(const spc_format& image, const song_trace& trace,
                           song_instruments& out) {
  std::vector<std::int32_t> order;  // trace samples, as first keyed on
  std::map<std::int32_t, std::vector<const trace_event*>> key_ons;
  for (const trace_event& e : trace.events) {
    if (e.kind != trace_event_kind::key_on || e.chain < 0 ||
        static_cast<std::size_t>(e.chain) >= trace.keyed_samples.size() ||
        aram_word(image, entry_address(image, e.srcn)) == e.start)
      continue;
    auto& list = key_ons[e.chain];
    if (list.empty()) order.push_back(e.chain);
    list.push_back(&e);
  }
  int preset = from_song_preset_first;
  for (const std::int32_t chain : order) {
    if (preset >= 128 * 128) break;  // past the last bank
    auto taken = std::make_shared<const traced_sample>(trace.keyed_samples[static_cast<std::size_t>(chain)]);
    const spc_format holding = image_holding(image, *taken);
    const brr_sample sample = decode_entry(holding, taken->srcn);
    std::map<u16, int> counts;
    for (const trace_event* k : key_ons[chain]) ++counts[k->pitch];
    std::vector<sample_play::pitch_count> pitches;
    for (const auto& [pitch, count] : counts) pitches.push_back({pitch, count});
    // As for the table's samples: the first key-on that does not start silent.
    const trace_event* first = key_ons[chain].front();
    for (const trace_event* k : key_ons[chain])
      if (!silent_envelope({k->adsr1, k->adsr2, k->gain})) {
        first = k;
        break;
      }
    sample_instrument instrument{
        tune_sample(detect_own_pitch(playable_pcm(holding, sample)), pitches),
        {first->adsr1, first->adsr2, first->gain}};
    for (const trace_event* k : key_ons[chain])
      if (!same_envelope({k->adsr1, k->adsr2, k->gain}, instrument.envelope))
        ++instrument.other_envelopes;
    instrument.from_song = std::move(taken);
    out[preset++] = std::move(instrument);
  }
}

std::string hex_number(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value));
  return text;
}

}  // namespace

std::vector<song_instruments> tune_played_samples(const std::vector<song_to_tune>& songs,
                                                  bool pool_identical) {
  std::vector<played_entry> entries;
  std::vector<std::array<sample_play, 256>> plays;
  for (std::size_t i = 0; i < songs.size(); ++i) {
    const spc_format& image = *songs[i].image;
    plays.push_back(summarize_trace(*songs[i].trace, image));
    const auto envelopes = first_envelopes(*songs[i].trace, image);
    for (int srcn = 0; srcn < 256; ++srcn) {
      if (!plays[i][static_cast<std::size_t>(srcn)].played()) continue;
      brr_sample sample = decode_entry(image, srcn);
      if (!sample.ends) continue;
      entries.push_back({i, srcn, std::move(sample),
                         envelopes[static_cast<std::size_t>(srcn)].value_or(key_on_envelope{})});
    }
  }
  // The song's evidence per sample: its own entry's key-ons, or every
  // identical entry's when pooling.
  std::map<sample_key, std::vector<sample_play::pitch_count>> pooled;
  const auto key_of = [&songs](const played_entry& e) {
    return sample_key(brr_chain_bytes(*songs[e.song].image, e.sample),
                      e.sample.loop_sample ? *e.sample.loop_sample : e.sample.pcm.size());
  };
  if (pool_identical)
    for (const played_entry& e : entries)
      pool_pitches(pooled[key_of(e)], plays[e.song][static_cast<std::size_t>(e.srcn)].pitches);

  std::vector<song_instruments> out(songs.size());
  std::map<sample_key, own_pitch> measured;
  for (const played_entry& e : entries) {
    const sample_key key = key_of(e);
    auto known = measured.find(key);
    if (known == measured.end())
      known = measured.emplace(key, detect_own_pitch(playable_pcm(*songs[e.song].image, e.sample)))
                  .first;
    const auto& pitches = pool_identical ? pooled[key]
                                         : plays[e.song][static_cast<std::size_t>(e.srcn)].pitches;
    sample_instrument& instrument = out[e.song][e.srcn];
    instrument = sample_instrument{tune_sample(known->second, pitches), e.envelope};
    const u16 start = aram_word(*songs[e.song].image, entry_address(*songs[e.song].image, e.srcn));
    for (const trace_event& k : songs[e.song].trace->events)
      if (k.kind == trace_event_kind::key_on && k.srcn == e.srcn && k.start == start &&
          !same_envelope({k.adsr1, k.adsr2, k.gain}, e.envelope))
        ++instrument.other_envelopes;
  }
  for (std::size_t i = 0; i < songs.size(); ++i)
    add_samples_from_song(*songs[i].image, *songs[i].trace, out[i]);
  return out;
}

std::vector<kit_sample> kit_samples_for(
    const spc_format& image, const std::string& stem, const song_instruments& instruments,
    const std::function<std::string(int sample_number, const char* extension)>& file_name) {
  std::vector<kit_sample> out;
  std::map<int, int> taken_per_srcn;  // samples from the song so far, by SRCN
  for (const auto& [srcn, instrument] : instruments) {
    kit_sample s;
    s.srcn = srcn;
    s.instrument = instrument;
    if (const auto& taken = instrument.from_song) {
      // "STEM SRCN 0x12 (from the song)", a second sample under the same
      // SRCN "... (from the song, 2)"; its files "STEM song 12", "STEM song 12 (2)".
      const int nth = ++taken_per_srcn[taken->srcn];
      const std::string srcn_hex = hex_number(taken->srcn);
      const std::string again = nth > 1 ? " (" + std::to_string(nth) + ")" : "";
      s.name = stem + " SRCN 0x" + srcn_hex + " (from the song" +
               (nth > 1 ? ", " + std::to_string(nth) : std::string()) + ")";
      s.wav_name = stem + " song " + srcn_hex + again + ".wav";
      s.brr_name = stem + " song " + srcn_hex + again + ".brr";
      const spc_format holding = image_holding(image, *taken);
      s.pcm = playable_pcm(holding, decode_entry(holding, taken->srcn));
    } else {
      s.name = stem + " " + hex_number(srcn + 1);
      s.wav_name = file_name(srcn + 1, ".wav");
      s.brr_name = file_name(srcn + 1, ".brr");
      s.pcm = playable_pcm(image, decode_entry(image, srcn));
    }
    out.push_back(std::move(s));
  }
  return out;
}

std::vector<kit_file> kit_files(const std::string& stem, const std::vector<kit_sample>& samples,
                                std::string& failure) {
  std::vector<kit_file> out;
  std::vector<u8> sf2 = sf2_file_bytes(stem, samples, failure);
  if (sf2.empty()) return {};
  out.push_back({stem + ".sf2", std::move(sf2)});
  const std::string sfz = sfz_text(stem, samples);
  out.push_back({stem + ".sfz", std::vector<u8>(sfz.begin(), sfz.end())});
  const std::string amk = amk_instruments_text(stem, samples);
  out.push_back({stem + "-instruments.txt", std::vector<u8>(amk.begin(), amk.end())});
  // The samples taken from the song have no files of the table's export:
  // the kit writes their WAV (which the SFZ names) and raw BRR chain.
  for (const kit_sample& s : samples) {
    if (!s.instrument.from_song) continue;
    out.push_back({s.wav_name, wav_file_bytes(s.pcm, &s.instrument.tuning)});
    out.push_back({s.brr_name, s.instrument.from_song->chain});
  }
  return out;
}
