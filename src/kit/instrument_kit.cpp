#include "instrument_kit.h"

#include <cstdio>

#include "amk_instruments.h"
#include "brr.h"
#include "pitch_detect.h"
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
  return out;
}

std::vector<kit_sample> kit_samples_for(
    const spc_format& image, const std::string& stem, const song_instruments& instruments,
    const std::function<std::string(int sample_number, const char* extension)>& file_name) {
  std::vector<kit_sample> out;
  for (const auto& [srcn, instrument] : instruments) {
    const brr_sample sample = decode_entry(image, srcn);
    kit_sample s;
    s.srcn = srcn;
    s.name = stem + " " + hex_number(srcn + 1);
    s.wav_name = file_name(srcn + 1, ".wav");
    s.brr_name = file_name(srcn + 1, ".brr");
    s.pcm = playable_pcm(image, sample);
    s.instrument = instrument;
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
  return out;
}
