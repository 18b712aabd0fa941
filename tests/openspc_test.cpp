// The emulation library (libopenspc) on images built here and on real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "audio_analysis.h"
#include "audio_harness.h"
#include "audio_render.h"
#include "gme_reference.h"
#include "openspc.h"
#include "spc_builder.h"

namespace {

constexpr int frames_per_second = OSPC_SAMPLE_RATE;

// Set by every Init made through these helpers: the library's state is per
// process, and ctest runs each test in a process of its own.
bool initialised_in_this_process = false;

int init(std::vector<std::uint8_t> bytes) {
  initialised_in_this_process = true;
  return OSPC_Init(bytes.data(), static_cast<unsigned>(bytes.size()));
}

std::size_t at_second(double seconds) {
  return static_cast<std::size_t>(seconds * frames_per_second);
}

TEST(openspc, RunBeforeAnyInitGivesNoAudio) {
  if (initialised_in_this_process) GTEST_SKIP() << "the library was set up earlier in this process";
  std::vector<short> buffer(16000, 0x5555);
  EXPECT_LE(OSPC_Run(-1, buffer.data(), 32000), 0);
  EXPECT_EQ(buffer[0], 0x5555);
}

TEST(openspc, ToneImageRendersItsThousandHertzSquareWave) {
  ASSERT_EQ(init(spc_builder().square_wave_tone().bytes()), 0);
  const auto x = mono(render_current_song(1.0));
  ASSERT_EQ(x.size(), at_second(1.0));
  const std::size_t first = at_second(0.1);
  const std::size_t count = at_second(0.8);  // 800 whole periods
  EXPECT_GT(rms(x, first, count), 1000.0);
  EXPECT_GT(energy_share_at(x, first, count, 1000.0), 0.7);
  EXPECT_LT(energy_share_at(x, first, count, 900.0), 0.01);
  EXPECT_LT(energy_share_at(x, first, count, 1100.0), 0.01);
}

TEST(openspc, RejectsABufferThatIsNoSpcImageAndDropsTheSongBefore) {
  ASSERT_EQ(init(spc_builder().square_wave_tone().bytes()), 0);
  std::vector<std::uint8_t> junk(spc_image_size, 0x41);
  EXPECT_LT(init(junk), 0);
  std::vector<short> buffer(16000);
  EXPECT_LE(OSPC_Run(-1, buffer.data(), 32000), 0) << "the earlier song still plays";
  EXPECT_LT(OSPC_Init(nullptr, 0), 0);
  auto truncated = spc_builder().square_wave_tone().bytes();
  truncated.resize(1000);
  EXPECT_LT(init(truncated), 0);
}

TEST(openspc, FramesAndSizeLimitWhatOneRunWrites) {
  ASSERT_EQ(init(spc_builder().square_wave_tone().bytes()), 0);
  std::vector<short> buffer(16000);
  EXPECT_EQ(OSPC_Run(100, buffer.data(), 32000), 400);
  EXPECT_EQ(OSPC_Run(-1, buffer.data(), 1003), 1000) << "not rounded down to whole frames";
  EXPECT_EQ(OSPC_Run(20000, buffer.data(), 32000), 32000);
  EXPECT_EQ(OSPC_Run(-1, buffer.data(), 3), 0);
}

TEST(openspc, TextTaggedSongPlaysItsLengthThenFadesOutLinearly) {
  ASSERT_EQ(init(spc_builder().square_wave_tone().text_tag("t", "g", "a", "3", "1000").bytes()), 0);
  const auto x = mono(render_current_song(60.0));
  ASSERT_EQ(x.size(), at_second(4.0)) << "not 3 s of song and 1 s of fade";
  const double full = rms(x, at_second(2.5), at_second(0.5));
  ASSERT_GT(full, 1000.0);
  // The mean gain over each quarter of a linear fade: 7/8, 5/8, 3/8, 1/8.
  const double expected[] = {0.875, 0.625, 0.375, 0.125};
  for (int quarter = 0; quarter < 4; ++quarter) {
    const double level = rms(x, at_second(3.0 + 0.25 * quarter), at_second(0.25)) / full;
    EXPECT_NEAR(level, expected[quarter], 0.05) << "fade quarter " << quarter;
  }
  std::vector<short> buffer(16000);
  EXPECT_LE(OSPC_Run(-1, buffer.data(), 32000), 0) << "audio after the end";
}

TEST(openspc, BinaryTaggedSongEndsAfterLengthAndFade) {
  ASSERT_EQ(init(spc_builder().square_wave_tone().binary_tag("t", "g", "a", 2, 500).bytes()), 0);
  EXPECT_EQ(mono(render_current_song(60.0)).size(), at_second(2.5));
}

TEST(openspc, TaggedLengthWithoutFadeStopsAtTheLength) {
  ASSERT_EQ(init(spc_builder().square_wave_tone().text_tag("t", "g", "a", "2", "").bytes()), 0);
  const auto x = mono(render_current_song(60.0));
  ASSERT_EQ(x.size(), at_second(2.0));
  EXPECT_GT(rms(x, at_second(1.9), at_second(0.1)), 1000.0) << "faded though no fade was tagged";
}

TEST(openspc, SongWithoutLengthPlaysOnPastAnyDefaultLimit) {
  ASSERT_EQ(init(spc_builder().square_wave_tone().text_tag("t", "g", "a", "0", "1000").bytes()), 0);
  const auto tagged_zero = mono(render_current_song(200.0));
  ASSERT_EQ(tagged_zero.size(), at_second(200.0));
  EXPECT_GT(rms(tagged_zero, at_second(199.0), at_second(1.0)), 1000.0);

  ASSERT_EQ(init(spc_builder().square_wave_tone().bytes()), 0);
  const auto untagged = mono(render_current_song(200.0));
  ASSERT_EQ(untagged.size(), at_second(200.0));
  EXPECT_GT(rms(untagged, at_second(199.0), at_second(1.0)), 1000.0)
      << "silence or a fade where the untagged song should play on";
}

TEST(openspc, RealFileRendersTheSameBytesAfterEachInit) {
  const auto image = corpus_image("osoumen_gtme.spc");
  if (!image) GTEST_SKIP() << "osoumen_gtme.spc is not in the corpus folder";
  ASSERT_EQ(init(image_bytes(*image)), 0);
  const auto first = render_current_song(3.0);
  ASSERT_EQ(init(image_bytes(*image)), 0);
  const auto second = render_current_song(3.0);
  ASSERT_EQ(first.size(), at_second(3.0) * 2);
  EXPECT_EQ(first, second);
  EXPECT_GT(rms(mono(first), 0, at_second(3.0)), 100.0) << "the song rendered silent";
}

TEST(openspc, RealFileWithTextTagEndsAfterItsLengthAndFade) {
  const auto image = corpus_image("osoumen_gtme.spc");
  if (!image) GTEST_SKIP() << "osoumen_gtme.spc is not in the corpus folder";
  ASSERT_EQ(init(image_bytes(*image)), 0);
  const auto x = mono(render_current_song(400.0));
  EXPECT_EQ(x.size(), at_second(205.0)) << "tag: 200 s, fade 5000 ms";
  EXPECT_LT(rms(x, at_second(204.9), at_second(0.1)), 0.05 * rms(x, at_second(190), at_second(10)));
}

// The mask goes over between buffers: the buffer after OSPC_MuteVoices is
// the first without the voice, as libgme renders a mute at that frame; and
// the next Init starts with it.
TEST(openspc, MutedVoiceFallsSilentFromTheNextBufferAndStaysMutedForTheNextSong) {
  const spc_format image = spc_builder().two_tones().image();
  ASSERT_EQ(init(image_bytes(image)), 0);
  auto x = render_current_song(0.25);
  OSPC_MuteVoices(0x01);
  const auto after = render_current_song(0.75);
  x.insert(x.end(), after.begin(), after.end());
  EXPECT_EQ(x, gme_reference_render(image, 1.0, 0x01, at_second(0.25)));
  const auto heard = mono(after);
  EXPECT_LT(energy_share_at(heard, at_second(0.1), at_second(0.5), 1000.0), 0.01);
  EXPECT_GT(energy_share_at(heard, at_second(0.1), at_second(0.5), 500.0), 0.7);

  ASSERT_EQ(init(image_bytes(image)), 0);
  const auto next = render_current_song(1.0);
  OSPC_MuteVoices(0);
  EXPECT_EQ(next, gme_reference_render(image, 1.0, 0x01));
  EXPECT_NE(next, gme_reference_render(image, 1.0, 0));
}

// A renderer is an emulator of its own: rendering one voice alone beside
// the song changes neither, and its end fades over the frames asked for.
TEST(openspc, RendererRendersItsOwnMaskBesideThePlayingSongAndFadesItsEnd) {
  const spc_format image = spc_builder().two_tones().image();
  ASSERT_EQ(init(image_bytes(image)), 0);
  OSPC_Renderer* renderer =
      OSPC_RendererOpen(&image, sizeof image, 0xFE, at_second(2.0), at_second(0.5));
  ASSERT_NE(renderer, nullptr);
  std::vector<short> song, alone, buffer(16000);
  for (int bytes = 1; bytes > 0;) {
    song.insert(song.end(), buffer.begin(), buffer.begin() + OSPC_Run(-1, buffer.data(), 32000) / 2);
    bytes = OSPC_RendererRun(renderer, -1, buffer.data(), 32000);
    alone.insert(alone.end(), buffer.begin(), buffer.begin() + std::max(bytes, 0) / 2);
  }
  OSPC_RendererClose(renderer);
  EXPECT_EQ(song, gme_reference_render(image, 2.25, 0)) << "the renderer disturbed the song";

  auto expected = gme_reference_render(image, 2.0, 0xFE);
  ASSERT_EQ(alone.size(), expected.size()) << "not 2 s";
  const std::size_t fade = at_second(0.5);
  const std::size_t fade_start = expected.size() / 2 - fade;
  for (std::size_t i = fade_start * 2; i < expected.size(); ++i) {
    const auto left = static_cast<long>(fade_start + fade - i / 2);
    expected[i] = static_cast<short>(expected[i] * left / static_cast<long>(fade));
  }
  EXPECT_EQ(alone, expected);
  EXPECT_EQ(OSPC_RendererOpen(buffer.data(), 1000, 0, 0, 0), nullptr);
}

}  // namespace
