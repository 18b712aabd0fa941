// A one-sample audition image, rendered through the real emulation library.
#include "spc700_program.h"

#include <gtest/gtest.h>

#include <cstring>

#include "aram_regions.h"
#include "audio_analysis.h"
#include "audio_render.h"
#include "spc_builder.h"

namespace {

constexpr u8 brr_shift_12 = 0xC0;
constexpr u8 brr_loop_end = 0x03;
constexpr u8 brr_end = 0x01;

// A square wave of `half_blocks` blocks high (0x77) then as many low (0x88):
// 32 * half_blocks samples a period. The last block ends the chain and, when
// `loops`, loops back to the start.
void put_square(spc_builder& builder, u16 address, int half_blocks, bool loops) {
  for (int block = 0; block < 2 * half_blocks; ++block) {
    const bool last = block == 2 * half_blocks - 1;
    const u8 header = brr_shift_12 | (last ? (loops ? brr_loop_end : brr_end) : 0);
    const u8 data = block < half_blocks ? 0x77 : 0x88;
    builder.aram(static_cast<u16>(address + 9 * block),
                 {header, data, data, data, data, data, data, data, data});
  }
}

// The tone image's song (entry 0, 1000 Hz, on voice 0) with a second sample,
// entry 5: a 500 Hz square at 0x3000, so what plays tells them apart.
spc_builder song_with_second_sample() {
  spc_builder builder;
  builder.square_wave_tone().dir_entry(5, 0x3000, 0x3000);
  put_square(builder, 0x3000, 2, true);
  return builder;
}

std::vector<double> audition(const spc_format& source, int entry, int semitones = 0) {
  const std::unique_ptr<spc_format> image = make_audition_spc(source, entry, semitones);
  if (!image) return {};
  return mono(render_song(*image, 3.0));
}

std::size_t at_second(double seconds) { return static_cast<std::size_t>(seconds * pcm_rate); }

TEST(audition, LoopingSampleSoundsAloneAtItsPitchUntilStopped) {
  const spc_builder song = song_with_second_sample();
  const std::vector<double> x = audition(song.image(), 5);
  ASSERT_EQ(x.size(), at_second(3.0)) << "a tag or an end cut the audition short";
  const std::size_t first = at_second(2.0);
  const std::size_t count = at_second(1.0);
  EXPECT_GT(rms(x, first, count), 5000.0) << "full volume, still sounding after 2 s";
  EXPECT_GT(energy_share_at(x, first, count, 500.0), 0.7);
  EXPECT_LT(energy_share_at(x, first, count, 1000.0), 0.01) << "the song's own voice plays too";
}

TEST(audition, SemitonesMovePitchByPowersOfTwo) {
  const spc_builder song = song_with_second_sample();
  const struct {
    int semitones;
    double hz;
  } cases[] = {{12, 1000.0}, {-12, 250.0}, {24, 2000.0 * 0x3FFF / 0x4000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.semitones);
    const std::vector<double> x = audition(song.image(), 5, c.semitones);
    ASSERT_EQ(x.size(), at_second(3.0));
    EXPECT_GT(energy_share_at(x, at_second(1.0), at_second(1.0), c.hz), 0.6);
  }
  EXPECT_EQ(audition_pitch(99), 0x3FFF) << "past the register's 14 bits";
  EXPECT_EQ(audition_pitch(-99), 0x0400);
}

TEST(audition, SampleWithoutLoopPlaysOnceThenFallsSilent) {
  spc_builder song = song_with_second_sample();
  put_square(song, 0x4000, 10, false);  // 320 samples: 10 ms at 0x1000
  song.dir_entry(6, 0x4000, 0x4000);
  const std::vector<double> x = audition(song.image(), 6);
  ASSERT_EQ(x.size(), at_second(3.0));
  const auto sound = find_sound(x, 1000.0);
  ASSERT_TRUE(sound);
  EXPECT_LT(sound->first, at_second(0.05));
  const std::size_t heard = sound->last - sound->first + 1;
  EXPECT_GT(heard, 320u - 48u);
  EXPECT_LT(heard, 320u + 48u);
  EXPECT_LT(rms(x, at_second(0.5), at_second(2.5)), 1.0);
}

TEST(audition, LeavesTheSourceAloneAndKeepsItsSampleWhereTheProgramWouldGo) {
  // 60 blocks from 0x0180 cover 0x0200, the program's usual home.
  spc_builder song = song_with_second_sample();
  put_square(song, 0x0180, 30, true);
  song.dir_entry(7, 0x0180, 0x0180);
  const spc_format before = song.image();
  const std::unique_ptr<spc_format> image = make_audition_spc(song.image(), 7);
  ASSERT_TRUE(image);
  EXPECT_EQ(std::memcmp(&before, &song.image(), sizeof before), 0);

  EXPECT_EQ(std::memcmp(image->aram + 0x0180, before.aram + 0x0180, 60 * 9), 0);
  const aram_region directory = directory_region(before);
  EXPECT_EQ(std::memcmp(image->aram + directory.start, before.aram + directory.start,
                        directory.size), 0);
  const aram_region program{image->reg_pc, 8};
  EXPECT_FALSE(program.overlaps({0x0180, 60 * 9}));
  EXPECT_FALSE(program.overlaps(directory));

  const std::vector<double> x = mono(render_song(*image, 2.0));
  ASSERT_EQ(x.size(), at_second(2.0));
  EXPECT_GT(energy_share_at(x, at_second(1.0), at_second(1.0), 1000.0 / 30), 0.6);
}

TEST(audition, ChainThatNeverEndsLeavesNoRoomForTheProgram) {
  spc_builder song;
  song.dir_entry(0, 0x1000, 0x1000);  // all zero bytes: no end flag anywhere
  EXPECT_FALSE(make_audition_spc(song.image(), 0));
}

// Every listed entry of every real file: the audition image differs from
// the file's audio RAM only in the program and the two I/O registers, and
// the program lies off the directory and the entry's blocks.
TEST(audition, EveryEntryOfTheRealFilesKeepsItsSamplesAndDirectory) {
  const char* const names[] = {"sato_forest_01.spc", "osoumen_gtme.spc",
                               "osoumen_sound_of_mnemon.spc", "boldowa_minimal_empty_xid6.spc",
                               "boldowa_org_drv_misplaced_xid6.spc"};
  int auditioned = 0;
  for (const char* name : names) {
    const std::string path = corpus_file(name);
    if (path.empty()) continue;
    SCOPED_TRACE(name);
    const std::unique_ptr<spc_format> source = read_spc_from_file(path.c_str());
    ASSERT_TRUE(source);
    std::int32_t count = 0;
    std::unique_ptr<sample_chart[]> chart;
    generate_sample_chart(*source, count, chart);
    for (std::int32_t row = 0; row < count; ++row) {
      const int entry = chart[row].sample_number - 1;
      const std::unique_ptr<spc_format> image = make_audition_spc(*source, entry);
      if (!image) {
        EXPECT_GE(chart[row].sample_length + chart[row].loop_length, 64000)
            << "entry " << entry << " got no program though its chains leave room";
        continue;
      }
      ++auditioned;
      const aram_region program{image->reg_pc, 8};
      ASSERT_FALSE(program.overlaps(directory_region(*source))) << "entry " << entry;
      ASSERT_FALSE(program.overlaps(
          {chart[row].sample_address, static_cast<std::uint32_t>(chart[row].sample_length)}));
      for (std::uint32_t a = 0; a < 0x10000; ++a) {
        if (a == 0xF0 || a == 0xF1 || program.contains(a)) continue;
        ASSERT_EQ(image->aram[a], source->aram[a]) << "entry " << entry << ", byte " << a;
      }
    }
  }
  if (auditioned == 0) GTEST_SKIP() << "no real files: the corpus folder is absent";
}

}  // namespace
