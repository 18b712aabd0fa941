// A sample's own pitch, the song's evidence and the tuning made of both;
// the envelope conversion and AddMusicK's tuning bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "amk_instruments.h"
#include "brr.h"
#include "brr_encode.h"
#include "dsp_envelope.h"
#include "instrument_kit.h"
#include "pitch_detect.h"
#include "tuning.h"

namespace {

constexpr double tau = 2 * M_PI;
constexpr u16 sample_address = 0x1000;

// Cents between two frequencies.
double cents(double hz, double reference) { return 1200.0 * std::log2(hz / reference); }

own_pitch pitch_of(const spc_builder& image) {
  const brr_sample sample = brr_decode_chain(image.image(), sample_address,
                                             image.image().aram[0x0202] | image.image().aram[0x0203] << 8);
  return detect_own_pitch(playable_pcm(image.image(), sample));
}

TEST(OwnPitch, LoopsOfKnownWaveformsGiveTheirFrequency) {
  {
    // 261.63 Hz over 107 blocks: the loop holds (almost exactly) 14 periods.
    spc_builder image;
    put_brr_wave(image, 0, sample_address, 110, [](int i) { return 0.5 * std::sin(tau * 261.63 * i / 32000); }, 3);
    const own_pitch p = pitch_of(image);
    ASSERT_TRUE(p.hz);
    EXPECT_TRUE(p.from_loop);
    EXPECT_NEAR(cents(*p.hz, 261.63), 0.0, 5.0);
    EXPECT_GE(p.confidence, own_pitch_min_confidence);
  }
  {
    // A 440 Hz sawtooth over 50 loop blocks: eleven whole periods.
    spc_builder image;
    put_brr_wave(image, 0, sample_address, 52, [](int i) {
      const double phase = 440.0 * i / 32000;
      return 0.8 * (phase - std::floor(phase) - 0.5);
    }, 2);
    const own_pitch p = pitch_of(image);
    ASSERT_TRUE(p.hz);
    EXPECT_NEAR(cents(*p.hz, 440.0), 0.0, 5.0);
  }
  {
    // A 440 Hz sine whose loop (11 blocks) holds about two and a half
    // periods: the period inside the loop, not the loop's length.
    spc_builder image;
    put_brr_wave(image, 0, sample_address, 13, [](int i) { return 0.6 * std::sin(tau * 440.0 * i / 32000); }, 2);
    const own_pitch p = pitch_of(image);
    ASSERT_TRUE(p.hz);
    EXPECT_NEAR(cents(*p.hz, 440.0), 0.0, 5.0);
  }
  {
    // A square wave whose two-block loop is one period: 1000 Hz.
    spc_builder image;
    put_brr_wave(image, 0, sample_address, 4, [](int i) { return (i % 32) < 16 ? 0.5 : -0.5; }, 2);
    const own_pitch p = pitch_of(image);
    ASSERT_TRUE(p.hz);
    EXPECT_NEAR(*p.hz, 1000.0, 0.01);
    EXPECT_GE(p.confidence, own_pitch_min_confidence);
  }
}

TEST(Tuning, ANoiseBurstTakesTheNoteTheSongPlaysItAtMost) {
  spc_builder image;
  std::mt19937 random(7);
  std::uniform_real_distribution<double> noise(-0.7, 0.7);
  put_brr_wave(image, 0, sample_address, 60, [&](int) { return noise(random); }, std::nullopt);
  const own_pitch own = pitch_of(image);
  EXPECT_LT(own.hz ? own.confidence : 0.0, own_pitch_min_confidence);

  // Five key-ons at 0x1000 (C4), two an octave lower.
  const sample_tuning t = tune_sample(own, {{0x0800, 2}, {0x1000, 5}});
  EXPECT_EQ(t.method, tuning_method::most_played_note);
  EXPECT_EQ(t.root_key(), 60);
  EXPECT_EQ(t.fine_tune_cents(), 0);
  EXPECT_NEAR(t.confidence, 5.0 / 7.0, 1e-9);
  EXPECT_EQ(t.played_low, 48);
  EXPECT_EQ(t.played_high, 60);
  EXPECT_EQ(t.key_ons, 7);
}

TEST(Tuning, TheSongsNotesFixTheFineTuneAndGiveTheRange) {
  // True pitch 1000 Hz (MIDI 83.214), measured 4 cents sharp; the song plays
  // C5, G5 and D6 in tune with the true pitch.
  const double true_root = 69 + 12 * std::log2(1000.0 / 440.0);
  own_pitch measured{1000.0 * std::exp2(4.0 / 1200), 0.95, true};
  std::vector<sample_play::pitch_count> song;
  for (int note : {72, 79, 86})
    song.push_back({static_cast<u16>(std::lround(4096 * std::exp2((note - true_root) / 12))), 3});
  const sample_tuning t = tune_sample(measured, song);
  EXPECT_EQ(t.method, tuning_method::loop_period);
  EXPECT_EQ(t.root_key(), 83);
  EXPECT_NEAR(t.fine_tune_cents(), 21, 1);
  EXPECT_LT(t.spread_cents, 1.0);
  EXPECT_EQ(t.played_low, 72);
  EXPECT_EQ(t.played_high, 86);
  EXPECT_EQ(tuning_text(t), "Root B5 +21 cents (loop period), played C5\u2013D6");

  // Scattered notes say nothing about the fine tune: the measurement stands.
  const sample_tuning scattered = tune_sample(measured, {{0x1000, 1}, {0x1060, 1}, {0x0F90, 1}});
  EXPECT_NEAR(scattered.root, true_root + 0.04, 1e-6);
  EXPECT_GT(scattered.spread_cents, song_fine_tune_max_spread);
}

TEST(Tuning, ASongKeyingOneSampleAtThreePitchesAFifthApart) {
  // A one-period loop of 64 samples: 500 Hz, B4 +14 cents. The song keys it
  // on at 0x1000, a fifth up and a fifth above that: its notes share those
  // 14 cents, so the kit plays the song's B4 from key B4 with no fine tune.
  spc_builder image;
  put_brr_wave(image, 0, sample_address, 4, [](int i) { return 0.6 * std::sin(tau * i / 64); }, 0);
  const spc_format spc = song_of_pitches(image, {0x1000, 0x17F9, 0x23EB});
  const song_trace trace = trace_song(spc, 1.0);
  const auto plays = summarize_trace(trace);
  ASSERT_EQ(plays[0].key_ons, 3) << "the trace should see the three notes";
  const brr_sample sample = brr_decode_chain(spc, sample_address, sample_address);
  const sample_tuning t = tune_sample(detect_own_pitch(playable_pcm(spc, sample)), plays[0].pitches);
  EXPECT_EQ(t.method, tuning_method::loop_period);
  EXPECT_EQ(t.root_key(), 71);
  EXPECT_EQ(t.fine_tune_cents(), 0);
  EXPECT_EQ(t.played_low, 71);
  EXPECT_EQ(t.played_high, 85);
  EXPECT_LT(t.spread_cents, 2.0);
}

TEST(Envelope, AdsrAndGainBecomeASamplersEnvelope) {
  // ADSR: attack 15 (immediate), decay rate 16 + 2·7 = 30 (2 samples a
  // step), sustain 3 (half), no sustain fall.
  const sampler_envelope adsr = sampler_envelope_from({0xFF, 0x60, 0});
  EXPECT_NEAR(adsr.attack_seconds, 2 / 32000.0, 1e-9);
  EXPECT_NEAR(adsr.sustain_level, 0.5, 1e-9);
  // 100 dB at 0.034 dB a step of 2 samples.
  EXPECT_NEAR(adsr.decay_seconds, 100 / (20 * std::log10(256.0 / 255)) * 2 / 32000, 1e-6);
  EXPECT_NEAR(adsr.release_seconds, 0.008, 0.0005);
  EXPECT_TRUE(adsr.approximation.empty());

  // Attack 0 (rate 1: 2048 samples a step, 63 steps) and a sustain that falls.
  const sampler_envelope falling = sampler_envelope_from({0x80, 0xE1, 0});
  EXPECT_NEAR(falling.attack_seconds, 63 * 2048 / 32000.0, 1e-9);
  EXPECT_EQ(falling.sustain_level, 0.0);
  EXPECT_FALSE(falling.approximation.empty());

  // Direct GAIN: a fixed level.
  const sampler_envelope direct = sampler_envelope_from({0x00, 0x00, 0x40});
  EXPECT_NEAR(direct.level, 0x400 / double(0x7FF), 1e-9);
  EXPECT_EQ(direct.attack_seconds, 0.0);
  EXPECT_EQ(direct.sustain_level, 1.0);

  // Linear GAIN increase at rate 31 (a step a sample): 64 samples.
  EXPECT_NEAR(sampler_envelope_from({0x00, 0x00, 0xDF}).attack_seconds, 64 / 32000.0, 1e-9);
}

TEST(AddMusicK, TuningBytesPlayO4AAt440Hz) {
  // Worked by hand: a sample whose root is A4 must sound o4 a at pitch
  // 0x1000. At o6 a the table gives $0E14 = 3604, and 0x1000 four times
  // over is 16384: 16384 · 256 / 3604 = 1163.8, so $04 $8C (1164). Then o4
  // a: (3604 · 2) >> 3 = 901, and 901 · 1164 / 256 = 4096.7 → 4096.
  const amk_tuning t = amk_tuning_for_root(69.0);
  EXPECT_EQ(t.multiplier, 0x04);
  EXPECT_EQ(t.fraction, 0x8C);
  EXPECT_EQ(amk_pitch(45, t), 0x1000);
  // An octave higher root halves the multiplier.
  const amk_tuning high = amk_tuning_for_root(81.0);
  EXPECT_EQ(high.multiplier * 256 + high.fraction, 582);
}

}  // namespace

namespace {

TEST(Envelope, AKeyOnThatStartsSilentTakesTheEnvelopeTheDriverThenRaises) {
  // A driver keys on with direct GAIN 0 and raises GAIN a little later: the
  // kit takes what sounds, not the silent key-on (it would be -144 dB).
  spc_builder image;
  image.square_wave_tone();
  song_trace trace;
  trace_event on;
  on.sample = 100;
  on.start = 0x1000;
  on.loop = 0x1000;
  on.pitch = 0x1000;
  on.gain = 0x00;
  trace.events.push_back(on);
  trace_event raised = on;
  raised.kind = trace_event_kind::envelope;
  raised.sample = 200;
  raised.gain = 0x60;
  trace.events.push_back(raised);
  raised.sample = 300;
  raised.gain = 0x20;  // later changes are the song's, not the instrument's
  trace.events.push_back(raised);
  trace.samples = 32000;
  const auto tuned = tune_played_samples({{&image.image(), &trace}}, false);
  ASSERT_EQ(tuned.size(), 1u);
  ASSERT_EQ(tuned[0].count(0), 1u);
  EXPECT_EQ(tuned[0].at(0).envelope.gain, 0x60);
}

}  // namespace
