// The timeline's arithmetic and the words the window uses for the song,
// on traces built by hand.

#include "timeline_layout.h"

#include <gtest/gtest.h>

#include "song_play_text.h"

namespace {

trace_event key_on(std::int64_t sample, u8 voice, u8 srcn, u16 pitch = 0x1000) {
  trace_event e;
  e.sample = sample;
  e.voice = voice;
  e.srcn = srcn;
  e.pitch = pitch;
  e.vol_left = 0x7F;
  e.vol_right = static_cast<std::int8_t>(0x80);
  return e;
}

trace_event key_off(std::int64_t sample, u8 voice) {
  trace_event e;
  e.sample = sample;
  e.kind = trace_event_kind::key_off;
  e.voice = voice;
  return e;
}

trace_event pitch_change(std::int64_t sample, u8 voice) {
  trace_event e;
  e.sample = sample;
  e.kind = trace_event_kind::pitch;
  e.voice = voice;
  e.pitch = 0x0900;
  return e;
}

// Voice 0: key-ons at 0 and 1 s, keyed off at 1.5 s. Voice 2: at 0.5 s and
// 3 s, playing on to the end (4 s), sliding at 0.75 s. Voice 5: once at
// 2 s. A stray key-off of voice 7 keyed on never.
song_trace sample_song() {
  song_trace trace;
  trace.samples = 4 * dsp_sample_rate;
  trace.events = {key_on(0, 0, 1),       key_on(16000, 2, 3),      pitch_change(24000, 2),
                  key_on(32000, 0, 1, 0x0800),                     key_off(48000, 0),
                  key_off(50000, 7),     key_on(64000, 5, 0),      key_on(96000, 2, 3)};
  return trace;
}

TEST(TimelineLayoutTest, EachKeyOnLastsToItsVoicesNextKeyOnOrKeyOffOrTheEnd) {
  const timeline_lanes lanes = make_timeline_lanes(sample_song());
  EXPECT_EQ(lanes.mark_count(), 5u);
  ASSERT_EQ(lanes.lanes[0].size(), 2u);
  EXPECT_EQ(lanes.lanes[0][0].end, 32000) << "cut by the next key-on";
  EXPECT_EQ(lanes.lanes[0][1].end, 48000) << "cut by the key-off";
  EXPECT_EQ(lanes.lanes[0][1].event, 3u);
  ASSERT_EQ(lanes.lanes[2].size(), 2u);
  EXPECT_EQ(lanes.lanes[2][0].end, 96000) << "neither its slide nor voice 0's key-off ends it";
  EXPECT_EQ(lanes.lanes[2][1].end, 128000) << "plays on to the end of the trace";
  EXPECT_TRUE(lanes.lanes[7].empty());

  const auto [begin, end] = timeline_marks_between(lanes, 0, 40000, 41000);
  EXPECT_EQ(begin, 1u);
  EXPECT_EQ(end, 2u) << "only the mark overlapping the stretch";
}

TEST(TimelineLayoutTest, ThePointerFindsTheMarkItIsOverAndNothingElse) {
  const timeline_lanes lanes = make_timeline_lanes(sample_song());
  // 4 s over 400 pixels right of the headers; lanes of 20 pixels.
  const timeline_geometry g{timeline_geometry::header_width + 400,
                            timeline_geometry::ruler_height + 160, 0, 4};
  const double lane_middle = g.lane_top(2) + 10;
  EXPECT_EQ(timeline_mark_at(lanes, g, g.x_of(0.6), lane_middle), (timeline_place{2, 0}));
  EXPECT_EQ(timeline_mark_at(lanes, g, g.x_of(3.5), lane_middle), (timeline_place{2, 1}));
  EXPECT_FALSE(timeline_mark_at(lanes, g, g.x_of(0.2), lane_middle)) << "before its first key-on";
  EXPECT_FALSE(timeline_mark_at(lanes, g, g.x_of(1.7), g.lane_top(0) + 10)) << "after the key-off";
  EXPECT_FALSE(timeline_mark_at(lanes, g, 10, lane_middle)) << "on the header";
  EXPECT_FALSE(timeline_mark_at(lanes, g, g.x_of(0.6), 5)) << "on the ruler";
  EXPECT_TRUE(g.on_ruler(g.x_of(0.6), 5));
  EXPECT_NEAR(g.seconds_at(g.x_of(2.25)), 2.25, 1e-9);

  // A key-on of no length is still hit across the few pixels it is drawn on.
  song_trace blip = sample_song();
  blip.events.push_back(key_on(120000, 6, 9));
  blip.events.push_back(key_off(120000, 6));
  const timeline_lanes with_blip = make_timeline_lanes(blip);
  EXPECT_EQ(timeline_mark_at(with_blip, g, g.x_of(3.75) + 2, g.lane_top(6) + 10),
            (timeline_place{6, 0}));
}

TEST(TimelineLayoutTest, ArrowsWalkALaneAndJumpToTheNearestKeyOnOfTheNextLaneThatHasOne) {
  const timeline_lanes lanes = make_timeline_lanes(sample_song());
  EXPECT_EQ(timeline_first_mark(lanes), (timeline_place{0, 0}));
  EXPECT_EQ(timeline_step_in_lane(lanes, {0, 0}, 1), (timeline_place{0, 1}));
  EXPECT_FALSE(timeline_step_in_lane(lanes, {0, 1}, 1)) << "the lane's last key-on";
  EXPECT_FALSE(timeline_step_in_lane(lanes, {0, 0}, -1));
  // From voice 0 at 1 s, voice 1 is empty: voice 2, whose key-on at 0.5 s
  // is nearer than the one at 3 s.
  EXPECT_EQ(timeline_step_lane(lanes, {0, 1}, 1), (timeline_place{2, 0}));
  // From voice 2 at 3 s down: voice 5 at 2 s is the only one.
  EXPECT_EQ(timeline_step_lane(lanes, {2, 1}, 1), (timeline_place{5, 0}));
  EXPECT_FALSE(timeline_step_lane(lanes, {5, 0}, 1)) << "no lane below has key-ons";
  EXPECT_EQ(timeline_step_lane(lanes, {5, 0}, -1), (timeline_place{2, 1}))
      << "from 2 s, the key-on at 3 s is nearer than the one at 0.5 s";
}

TEST(TimelineLayoutTest, ZoomKeepsTheAnchorInPlaceAndTheStretchInsideTheSong) {
  const timeline_window zoomed = timeline_zoom({0, 100}, 0.5, 60, 100, 0.05);
  EXPECT_DOUBLE_EQ(zoomed.span_seconds, 50);
  EXPECT_DOUBLE_EQ(zoomed.first_seconds, 30) << "60 s stays 60 % across";
  const timeline_window out = timeline_zoom({88, 10}, 4, 89, 100, 0.05);
  EXPECT_DOUBLE_EQ(out.first_seconds + out.span_seconds, 100) << "never past the end";
  EXPECT_DOUBLE_EQ(timeline_zoom({0, 100}, 10, 50, 100, 0.05).span_seconds, 100);
  EXPECT_DOUBLE_EQ(timeline_zoom({0, 0.1}, 0.01, 0, 100, 0.05).span_seconds, 0.05);

  EXPECT_DOUBLE_EQ(timeline_keep_in_sight({10, 20}, 15, 100).first_seconds, 10) << "in sight";
  EXPECT_DOUBLE_EQ(timeline_keep_in_sight({10, 20}, 31, 100).first_seconds, 29);
  EXPECT_DOUBLE_EQ(timeline_keep_in_sight({10, 20}, 99, 100).first_seconds, 80);
}

TEST(TimelineLayoutTest, RulerStepsAndTimesRead) {
  EXPECT_DOUBLE_EQ(timeline_ruler_step(180, 600, 56), 30);
  EXPECT_DOUBLE_EQ(timeline_ruler_step(1, 600, 56), 0.1);
  EXPECT_EQ(timeline_time_text(65, 5), "1:05");
  EXPECT_EQ(timeline_time_text(0.4, 0.2), "0:00.4");
  EXPECT_EQ(tenths_time_text(125.96), "2:06.0");
}

TEST(TimelineLayoutTest, PitchesNameTheirNoteOnlyWhenTheRootKeyIsKnown) {
  EXPECT_EQ(pitch_note_text(0x0800, std::nullopt), "0800");
  EXPECT_EQ(pitch_note_text(0x1000, 60.0), "1000 (C4)");
  EXPECT_EQ(pitch_note_text(0x0800, 60.12), "0800 (C3 +12 cents)");
  EXPECT_EQ(pitch_note_text(0x2000, 68.7), "2000 (A5 \u221230 cents)");
  EXPECT_EQ(pitch_note_text(0x0100, 9.0), "0100 (A-5)") << "octaves below MIDI's zero";
  EXPECT_EQ(pitch_note_text(0, 60.0), "0000") << "a voice keyed on at pitch 0 has no note";

  const std::string hover = timeline_describe(key_on(48000, 3, 0x19, 0x0800), std::nullopt);
  EXPECT_EQ(hover, "Voice 3 \u00b7 sample 1A\nPitch 0800\nAt 0:01.5\nVolume 7F left, 80 right");
}

TEST(SongPlayTextTest, SaysHowOftenOnWhichVoicesFromWhenAndAtWhichPitches) {
  sample_play play;
  play.key_ons = 48;
  play.voices = 0b1001;
  play.first_sample = 12800;
  play.pitches = {{0x0800, 40}, {0x1000, 4}, {0x1800, 4}};
  EXPECT_EQ(sample_play_text(play, 185),
            "Played 48 times on voices 0, 3, first at 0:00.4, pitches 0800\u20131800");
  sample_play once;
  once.key_ons = 1;
  once.voices = 0b100;
  once.first_sample = 48000;
  once.pitches = {{0x1000, 1}};
  EXPECT_EQ(sample_play_text(once, 185), "Played once on voice 2, first at 0:01.5, pitch 1000");
  EXPECT_EQ(sample_play_text(sample_play{}, 185), "Not played in 3:05");
}

}  // namespace
