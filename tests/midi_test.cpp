// The SMF writer byte by byte, the key-on grid, and the song's notes from a
// hand-made trace, read back by a parser of the test's own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

#include "key_on_grid.h"
#include "smf_writer.h"
#include "song_midi.h"

namespace {

using bytes = std::vector<std::uint8_t>;

TEST(SmfWriterTest, VariableLengthQuantities) {
  const struct {
    std::uint32_t value;
    bytes expected;
  } cases[] = {
      {0x00, {0x00}},
      {0x40, {0x40}},
      {0x7F, {0x7F}},
      {0x80, {0x81, 0x00}},
      {0x2000, {0xC0, 0x00}},
      {0x3FFF, {0xFF, 0x7F}},
      {0x4000, {0x81, 0x80, 0x00}},
      {0x1FFFFF, {0xFF, 0xFF, 0x7F}},
      {0x200000, {0x81, 0x80, 0x80, 0x00}},
      {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
  };
  for (const auto& c : cases) {
    bytes out;
    append_vlq(out, c.value);
    EXPECT_EQ(out, c.expected) << std::hex << c.value;
  }
}

TEST(SmfWriterTest, EventsInTimeOrderEachWithItsStatusAndEndOfTrackLast) {
  smf_track track;
  track.channel_message(200, 0x80, 60, 0);    // added first, comes last
  track.channel_message(0, 0x90, 60, 127);
  track.channel_message(0, 0x90, 64, 127);    // same tick: keeps its order, own status
  track.channel_message(0x80, 0xC1, 5);       // program change: one data byte
  track.meta(0x80, smf_meta::track_name, "ab");
  EXPECT_EQ(track.chunk(300), (bytes{'M', 'T', 'r', 'k', 0, 0, 0, 26,
                                     0x00, 0x90, 60, 127,
                                     0x00, 0x90, 64, 127,
                                     0x81, 0x00, 0xC1, 5,
                                     0x00, 0xFF, 0x03, 2, 'a', 'b',
                                     0x48, 0x80, 60, 0,
                                     0x64, 0xFF, 0x2F, 0x00}));
  // End of Track never comes before the last event.
  const bytes early = track.chunk(10);
  EXPECT_EQ(bytes(early.end() - 4, early.end()), (bytes{0x00, 0xFF, 0x2F, 0x00}));

  smf_track conductor;
  conductor.tempo(0, 500000);
  const bytes file = smf_file_bytes(960, {conductor, track}, 300);
  EXPECT_EQ(bytes(file.begin(), file.begin() + 14),
            (bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0x03, 0xC0}));
  EXPECT_EQ(bytes(file.begin() + 22, file.begin() + 29),
            (bytes{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}));
}

TEST(KeyOnGridTest, FindsADriversTickFromJitteredKeyOnsAndNoneInRandomOnes) {
  // Eighth notes at 150 bpm (6400 samples), some left out, each late by up
  // to 40 samples as a driver's processing makes them.
  std::vector<std::int64_t> on_grid;
  for (int step = 0; step < 300; ++step)
    if (step % 5 != 3) on_grid.push_back(1000 + std::int64_t(step) * 6400 + (step * 37) % 41);
  const key_on_grid grid = find_key_on_grid(on_grid);
  ASSERT_TRUE(grid.found);
  EXPECT_NEAR(grid.step_samples, 6400, 0.5);
  EXPECT_NEAR(grid.beats_per_minute(), 150, 0.1);

  std::vector<std::int64_t> scattered;
  std::uint32_t seed = 1;
  std::int64_t at = 0;
  for (int i = 0; i < 300; ++i) {
    seed = seed * 1664525u + 1013904223u;
    at += 2000 + seed % 9000;
    scattered.push_back(at);
  }
  EXPECT_FALSE(find_key_on_grid(scattered).found);
  EXPECT_EQ(find_key_on_grid(scattered).beats_per_minute(), 120);
}

// A track's channel events as (tick, status, data1, data2).
struct midi_message {
  std::int64_t tick;
  int status, data1, data2;
  bool operator==(const midi_message&) const = default;
};

// The channel messages of every track of `file`, by track (a reader of
// the test's own: the FluidSynth tests read the files independently).
std::vector<std::vector<midi_message>> read_tracks(const bytes& file) {
  std::vector<std::vector<midi_message>> tracks;
  std::size_t at = 14;
  while (at + 8 <= file.size()) {
    const std::size_t size = std::size_t(file[at + 4]) << 24 | file[at + 5] << 16 |
                             file[at + 6] << 8 | file[at + 7];
    std::size_t p = at + 8;
    const std::size_t end = p + size;
    std::int64_t tick = 0;
    tracks.emplace_back();
    while (p < end) {
      std::uint32_t delta = 0;
      do delta = delta << 7 | (file[p] & 0x7F);
      while (file[p++] & 0x80);
      tick += delta;
      const int status = file[p++];
      if (status == 0xFF) {
        p += 1;
        std::uint32_t length = 0;
        do length = length << 7 | (file[p] & 0x7F);
        while (file[p++] & 0x80);
        p += length;
        continue;
      }
      const bool one = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0;
      tracks.back().push_back({tick, status, file[p], one ? -1 : file[p + 1]});
      p += one ? 1 : 2;
    }
    at = end;
  }
  return tracks;
}

trace_event event_at(std::int64_t sample, trace_event_kind kind, u8 voice) {
  trace_event e;
  e.sample = sample;
  e.kind = kind;
  e.voice = voice;
  return e;
}

trace_event key_on(std::int64_t sample, u8 voice, u8 srcn, u16 pitch) {
  trace_event e = event_at(sample, trace_event_kind::key_on, voice);
  e.srcn = srcn;
  e.start = u16(0x1000 + 0x100 * srcn);
  e.pitch = pitch;
  e.vol_left = 127;
  e.vol_right = -127;  // surround: played as its magnitude
  e.adsr1 = 0x8F;
  e.adsr2 = 0xE0;
  return e;
}

TEST(SongMidiTest, KeyOnsBecomeTunedNotesOnTheKitsPresetsAndSlidesBend) {
  song_trace trace;
  trace.events.push_back(key_on(0, 2, 0x81, 0x1000));         // the root: A4 + 30 cents
  trace_event slide = event_at(3200, trace_event_kind::pitch, 2);
  slide.pitch = 0x2000;                                          // an octave up: a bend
  trace.events.push_back(slide);
  slide.sample = 4800;
  slide.pitch = 0x0200;                                          // three octaves down: beyond the range
  trace.events.push_back(slide);
  trace.events.push_back(event_at(6400, trace_event_kind::key_off, 2));
  trace_event other = key_on(9600, 2, 0x81, 0x1000);
  other.adsr1 = 0x8E;                                            // another envelope: counted
  trace.events.push_back(other);
  trace.events.push_back(key_on(12800, 2, 0x05, 0x1000));       // not in the kit: no note
  trace.samples = 32000;

  song_midi_source source{&trace, {}, "Song", "Game"};
  midi_instrument instrument;
  instrument.tuning.root = 69.3;
  instrument.envelope = {0x8F, 0xE0, 0};
  instrument.start = 0x1000 + 0x100 * 0x81;
  instrument.frames = 100000;
  source.instruments[0x81] = instrument;
  const song_midi midi = make_song_midi(source);
  EXPECT_EQ(midi.voices, 1);
  EXPECT_EQ(midi.notes, 3);
  EXPECT_EQ(midi.envelopes_differing, 1);
  EXPECT_EQ(midi.key_ons_without_sample, 1);
  EXPECT_EQ(midi.surround_volumes, 2);
  EXPECT_FALSE(midi.grid.found);  // 120 bpm: 1920 ticks a second, 3/50 of a tick a sample

  const auto tracks = read_tracks(midi.bytes);
  ASSERT_EQ(tracks.size(), 2u);
  const auto bend = [](double semitones) {
    const int v = int(std::lround(8192 + semitones / midi_bend_range_semitones * 8192));
    return std::pair{v & 0x7F, v >> 7};
  };
  const auto [fine_lo, fine_hi] = bend(0.3);
  const auto [octave_lo, octave_hi] = bend(12.3);
  const auto [low_lo, low_hi] = bend(69.3 - 36 - 33);
  const std::vector<midi_message> expected = {
      {0, 0xB2, 101, 0}, {0, 0xB2, 100, 0}, {0, 0xB2, 6, midi_bend_range_semitones},
      {0, 0xB2, 38, 0}, {0, 0xB2, 101, 127}, {0, 0xB2, 100, 127},
      {0, 0xB2, 0, 1}, {0, 0xB2, 32, 0}, {0, 0xC2, 1, -1},          // SRCN 0x81: bank 1, program 1
      {0, 0xB2, 7, 127}, {0, 0xB2, 10, 64}, {0, 0xB2, 91, 0},
      {0, 0xE2, fine_lo, fine_hi}, {0, 0x92, 69, 127},
      {192, 0xE2, octave_lo, octave_hi},
      {288, 0x82, 69, 0}, {288, 0xE2, low_lo, low_hi}, {288, 0x92, 33, 127},
      {384, 0x82, 33, 0},
      {576, 0x92, 69, 127},
      {768, 0x82, 69, 0},  // the next key-on restarts the voice, even one of no kit sample
  };
  EXPECT_EQ(tracks[1], expected);
}

TEST(SongMidiTest, ANoteOfASampleWithoutLoopEndsWithTheSample) {
  song_trace trace;
  trace.events.push_back(key_on(0, 0, 0, 0x0800));  // half speed: 1000 frames take 2000 samples
  trace.samples = 32000;
  midi_instrument once;
  once.start = 0x1000;
  once.frames = 1000;
  const song_midi midi = make_song_midi({&trace, {{0, once}}, "", ""});
  const auto tracks = read_tracks(midi.bytes);
  ASSERT_EQ(tracks.size(), 2u);
  EXPECT_EQ(tracks[1].back(), (midi_message{120, 0x80, 48, 0}));
}

}  // namespace

namespace {

TEST(SongMidiTest, ASongWhoseTempoChangesGetsATempoPerSectionAndKeepsItsTimes) {
  // 8 s on a 100 ms grid, 8 s on 130 ms, 8 s on 170 ms: no one grid.
  const std::int64_t section = tempo_section_samples;
  const std::int64_t steps[] = {3200, 4160, 5440};
  song_trace trace;
  std::vector<std::int64_t> times;
  for (int k = 0; k < 3; ++k)
    for (std::int64_t at = k * section; at < (k + 1) * section; at += steps[k]) {
      trace.events.push_back(key_on(at, 0, 0x01, 0x1000));
      times.push_back(at);
    }
  trace.samples = 3 * section;
  song_midi_source source{&trace, {}, "", ""};
  midi_instrument instrument;
  instrument.start = 0x1100;
  instrument.frames = 100000;
  instrument.loops = true;
  instrument.envelope = {0x8F, 0xE0, 0};
  source.instruments[0x01] = instrument;
  const song_midi midi = make_song_midi(source);
  EXPECT_FALSE(midi.grid.found);
  ASSERT_EQ(midi.tempo_changes, 2);

  // Quarters of 4 × 100 ms, 4 × 130 ms and 4 × 170 ms (nearest 120 bpm),
  // changing at the first note of each section: every note within 1 ms.
  const double quarter_seconds[] = {0.4, 0.52, 0.68};
  std::vector<std::int64_t> note_ticks;
  const auto tracks = read_tracks(midi.bytes);
  for (const midi_message& m : tracks.at(1))
    if ((m.status & 0xF0) == 0x90 && m.data2 > 0) note_ticks.push_back(m.tick);
  ASSERT_EQ(note_ticks.size(), times.size());
  std::int64_t change_tick[3] = {0, 0, 0};
  double change_seconds[3] = {0, 0, 0};
  for (std::size_t i = 0; i < times.size(); ++i) {
    const int k = int(times[i] / section);
    if (times[i] == k * section && k > 0) {
      change_tick[k] = note_ticks[i];
      change_seconds[k] = change_seconds[k - 1] + double(change_tick[k] - change_tick[k - 1]) /
                                                      midi_ticks_per_quarter *
                                                      quarter_seconds[k - 1];
    }
    const double seconds = change_seconds[k] + double(note_ticks[i] - change_tick[k]) /
                                                   midi_ticks_per_quarter * quarter_seconds[k];
    EXPECT_NEAR(seconds, double(times[i]) / dsp_sample_rate, 0.001) << i;
  }
}

}  // namespace

namespace {

TEST(SongMidiTest, ANoteWhoseDriverSetsItsLevelSoundsAtItThroughVelocityAndExpression) {
  // The kit's preset plays at its own envelope; velocity v attenuates a
  // SoundFont player's amplitude to (v / 127)², as does expression.
  const struct {
    const char* what;
    key_on_envelope preset, key_on;
    std::vector<u8> later_gains;  // GAIN the driver sets while the note sounds
    int velocity;
    std::vector<int> expressions;
  } cases[] = {
      {"the preset's own level", {0, 0, 0x7F}, {0, 0, 0x7F}, {}, 127, {}},
      {"a quarter of the preset's", {0, 0, 0x7F}, {0, 0, 0x20}, {}, 64, {}},
      {"louder than the preset", {0, 0, 0x40}, {0, 0, 0x7F}, {}, 127, {}},
      {"under an ADSR preset's peak", {0x8F, 0xE0, 0}, {0, 0, 0x40}, {}, 90, {}},
      {"ADSR plays the preset", {0, 0, 0x40}, {0x8F, 0xE0, 0}, {0x20}, 127, {}},
      {"a fall after the key-on", {0, 0, 0x7F}, {0, 0, 0x7F}, {0x3F, 0x7F}, 127, {89, 127}},
      {"a rise to the loudest", {0, 0, 0x7F}, {0, 0, 0x10}, {0x40}, 90, {64, 127}},
      {"silent until the driver sets it", {0, 0, 0x7F}, {0, 0, 0x9E}, {0x40}, 90, {0, 127}},
      {"a linear GAIN decrease to 0", {0, 0, 0x7F}, {0, 0, 0x40}, {0x9F}, 90, {0}},
  };
  for (const auto& c : cases) {
    song_trace trace;
    trace_event on = key_on(0, 0, 0x01, 0x1000);
    on.adsr1 = c.key_on.adsr1, on.adsr2 = c.key_on.adsr2, on.gain = c.key_on.gain;
    trace.events.push_back(on);
    for (std::size_t i = 0; i < c.later_gains.size(); ++i) {
      trace_event change = event_at(1600 * std::int64_t(i + 1), trace_event_kind::envelope, 0);
      change.gain = c.later_gains[i];
      trace.events.push_back(change);
    }
    trace.events.push_back(event_at(16000, trace_event_kind::key_off, 0));
    trace.events.push_back(key_on(17600, 0, 0x01, 0x1000));  // ADSR: back to 127, expression too
    trace.samples = 32000;
    midi_instrument instrument;
    instrument.start = 0x1100;
    instrument.frames = 100000;
    instrument.loops = true;
    instrument.envelope = c.preset;
    const song_midi midi = make_song_midi({&trace, {{0x01, instrument}}, "", ""});
    std::vector<int> velocities, expressions;
    const auto tracks = read_tracks(midi.bytes);
    for (const midi_message& m : tracks.at(1)) {
      if (m.status == 0x90) velocities.push_back(m.data2);
      if (m.status == 0xB0 && m.data1 == 11) expressions.push_back(m.data2);
    }
    std::vector<int> expected = c.expressions;
    if (!expected.empty() && expected.back() != 127) expected.push_back(127);
    EXPECT_EQ(velocities, (std::vector<int>{c.velocity, 127})) << c.what;
    EXPECT_EQ(expressions, expected) << c.what;
  }
}

}  // namespace
