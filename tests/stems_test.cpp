// quorlin --stems run as a process with DISPLAY unset: each file against
// libgme's own render with the same voices muted, the stems against the
// mix, which voices are left out, and that nothing a user made is replaced.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "command_run.h"
#include "gme_reference.h"
#include "spc_builder.h"

namespace {

constexpr int rate = 32000;

run_result quorlin(std::vector<std::string> args) {
  args.insert(args.begin(), QUORLIN_BINARY);
  return run_without_display(std::move(args));
}

std::uint32_t le(const std::string& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
  return value;
}

// The samples of a 16-bit stereo 32000 Hz WAV file; fails the test otherwise.
std::vector<short> stereo_wav_samples(const std::string& path) {
  const std::string bytes = file_text(path);
  EXPECT_GE(bytes.size(), 44u) << path;
  if (bytes.size() < 44) return {};
  EXPECT_EQ(bytes.substr(0, 4), "RIFF");
  EXPECT_EQ(le(bytes, 4, 4), bytes.size() - 8);
  EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(le(bytes, 20, 2), 1u) << "PCM";
  EXPECT_EQ(le(bytes, 22, 2), 2u) << "channels";
  EXPECT_EQ(le(bytes, 24, 4), static_cast<std::uint32_t>(rate));
  EXPECT_EQ(le(bytes, 34, 2), 16u) << "bits";
  EXPECT_EQ(bytes.substr(36, 4), "data");
  EXPECT_EQ(le(bytes, 40, 4), bytes.size() - 44);
  std::vector<short> samples((bytes.size() - 44) / 2);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<short>(le(bytes, 44 + 2 * i, 2));
  return samples;
}

// libgme's render of `image` with `mask`, `seconds` long, its last
// `fade_seconds` faded out linearly to silence.
std::vector<short> faded_reference(const spc_format& image, unsigned mask, double seconds,
                                   double fade_seconds) {
  std::vector<short> x = gme_reference_render(image, seconds, mask);
  const auto frames = static_cast<long>(x.size() / 2);
  const auto fade = static_cast<long>(fade_seconds * rate);
  for (long frame = frames - fade; frame < frames; ++frame)
    for (int channel = 0; channel < 2; ++channel) {
      short& s = x[static_cast<std::size_t>(2 * frame + channel)];
      s = static_cast<short>(s * (frames - frame) / fade);
    }
  return x;
}

// The largest |sum of the stems - mix| over every sample.
int largest_difference(const std::vector<std::vector<short>>& stems, const std::vector<short>& mix) {
  int largest = 0;
  for (std::size_t i = 0; i < mix.size(); ++i) {
    int sum = 0;
    for (const auto& stem : stems) sum += stem[i];
    largest = std::max(largest, std::abs(sum - mix[i]));
  }
  return largest;
}

unsigned alone(int voice) { return 0xFFu & ~(1u << voice); }

TEST(stems, EachStemIsLibgmeWithTheOtherVoicesMutedAndTheyAddUpToTheMix) {
  temp_dir dir;
  spc_builder builder;
  builder.two_tones().text_tag("song", "game", "artist", "2", "500");
  // Quiet enough that their sum does not clip.
  for (int reg : {0x00, 0x01, 0x10, 0x11}) builder.dsp(reg, 0x10);
  const std::string spc = builder.write_to(dir.path(), "song.spc");
  const run_result r = quorlin({"--stems", dir.file("out"), spc});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "3 stem files written to " + dir.file("out") + "\n");
  EXPECT_EQ(r.err, "quorlin: " + spc + ": voices 2, 3, 4, 5, 6, 7 never keyed on and silent: "
                                       "no stem written\n");
  EXPECT_FALSE(std::filesystem::exists(dir.file("out/song-voice2.wav")));

  const auto voice0 = stereo_wav_samples(dir.file("out/song-voice0.wav"));
  const auto voice1 = stereo_wav_samples(dir.file("out/song-voice1.wav"));
  const auto mix = stereo_wav_samples(dir.file("out/song-mix.wav"));
  ASSERT_EQ(mix.size(), 2u * rate * 5 / 2) << "not the tag's 2 s and 0.5 s of fade";
  EXPECT_EQ(voice0, faded_reference(builder.image(), alone(0), 2.5, 0.5));
  EXPECT_EQ(voice1, faded_reference(builder.image(), alone(1), 2.5, 0.5));
  EXPECT_EQ(mix, faded_reference(builder.image(), 0, 2.5, 0.5));
  EXPECT_NE(voice0, voice1);
  ASSERT_EQ(voice0.size(), mix.size());
  ASSERT_EQ(voice1.size(), mix.size());
  // Rounded once per voice by the DSP's volumes and once more by each
  // file's fade, and once for the mix.
  EXPECT_LE(largest_difference({voice0, voice1}, mix), 2 * 2 + 1);
}

TEST(stems, RealSongStemsMatchLibgmeAndAddUpToTheMixWithinRounding) {
  const std::string song = corpus_file("osoumen_gtme.spc");
  if (song.empty()) GTEST_SKIP() << "osoumen_gtme.spc is not in the corpus folder";
  temp_dir dir;
  const run_result r = quorlin({"--stems", dir.path(), "--seconds", "6", song});
  ASSERT_EQ(r.status, 0) << r.err;
  std::unique_ptr<spc_format> image = read_spc_from_file(song.c_str());
  ASSERT_TRUE(image);
  const auto mix = stereo_wav_samples(dir.file("osoumen_gtme-mix.wav"));
  EXPECT_EQ(mix, faded_reference(*image, 0, 6.0, 5.0)) << "the tag's 5 s fade ends the 6 s";
  std::vector<std::vector<short>> stems;
  for (int voice = 0; voice < 8; ++voice) {
    const std::string path = dir.file("osoumen_gtme-voice" + std::to_string(voice) + ".wav");
    if (!std::filesystem::exists(path)) continue;
    stems.push_back(stereo_wav_samples(path));
    EXPECT_EQ(stems.back(), faded_reference(*image, alone(voice), 6.0, 5.0)) << "voice " << voice;
    ASSERT_EQ(stems.back().size(), mix.size());
  }
  EXPECT_GE(stems.size(), 4u);
  // Echo feeds the voices' rounded sum back: a little more than one step each.
  EXPECT_LE(largest_difference(stems, mix), 4 * static_cast<int>(stems.size()));
}

// Voice 0 keyed on in the snapshot, voice 2 keyed on by the program as it
// starts, voice 3's envelope still up at the snapshot: three stems. The
// others never sound.
TEST(stems, OnlyVoicesNeverKeyedOnAndSilentAtTheSnapshotAreLeftOut) {
  temp_dir dir;
  spc_builder builder;
  builder.square_wave_tone();
  builder.aram(0x0400, {0x8F, 0x4C, 0xF2, 0x8F, 0x04, 0xF3, 0x2F, 0xFE});  // KON = 0x04, idle
  builder.dsp(0x38, 0x40);  // voice 3's ENVX
  const std::string spc = builder.write_to(dir.path(), "keys.spc");
  const run_result r = quorlin({"--stems", dir.path(), "--seconds", "1", spc});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "quorlin: " + spc + ": voices 1, 4, 5, 6, 7 never keyed on and silent: "
                                       "no stem written\n");
  for (const char* name : {"keys-voice0.wav", "keys-voice2.wav", "keys-voice3.wav", "keys-mix.wav"})
    EXPECT_EQ(stereo_wav_samples(dir.file(name)).size(), 2u * rate) << name;
}

TEST(stems, NothingIsReplacedWithoutForceAndAnUnreadableFileLeavesTheOthersDone) {
  temp_dir dir;
  const std::string spc = spc_builder().square_wave_tone().write_to(dir.path(), "tone.spc");
  const std::string missing = dir.file("missing.spc");
  const run_result first = quorlin({"--stems", dir.file("out"), "--seconds", "1", missing, spc});
  EXPECT_EQ(first.status, 1);
  EXPECT_NE(first.err.find("quorlin: " + missing + ": Unable to open file"), std::string::npos);
  EXPECT_EQ(first.out, "2 stem files written to " + dir.file("out") + "\n");

  std::ofstream(dir.file("out/tone-mix.wav"), std::ios::trunc) << "mine";
  const auto voice0_before = file_text(dir.file("out/tone-voice0.wav"));
  std::filesystem::remove(dir.file("out/tone-voice0.wav"));
  const run_result again = quorlin({"--stems", dir.file("out"), "--seconds", "1", spc});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("quorlin: " + dir.file("out/tone-mix.wav") +
                           " already exists: nothing was written (--force replaces it)\n"),
            std::string::npos)
      << again.err;
  EXPECT_EQ(file_text(dir.file("out/tone-mix.wav")), "mine");
  EXPECT_FALSE(std::filesystem::exists(dir.file("out/tone-voice0.wav"))) << "written in part";

  const run_result forced = quorlin({"--stems", dir.file("out"), "--seconds", "1", "--force", spc});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(file_text(dir.file("out/tone-voice0.wav")), voice0_before);
  EXPECT_EQ(stereo_wav_samples(dir.file("out/tone-mix.wav")).size(), 2u * rate);
  for (const auto& entry : std::filesystem::directory_iterator(dir.file("out")))
    EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos)
        << "a temporary file stayed: " << entry.path();

  std::filesystem::create_directory(dir.file("other"));
  const std::string twin =
      spc_builder().square_wave_tone().write_to(dir.file("other"), "tone.spc");
  const run_result both = quorlin({"--stems", dir.file("twins"), "--seconds", "1", spc, twin});
  EXPECT_EQ(both.status, 0) << both.err;
  EXPECT_NE(both.err.find(twin + ": its stems are named tone (2)"), std::string::npos) << both.err;
  EXPECT_TRUE(std::filesystem::exists(dir.file("twins/tone (2)-mix.wav")));

  EXPECT_EQ(quorlin({"--seconds", "5", spc}).status, 2);
  EXPECT_EQ(quorlin({"--stems", dir.file("out"), "--seconds", "0", spc}).status, 2);
  EXPECT_EQ(quorlin({"--stems", dir.file("out")}).status, 2);
  EXPECT_EQ(quorlin({"--stems", dir.file("out"), "--list", spc}).status, 2);
}

// Voices 0, 2 and 3 sound in the first song of that name, only voice 0 in
// the second: with --force the second run leaves no stem of the first.
TEST(stems, EveryStemOfAStemIsTheLastRunsAndANameTooLongStopsOnlyItsFile) {
  temp_dir dir;
  std::filesystem::create_directory(dir.file("a"));
  std::filesystem::create_directory(dir.file("b"));
  spc_builder three;
  three.square_wave_tone();
  three.aram(0x0400, {0x8F, 0x4C, 0xF2, 0x8F, 0x04, 0xF3, 0x2F, 0xFE}).dsp(0x38, 0x40);
  const std::string first = three.write_to(dir.file("a"), "song.spc");
  const std::string second = spc_builder().square_wave_tone().write_to(dir.file("b"), "song.spc");
  ASSERT_EQ(quorlin({"--stems", dir.file("out"), "--seconds", "2", first}).status, 0);
  EXPECT_EQ(quorlin({"--stems", dir.file("out"), "--seconds", "1", second}).status, 1);
  const run_result forced =
      quorlin({"--stems", dir.file("out"), "--seconds", "1", "--force", second});
  EXPECT_EQ(forced.status, 0) << forced.err;
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir.file("out")))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"song-mix.wav", "song-voice0.wav"}));
  EXPECT_EQ(stereo_wav_samples(dir.file("out/song-mix.wav")).size(), 2u * rate);

  // 246 characters and "-voice0.wav" are more than a file name holds; the
  // mix's name fits, and the next file is still done.
  const std::string long_stem(246, 'x');
  const std::string too_long =
      spc_builder().square_wave_tone().write_to(dir.path(), long_stem + ".spc");
  const run_result r = quorlin({"--stems", dir.file("long"), "--seconds", "1", too_long, first});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("quorlin: Unable to write " + dir.file("long/" + long_stem) +
                       "-voice0.wav: File name too long\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.out, "5 stem files written to " + dir.file("long") + "\n");
  EXPECT_EQ(stereo_wav_samples(dir.file("long/" + long_stem + "-mix.wav")).size(), 2u * rate);
  EXPECT_TRUE(std::filesystem::exists(dir.file("long/song-voice3.wav")));

  // Longer than a WAV file holds: refused before anything is followed.
  const run_result huge = quorlin({"--stems", dir.file("huge"), "--seconds", "33555", first});
  EXPECT_EQ(huge.status, 1);
  EXPECT_NE(huge.err.find("longer than a WAV file holds (4 GiB, 33554 s)"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("huge")));
}

}  // namespace
