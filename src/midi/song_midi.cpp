#include "song_midi.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "smf_writer.h"

namespace {

constexpr u8 note_off = 0x80, note_on = 0x90, control = 0xB0, program_change = 0xC0,
             pitch_bend = 0xE0;
constexpr u8 cc_bank = 0, cc_data_entry = 6, cc_volume = 7, cc_pan = 10, cc_bank_lsb = 32,
             cc_reverb = 91, cc_rpn_lsb = 100, cc_rpn_msb = 101;

// A tempo from a DSP sample of the song on.
struct tempo_change {
  std::int64_t sample = 0;
  std::uint32_t microseconds_per_quarter = 500000;
};

// Song time to MIDI time over a tempo map. Each tempo's stretch counts from
// the tick its change falls on, at that tick's exact song time, so that
// rounding never builds up: every event is within half a tick of its time.
class tick_clock {
 public:
  explicit tick_clock(const std::vector<tempo_change>& map) {
    for (const tempo_change& c : map) {
      const double per_sample = double(midi_ticks_per_quarter) * 1e6 /
                                (double(dsp_sample_rate) * c.microseconds_per_quarter);
      if (stretches_.empty()) {
        stretches_.push_back({0, 0.0, per_sample, c.microseconds_per_quarter});
        continue;
      }
      const std::int64_t tick = at(c.sample);
      const stretch& last = stretches_.back();
      stretches_.push_back({tick, last.sample + double(tick - last.tick) / last.ticks_per_sample,
                            per_sample, c.microseconds_per_quarter});
    }
  }
  std::int64_t at(std::int64_t sample) const {
    auto s = std::upper_bound(stretches_.begin(), stretches_.end(), double(sample),
                              [](double at, const stretch& x) { return at < x.sample; });
    if (s != stretches_.begin()) --s;
    return s->tick + std::llround((double(sample) - s->sample) * s->ticks_per_sample);
  }
  // Each tempo with the tick it starts at, for the conductor track.
  template <class Each>
  void for_each_tempo(Each each) const {
    for (const stretch& s : stretches_) each(s.tick, s.microseconds_per_quarter);
  }

 private:
  struct stretch {
    std::int64_t tick;
    double sample;  // the song time of `tick`, in DSP samples
    double ticks_per_sample;
    std::uint32_t microseconds_per_quarter;
  };
  std::vector<stretch> stretches_;
};

std::uint32_t microseconds_of(const key_on_grid& grid) {
  return std::uint32_t(std::lround(grid.quarter_samples * 1e6 / dsp_sample_rate));
}

// The tempo map: the whole song's grid when it has one; else a grid per
// section of tempo_section_samples (a driver changing tempo keeps each
// tempo for a while), a change where a section's quarter differs from the
// tempo before by more than 1 %, a section without a grid keeping it.
std::vector<tempo_change> tempo_map(const std::vector<std::int64_t>& key_ons,
                                    const key_on_grid& whole) {
  std::vector<tempo_change> map{{0, microseconds_of(whole)}};
  if (whole.found || key_ons.empty()) return map;
  const std::int64_t last = *std::max_element(key_ons.begin(), key_ons.end());
  bool any_found = false;
  for (std::int64_t from = 0; from <= last; from += tempo_section_samples) {
    std::vector<std::int64_t> section;
    for (const std::int64_t k : key_ons)
      if (k >= from && k < from + tempo_section_samples) section.push_back(k);
    const key_on_grid grid = find_key_on_grid(std::move(section));
    if (!grid.found) continue;
    const std::uint32_t tempo = microseconds_of(grid);
    if (!any_found) {
      map.front().microseconds_per_quarter = tempo;  // the first grid holds from the start
      any_found = true;
    } else if (std::abs(double(tempo) / map.back().microseconds_per_quarter - 1.0) > 0.01) {
      map.push_back({from, tempo});
    }
  }
  return map;
}

// What one voice's track has sent, so that only changes are sent again.
struct voice_track {
  smf_track track;
  int channel = 0;
  bool started = false;
  int preset = -1;
  int volume = -1, pan = -1, reverb = -1, bend = -1;
  // The note sounding, if any, and where its sample is.
  std::optional<int> note;
  const midi_instrument* instrument = nullptr;
  u16 pitch = 0;
  std::int64_t since = 0;   // DSP sample from which frames_played counts on
  double frames_played = 0;  // of the sample, at `since`
};

class song_writer {
 public:
  song_writer(const song_midi_source& source, tick_clock clock, song_midi& out)
      : source_(source), clock_(clock), out_(out) {
    for (int v = 0; v < 8; ++v) voices_[v].channel = v;
    // The samples taken from the song, by the trace's index of their bytes.
    const std::vector<traced_sample>& traced = source_.trace->keyed_samples;
    for (const auto& [preset, instrument] : source_.instruments) {
      if (!instrument.from_song) continue;
      const traced_sample& taken = *instrument.from_song;
      for (std::size_t i = 0; i < traced.size(); ++i)
        if (traced[i].srcn == taken.srcn && traced[i].start == taken.start &&
            traced[i].loop == taken.loop && traced[i].chain == taken.chain)
          preset_of_chain_[std::int32_t(i)] = preset;
    }
  }

  void play(const trace_event& e) {
    voice_track& v = voices_[e.voice & 7];
    end_sample_if_done(v, e.sample);
    switch (e.kind) {
      case trace_event_kind::key_on: key_on(v, e); break;
      case trace_event_kind::key_off: end_note(v, e.sample); break;
      case trace_event_kind::pitch: slide(v, e); break;
      case trace_event_kind::volume:
        if (v.started) set_volume(v, e, clock_.at(e.sample));
        break;
      case trace_event_kind::envelope: break;
    }
  }

  // Ends every note at `sample` (the trace's end) and returns the tracks
  // of the voices that sounded.
  std::vector<smf_track> finish(std::int64_t sample) {
    std::vector<smf_track> out;
    for (voice_track& v : voices_) {
      end_sample_if_done(v, sample);
      end_note(v, sample);
      if (v.started) out.push_back(std::move(v.track));
    }
    return out;
  }

 private:
  void cc(voice_track& v, std::int64_t tick, u8 number, int value) {
    v.track.channel_message(tick, u8(control | v.channel), number, u8(value));
  }

  void start_track(voice_track& v, std::int64_t tick) {
    v.started = true;
    v.track.meta(tick, smf_meta::track_name, "Voice " + std::to_string(v.channel));
    // RPN 0 (pitch bend sensitivity), then the null RPN so that no later
    // data entry changes it.
    cc(v, tick, cc_rpn_msb, 0);
    cc(v, tick, cc_rpn_lsb, 0);
    cc(v, tick, cc_data_entry, midi_bend_range_semitones);
    cc(v, tick, 38, 0);
    cc(v, tick, cc_rpn_msb, 127);
    cc(v, tick, cc_rpn_lsb, 127);
  }

  // CC 7 from the louder side, CC 10 from the balance. MIDI volume is a
  // gain curve (SoundFont players attenuate by 40·log10(127 / CC)), so the
  // DSP's linear volume goes in as its square root.
  void set_volume(voice_track& v, const trace_event& e, std::int64_t tick) {
    if (e.vol_left < 0 || e.vol_right < 0) ++out_.surround_volumes;
    const double left = std::abs(int(e.vol_left)), right = std::abs(int(e.vol_right));
    const double louder = std::min(1.0, std::max(left, right) / 127.0);
    const int volume = int(std::lround(127.0 * std::sqrt(louder)));
    const int pan = left + right == 0 ? 64
                    : std::clamp(int(std::lround(64.0 + 63.5 * (right - left) / (left + right))), 0, 127);
    if (volume != v.volume) cc(v, tick, cc_volume, v.volume = volume);
    if (pan != v.pan) cc(v, tick, cc_pan, v.pan = pan);
  }

  void set_bend(voice_track& v, std::int64_t tick, double semitones) {
    const int value = std::clamp(
        int(std::lround(8192.0 + semitones / midi_bend_range_semitones * 8192.0)), 0, 16383);
    if (value == v.bend) return;
    v.bend = value;
    v.track.channel_message(tick, u8(pitch_bend | v.channel), u8(value & 0x7F), u8(value >> 7));
  }

  void start_note(voice_track& v, std::int64_t sample, double key) {
    const int note = std::clamp(int(std::lround(key)), 0, 127);
    const std::int64_t tick = clock_.at(sample);
    set_bend(v, tick, key - note);
    v.track.channel_message(tick, u8(note_on | v.channel), u8(note), 127);
    v.note = note;
    v.since = sample;
    v.frames_played = 0;
    ++out_.notes;
  }

  void end_note(voice_track& v, std::int64_t sample) {
    if (!v.note) return;
    v.track.channel_message(clock_.at(sample), u8(note_off | v.channel), u8(*v.note), 0);
    v.note.reset();
  }

  // Moves the sample's play position on to `sample`.
  void advance(voice_track& v, std::int64_t sample) {
    v.frames_played += double(sample - v.since) * v.pitch / 4096.0;
    v.since = sample;
  }

  // A sample without a loop ends by itself: the note ends with it.
  void end_sample_if_done(voice_track& v, std::int64_t sample) {
    if (!v.note || v.instrument->loops || v.pitch == 0) return;
    const double left = double(v.instrument->frames) - v.frames_played;
    const std::int64_t end = v.since + std::int64_t(std::ceil(left * 4096.0 / v.pitch));
    if (end <= sample) end_note(v, std::max(end, v.since));
  }

  // The key-on's preset: the table's entry it plays, else the sample taken
  // from the song that it plays; -1 when the kit has neither.
  int preset_of(const trace_event& e) const {
    const auto found = source_.instruments.find(e.srcn);
    if (found != source_.instruments.end() && found->second.start == e.start) return e.srcn;
    const auto taken = preset_of_chain_.find(e.chain);
    return taken == preset_of_chain_.end() ? -1 : taken->second;
  }

  void key_on(voice_track& v, const trace_event& e) {
    end_note(v, e.sample);
    const int preset_number = preset_of(e);
    if (preset_number < 0) {
      ++out_.key_ons_without_sample;
      return;
    }
    const midi_instrument* instrument = &source_.instruments.at(preset_number);
    if (!same_envelope({e.adsr1, e.adsr2, e.gain}, instrument->envelope))
      ++out_.envelopes_differing;
    if (e.pitch == 0) return;  // a voice at pitch 0 never moves: silence
    const std::int64_t tick = clock_.at(e.sample);
    if (!v.started) start_track(v, tick);
    if (preset_number != v.preset) {
      const kit_preset preset = kit_preset_of(preset_number);
      cc(v, tick, cc_bank, preset.bank);
      cc(v, tick, cc_bank_lsb, 0);
      v.track.channel_message(tick, u8(program_change | v.channel), u8(preset.program));
      v.preset = preset_number;
    }
    set_volume(v, e, tick);
    const int reverb = e.echo ? 127 : 0;
    if (reverb != v.reverb) cc(v, tick, cc_reverb, v.reverb = reverb);
    v.instrument = instrument;
    v.pitch = e.pitch;
    start_note(v, e.sample, midi_sounding_key(instrument->tuning, e.pitch));
  }

  // A pitch change bends the note; beyond the bend range, or down to pitch
  // 0, the note ends (and a new one starts at the new pitch).
  void slide(voice_track& v, const trace_event& e) {
    if (!v.note) return;
    advance(v, e.sample);
    v.pitch = e.pitch;
    if (e.pitch == 0) {
      end_note(v, e.sample);
      return;
    }
    const double key = midi_sounding_key(v.instrument->tuning, e.pitch);
    if (std::abs(key - *v.note) <= midi_bend_range_semitones) {
      set_bend(v, clock_.at(e.sample), key - *v.note);
      return;
    }
    const double played = v.frames_played;
    end_note(v, e.sample);
    start_note(v, e.sample, key);
    v.frames_played = played;  // the DSP's sample plays on from where it was
  }

  const song_midi_source& source_;
  tick_clock clock_;
  song_midi& out_;
  std::array<voice_track, 8> voices_;
  std::map<std::int32_t, int> preset_of_chain_;
};

// The first track: the tag's names, the tempo map and the time signature.
smf_track conductor_track(const song_midi_source& source, const tick_clock& clock) {
  smf_track track;
  track.meta(0, smf_meta::track_name, source.title);
  if (!source.game.empty()) track.meta(0, smf_meta::text, source.game);
  clock.for_each_tempo([&track](std::int64_t tick, std::uint32_t tempo) { track.tempo(tick, tempo); });
  // 4/4: the grid says how long a beat is, not how many make a bar.
  const char four_four[4] = {4, 2, 24, 8};
  track.meta(0, smf_meta::time_signature, std::string_view(four_four, 4));
  return track;
}

}  // namespace

double midi_sounding_key(const sample_tuning& tuning, u16 pitch) {
  return tuning.root_key() + tuning.fine_tune_cents() / 100.0 + 12.0 * std::log2(pitch / 4096.0);
}

song_midi make_song_midi(const song_midi_source& source) {
  song_midi out;
  std::vector<std::int64_t> key_ons;
  for (const trace_event& e : source.trace->events)
    if (e.kind == trace_event_kind::key_on) key_ons.push_back(e.sample);
  out.grid = find_key_on_grid(key_ons);
  const std::vector<tempo_change> map = tempo_map(key_ons, out.grid);
  out.tempo_changes = int(map.size()) - 1;
  const tick_clock clock(map);
  song_writer writer(source, clock, out);
  for (const trace_event& e : source.trace->events) writer.play(e);
  std::vector<smf_track> tracks{conductor_track(source, clock)};
  for (smf_track& track : writer.finish(source.trace->samples)) tracks.push_back(std::move(track));
  out.voices = int(tracks.size()) - 1;
  out.bytes = smf_file_bytes(midi_ticks_per_quarter, tracks, clock.at(source.trace->samples));
  return out;
}
