// The files samples go out as: WAV bytes and their smpl loop, BRR with and
// without the loop header, and the export run's manifest, names and care for
// files already there.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sample_export.h"
#include "publish_test_hooks.h"
#include "spc_builder.h"

namespace {

std::uint32_t u32_at(const std::vector<u8>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::vector<std::string> names_in(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Sample 1: three blocks, looping from the second; sample 2: one block, no
// loop.
spc_builder two_samples() {
  spc_builder b;
  b.brr_chain(0x1000, 3, 0x12).aram(0x1012, {0x03}).dir_entry(0, 0x1000, 0x1009);
  b.brr_chain(0x2000, 1, 0x34).dir_entry(1, 0x2000, 0x2000);
  return b;
}

TEST(WavFileTest, LoopingSampleGetsAnInclusiveSmplLoop) {
  const spc_builder b = two_samples();
  const brr_sample s = brr_decode_chain(b.image(), 0x1000, 0x1009);
  const looped_pcm played = playable_pcm(b.image(), s);
  ASSERT_EQ(played.loop_start, 16u);  // filter 0: every pass is the first
  ASSERT_EQ(played.pcm.size(), 48u);
  const auto wav = wav_file_bytes(played);
  ASSERT_EQ(wav.size(), 44u + 96 + 8 + 60);
  EXPECT_EQ(u32_at(wav, 4), wav.size() - 8);     // RIFF size
  EXPECT_EQ(u32_at(wav, 24), 32000u);
  EXPECT_EQ(wav[44] | wav[45] << 8, static_cast<std::uint16_t>(s.pcm[0]));
  const std::size_t smpl = 44 + 96;
  EXPECT_EQ(std::string(wav.begin() + smpl, wav.begin() + smpl + 4), "smpl");
  EXPECT_EQ(u32_at(wav, smpl + 8 + 8), 31250u);   // sample period, ns
  EXPECT_EQ(u32_at(wav, smpl + 8 + 44), 16u);     // dwStart
  EXPECT_EQ(u32_at(wav, smpl + 8 + 48), 47u);     // dwEnd: the last sample, not one past
}

TEST(WavFileTest, LoopHoldsThePassThatRepeatsAndPlainSamplesHaveNoSmpl) {
  // The loop block predicts from what came before it, so its passes differ
  // until the decay settles.
  spc_builder b;
  b.aram(0x1000, {0xC0, 0, 0, 0, 0, 0, 0, 0, 0x07}).aram(0x1009, {0xC7, 0x10});
  const brr_sample s = brr_decode_chain(b.image(), 0x1000, 0x1009);
  const looped_pcm played = playable_pcm(b.image(), s);
  ASSERT_TRUE(played.loop_start);
  EXPECT_GT(played.pcm.size(), 32u);
  EXPECT_EQ(played.pcm.size() - *played.loop_start, 16u);
  // Played once more from its own end, the loop comes out the same.
  brr_history h{played.pcm.back() / 2, played.pcm[played.pcm.size() - 2] / 2};
  const auto again = brr_decode_loop_pass(b.image(), s, h);
  EXPECT_TRUE(std::equal(again.begin(), again.end(), played.pcm.begin() + *played.loop_start));

  const auto plain = wav_file_bytes(playable_pcm(b.image(), brr_decode_chain(b.image(), 0x1009, 0)));
  EXPECT_EQ(plain.size(), 44u + 32);  // the end block has the loop flag but 0 is not in the chain
}

TEST(BrrFileTest, RawChainOrLoopOffsetFirst) {
  const spc_builder b = two_samples();
  const brr_sample looping = brr_decode_chain(b.image(), 0x1000, 0x1009);
  EXPECT_EQ(brr_file_bytes(b.image(), looping, false).size(), 27u);
  const auto headed = brr_file_bytes(b.image(), looping, true);
  ASSERT_EQ(headed.size(), 29u);
  EXPECT_EQ(headed[0] | headed[1] << 8, 9);  // from the first byte of the chain
  EXPECT_EQ(headed[2 + 18], 0x03);
  const auto plain = brr_file_bytes(b.image(), brr_decode_chain(b.image(), 0x2000, 0x2000), true);
  EXPECT_EQ(plain[0] | plain[1] << 8, 9);  // not looping: its size
}

TEST(SampleExportTest, WritesNamedFilesAndAManifest) {
  temp_dir dir;
  spc_builder b = two_samples();
  b.dir_entry(2, 0x1000, 0x1009).dir_entry(3, 0x0100, 0x0100).dsp(0x04, 2).dsp(0x6C, 0x20);
  b.aram(0x0100, {0x00}).brr_chain(0x0109, 1);  // entry 4 starts in the stack page
  const std::string out = dir.file("out");
  const export_result r = export_samples(b.image(), "/some/where/song.spc", {}, out, {});
  ASSERT_TRUE(r.ok) << r.failure;
  EXPECT_EQ(r.samples_written, 4);
  EXPECT_EQ(r.summary(), "4 samples written to " + out);
  EXPECT_EQ(names_in(out), (std::vector<std::string>{
                               "samples.tsv", "song-01.brr", "song-01.wav", "song-02.brr",
                               "song-02.wav", "song-03.brr", "song-03.wav", "song-04.brr",
                               "song-04.wav"}));
  const std::string manifest = file_text(out + "/samples.tsv");
  EXPECT_NE(manifest.find("/some/where/song.spc\t3\t02\t1000\t1009\t3\t16\t0\t-\t"
                          "song-03.wav song-03.brr\n"), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("\t4\t03\t100\t100\t2\t-\t-\tstarts below 0x0200\t"), std::string::npos);

  // Unique: sample 3 repeats sample 1's bytes and loop, and points at its files.
  const std::string once = dir.file("once");
  ASSERT_TRUE(export_samples(b.image(), "song.spc", {1, 2, 3}, once, {.unique = true}).ok);
  EXPECT_EQ(names_in(once).size(), 5u);
  EXPECT_NE(file_text(once + "/samples.tsv").find("\t3\t02\t1000\t1009\t3\t16\t0\t-\t"
                                                  "song-01.wav song-01.brr\n"), std::string::npos);

  // The last entry is sample 100: its number keeps all three digits.
  b.dir_entry(255, 0x1000, 0x1000);
  const std::string last = dir.file("last");
  ASSERT_TRUE(export_samples(b.image(), "song.spc", {256}, last, {}).ok);
  EXPECT_EQ(names_in(last), (std::vector<std::string>{"samples.tsv", "song-100.brr", "song-100.wav"}));
}

TEST(SampleExportTest, LeavesOutChainsWithoutAnEnd) {
  // Chains wrap and visit every address: only an ARAM without an odd byte
  // holds one that never ends.
  temp_dir dir;
  const export_result r =
      export_samples(spc_builder().dir_entry(5, 0x5000, 0x5000).image(), "x.spc", {}, dir.path(), {});
  EXPECT_EQ(r.summary(), "0 samples written to " + dir.path() + "; 1 without an end flag left out");
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"samples.tsv"});
  EXPECT_NE(file_text(dir.file("samples.tsv")).find("\t65536\t-\t-\tno end flag, "), std::string::npos);
}

TEST(SampleExportTest, NeverOverwritesUnlessForcedAndNamesWhatFailed) {
  temp_dir dir;
  const spc_builder b = two_samples();
  std::ofstream(dir.file("song-02.brr")) << "mine";
  const export_result refused = export_samples(b.image(), "song.spc", {}, dir.path(), {});
  EXPECT_FALSE(refused.ok);
  EXPECT_NE(refused.summary().find(dir.file("song-02.brr") + " already exists"), std::string::npos);
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"song-02.brr"});
  EXPECT_EQ(file_text(dir.file("song-02.brr")), "mine");

  const export_result forced =
      export_samples(b.image(), "song.spc", {}, dir.path(), {.force = true});
  ASSERT_TRUE(forced.ok) << forced.failure;
  EXPECT_EQ(file_text(dir.file("song-02.brr")).size(), 9u);

  // A target that can't be replaced (a folder in its place) is named, the
  // other files are still written, and no temporary file is left beside it.
  std::filesystem::remove(dir.file("song-02.wav"));
  std::filesystem::create_directory(dir.file("song-02.wav"));
  const export_result failed =
      export_samples(b.image(), "song.spc", {}, dir.path(), {.force = true});
  EXPECT_EQ(failed.files_failed,
            std::vector<std::string>{"Unable to write " + dir.file("song-02.wav") + ": Is a directory"});
  EXPECT_NE(failed.summary().find(failed.files_failed[0]), std::string::npos) << failed.summary();
  EXPECT_EQ(failed.files_written, 3);
  for (const std::string& name : names_in(dir.path())) EXPECT_NE(name[0], '.') << name;

  const export_result no_folder =
      export_samples(b.image(), "song.spc", {}, dir.file("song-02.brr") + "/sub", {});
  EXPECT_FALSE(no_folder.ok);
  EXPECT_NE(no_folder.summary().find("Unable to create folder"), std::string::npos);
}

// The file systems that refuse RENAME_NOREPLACE, each as it says so.
int refused_with(int error) {
  errno = error;
  return -1;
}
int fat_like(const char*, const char*) { return refused_with(EPERM); }
int flag_unknown(const char*, const char*) { return refused_with(EINVAL); }
int no_such_call(const char*, const char*) { return refused_with(ENOSYS); }

TEST(PublishTest, EveryWayPublishesAFreeNameAndNoneReplacesATakenOne) {
  for (const rename_noreplace_call call : {rename_noreplace_call{}, &fat_like, &flag_unknown,
                                           &no_such_call}) {
    temp_dir dir;
    std::ofstream(dir.file(".new")) << "new";
    std::ofstream(dir.file("taken")) << "mine";
    EXPECT_EQ(publish_temporary_file(dir.file(".new"), dir.file("taken"), false, call), EEXIST);
    EXPECT_EQ(file_text(dir.file("taken")), "mine");
    bool was_free = false;
    EXPECT_EQ(publish_temporary_file(dir.file(".new"), dir.file("free"), true, call, &was_free), 0);
    EXPECT_TRUE(was_free) << "even with --force, a new name is the run's own";
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"free", "taken"}));
    EXPECT_EQ(file_text(dir.file("free")), "new");
    std::ofstream(dir.file(".new")) << "newer";
    EXPECT_EQ(publish_temporary_file(dir.file(".new"), dir.file("taken"), true, call, &was_free), 0);  // --force
    EXPECT_FALSE(was_free);
    EXPECT_EQ(file_text(dir.file("taken")), "newer");
  }
}

TEST(PublishTest, ExportOnAFatLikeDiskWritesEverythingAndRefusesWhatIsInTheWay) {
  export_options on_fat;
  on_fat.publishing.rename_noreplace = &fat_like;
  temp_dir dir;
  const spc_builder b = two_samples();
  const export_result r = export_samples(b.image(), "song.spc", {}, dir.path(), on_fat);
  ASSERT_TRUE(r.ok) << r.failure;
  EXPECT_EQ(names_in(dir.path()).size(), 5u);
  // Found only when publishing (no check before): nothing replaced, and no
  // manifest names a file the run did not write.
  temp_dir later;
  std::ofstream(later.file("b-01.wav")) << "mine";
  sample_export run(on_fat, later.path());
  EXPECT_TRUE(run.add_image(b.image(), "a.spc"));
  EXPECT_FALSE(run.add_image(b.image(), "b.spc"));
  const export_result failed = run.finish();
  EXPECT_TRUE(failed.target_existed);
  EXPECT_EQ(failed.failure, later.file("b-01.wav") + " already exists: nothing more was written");
  EXPECT_EQ(names_in(later.path()),
            (std::vector<std::string>{"a-01.brr", "a-01.wav", "a-02.brr", "a-02.wav", "b-01.wav"}));
  EXPECT_EQ(file_text(later.file("b-01.wav")), "mine");
}

TEST(SampleExportNamesTest, LongestNamesFitAndSameStemsGetNumbers) {
  temp_dir dir;
  const spc_builder b = two_samples();
  // 244 + "-01.wav" is 251 bytes: room for the name, none for a longer
  // temporary one.
  const std::string stem(244, 's');
  const export_result longest = export_samples(b.image(), "/x/" + stem + ".spc", {1}, dir.path(), {});
  ASSERT_TRUE(longest.ok) << longest.failure;
  EXPECT_EQ(names_in(dir.path()),
            (std::vector<std::string>{"samples.tsv", stem + "-01.brr", stem + "-01.wav"}));

  // In the order added; letter case aside, as FAT sees names.
  temp_dir same;
  sample_export run({}, same.path());
  std::vector<std::string> stems;
  for (const char* path : {"gameA/01.spc", "gameB/01.spc", "gameC/01 (2).spc", "Song.spc",
                           "song.spc"}) {
    ASSERT_TRUE(run.add_image(b.image(), path, {2}));
    stems.push_back(run.stem_given());
  }
  ASSERT_TRUE(run.finish().ok);
  EXPECT_EQ(stems, (std::vector<std::string>{"01", "01 (2)", "01 (2) (2)", "Song", "song (2)"}));
  const std::string manifest = file_text(same.file("samples.tsv"));
  EXPECT_NE(manifest.find("\ngameB/01.spc\t2\t01\t2000\t2000\t1\t-\t-\t-\t"
                          "01 (2)-02.wav 01 (2)-02.brr\n"), std::string::npos) << manifest;
}

TEST(SampleExportNamesTest, ManifestEscapesTabsAndLineBreaksInNames) {
  temp_dir dir;
  const export_result r =
      export_samples(two_samples().image(), "a\tb\\c\nd.spc", {2}, dir.path(), {});
  ASSERT_TRUE(r.ok) << r.failure;
  const std::string manifest = file_text(dir.file("samples.tsv"));
  EXPECT_NE(manifest.find("\na\\tb\\\\c\\nd.spc\t2\t"), std::string::npos) << manifest;
  // The files' own names have the control characters replaced.
  EXPECT_NE(manifest.find("\ta_b\\\\c_d-02.wav a_b\\\\c_d-02.brr\n"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir.file("a_b\\c_d-02.wav")));
  EXPECT_EQ(std::count(manifest.begin(), manifest.end(), '\n'), 2);
}

}  // namespace
