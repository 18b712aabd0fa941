// The demo song: a valid file whose chart lists the samples it was built
// with, and which plays a tune (sound, and a melody that moves) through the
// emulation library.
#include "demo_spc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <vector>

#include "audio_analysis.h"
#include "id666.h"
#include "openspc.h"

namespace {

// The file make_demo_spc wrote into the build folder, which scripts/run opens.
TEST(demo_spc, WrittenFileLoadsAndHoldsTheImage) {
  const std::unique_ptr<spc_format> written = read_spc_from_file(QUORLIN_DEMO_SPC);
  ASSERT_TRUE(written);
  EXPECT_EQ(std::filesystem::file_size(QUORLIN_DEMO_SPC), spc_image_size);
  const std::unique_ptr<spc_format> demo = make_demo_spc();
  EXPECT_EQ(std::memcmp(written.get(), demo.get(), sizeof(spc_format)), 0);
}

TEST(demo_spc, TagIsTextForm) {
  const std::unique_ptr<spc_format> demo = make_demo_spc();
  EXPECT_EQ(id666_detect_form(*demo), id666_form::text);
  EXPECT_EQ(id666_song_title(*demo), "Demo");
  EXPECT_EQ(id666_game_title(*demo), "Quorlin");
  EXPECT_FALSE(id666_artist_name(*demo).empty());
  EXPECT_EQ(id666_song_seconds(*demo), 30);
  EXPECT_EQ(id666_fade_msec(*demo), 3000);
}

TEST(demo_spc, ChartListsTheThreeSamples) {
  const std::unique_ptr<spc_format> demo = make_demo_spc();
  std::int32_t count = 0;
  std::unique_ptr<sample_chart[]> chart;
  generate_sample_chart(*demo, count, chart);
  ASSERT_EQ(count, 3);
  ASSERT_TRUE(chart);
  struct row {
    int number, start, loop, length, loop_length;
  };
  // Square: 2 blocks looping whole. Triangle: 2 attack blocks, 2 looping.
  // Noise: 32 blocks, no loop (its loop entry is its start).
  const row expected[] = {
      {1, 0x0800, 0x0800, 18, 18}, {2, 0x0812, 0x0824, 36, 18}, {3, 0x0836, 0x0836, 288, 288}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(chart[i].sample_number, expected[i].number);
    EXPECT_EQ(chart[i].sample_address, expected[i].start);
    EXPECT_EQ(chart[i].loop_address, expected[i].loop);
    EXPECT_EQ(chart[i].sample_length, expected[i].length);
    EXPECT_EQ(chart[i].loop_length, expected[i].loop_length);
  }
}

// Equal-tempered frequency of a MIDI note.
double note_hz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

TEST(demo_spc, PlaysATuneOfSeveralPitches) {
  std::unique_ptr<spc_format> demo = make_demo_spc();
  ASSERT_EQ(OSPC_Init(demo.get(), sizeof(spc_format)), 0);
  constexpr int seconds = 13;  // one pass of the tune and a little more
  std::vector<short> pcm(seconds * OSPC_SAMPLE_RATE * 2);
  std::size_t filled = 0;
  while (filled < pcm.size()) {
    const int bytes =
        OSPC_Run(-1, pcm.data() + filled,
                 static_cast<int>(std::min<std::size_t>(pcm.size() - filled, 16000) * 2));
    ASSERT_GT(bytes, 0) << "the song ended early";
    filled += static_cast<std::size_t>(bytes) / 2;
  }
  const std::vector<double> x = mono(pcm);

  // In each 100 ms window, the strongest note of the melody's range (G4 and
  // up, above the bass and its loud harmonics).
  constexpr std::size_t window = OSPC_SAMPLE_RATE / 10;
  std::set<int> melody_notes;
  int changes = 0;
  int previous = 0;
  int sounding_windows = 0;
  for (std::size_t first = 0; first + window <= x.size(); first += window) {
    if (rms(x, first, window) < 300.0) continue;
    ++sounding_windows;
    int strongest = 0;
    double best = 0.0;
    for (int note = 67; note <= 90; ++note) {
      const double share = energy_share_at(x, first, window, note_hz(note));
      if (share > best) {
        best = share;
        strongest = note;
      }
    }
    if (best < 0.05) continue;
    melody_notes.insert(strongest);
    if (previous != 0 && strongest != previous) ++changes;
    previous = strongest;
  }
  EXPECT_GT(sounding_windows, seconds * 10 * 9 / 10) << "mostly sound, not silence";
  EXPECT_GE(melody_notes.size(), 6u) << "a tune, not a drone";
  EXPECT_GE(changes, 20);
  EXPECT_TRUE(melody_notes.count(76) && melody_notes.count(79) && melody_notes.count(84))
      << "E5, G5 and C6 are all in the tune";
}

}  // namespace
