// The command line run as a process, with DISPLAY unset: listing as text and
// JSON, exporting, exit statuses and messages.

#include <glib.h>
#include <gtest/gtest.h>
#include <json-glib/json-glib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "command_run.h"
#include "spc_builder.h"

namespace {

run_result quorlin(std::vector<std::string> args, const char* cwd = nullptr) {
  args.insert(args.begin(), QUORLIN_BINARY);
  return run_without_display(std::move(args), cwd);
}

// Its standard output on a full disk.
run_result quorlin_into_dev_full(std::vector<std::string> args) {
  args.insert(args.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" >/dev/full", QUORLIN_BINARY});
  return run_without_display(std::move(args));
}

// Entries 1 and 3: one looping two-block sample and one single block.
spc_builder small_image() {
  spc_builder b;
  b.brr_chain(0x1000, 2).aram(0x1009, {0x03}).dir_entry(0, 0x1000, 0x1009);
  b.brr_chain(0x2000, 1).dir_entry(2, 0x2000, 0x2000);
  return b;
}

const char* const table_text =
    "Sample #\tStart Address\tLoop Address\tSample Length\tLoop Length\n"
    "1\t1000\t1009\t12\t9\n"
    "3\t2000\t2000\t9\t9\n";

TEST(CliTest, ListPrintsTheTableAndHeadStyleBlocks) {
  temp_dir dir;
  const std::string a = small_image().write_to(dir.path(), "a.spc");
  run_result one = quorlin({"--list", a});
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.out, table_text);

  const std::string b = small_image().write_to(dir.path(), "b.spc");
  run_result several = quorlin({"--list", a, dir.file("missing.spc"), b});
  EXPECT_EQ(several.status, 1);
  EXPECT_EQ(several.out, "==> " + a + " <==\n" + table_text + "\n==> " + b + " <==\n" + table_text);
  EXPECT_EQ(several.err, "quorlin: " + dir.file("missing.spc") +
                             ": Unable to open file: No such file or directory\n");
}

TEST(CliTest, JsonListParsesWithDecimalNumbersAndErrors) {
  temp_dir dir;
  spc_builder tagged = small_image();
  tagged.text_tag("Song", "Game", "Artist", "65", "2500");
  const std::string a = tagged.write_to(dir.path(), "a.spc");
  std::filesystem::create_directory(dir.file("folder.spc"));
  run_result r = quorlin({"--list", "--json", a, dir.file("folder.spc")});
  EXPECT_EQ(r.status, 1);
  g_autoptr(JsonParser) parser = json_parser_new();
  ASSERT_TRUE(json_parser_load_from_data(parser, r.out.c_str(), -1, nullptr)) << r.out;
  JsonArray* files = json_object_get_array_member(
      json_node_get_object(json_parser_get_root(parser)), "files");
  ASSERT_EQ(json_array_get_length(files), 2u);
  JsonObject* file = json_array_get_object_element(files, 0);
  EXPECT_EQ(json_object_get_int_member(file, "directory"), 0x200);
  EXPECT_EQ(json_object_get_int_member(json_object_get_object_member(file, "tag"), "fade_ms"), 2500);
  JsonArray* samples = json_object_get_array_member(file, "samples");
  ASSERT_EQ(json_array_get_length(samples), 2u);
  JsonObject* first = json_array_get_object_element(samples, 0);
  EXPECT_EQ(json_object_get_int_member(first, "start"), 4096);
  EXPECT_EQ(json_object_get_int_member(first, "loop_sample"), 16);
  JsonObject* second = json_array_get_object_element(samples, 1);
  EXPECT_EQ(json_object_get_int_member(second, "srcn"), 2);
  EXPECT_TRUE(json_node_is_null(json_object_get_member(second, "loop_sample")));
  JsonObject* failed = json_array_get_object_element(files, 1);
  EXPECT_STREQ(json_object_get_string_member(failed, "error"),
               "Unable to read SPC file: Is a directory");

  run_result untagged = quorlin({"--list", "--json", small_image().write_to(dir.path(), "u.spc")});
  EXPECT_NE(untagged.out.find("\"tag\":null"), std::string::npos) << untagged.out;
}

TEST(CliTest, UsageErrorsExitTwoAndHelpListsTheOptions) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--json", "x.spc"},
                                               {"--list"}, {"--bogus"}, {"--force", "x.spc"}}) {
    const run_result r = quorlin(args);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
  }
  const run_result help = quorlin({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--export=DIR"), std::string::npos);
}

TEST(CliTest, ExportGoesOnPastABadFileAndNamesAFileInTheWay) {
  temp_dir dir;
  const std::string a = small_image().write_to(dir.path(), "a.spc");
  const std::string out = dir.file("out/deeper");
  run_result first = quorlin({"--export", out, "--loop-header", a, dir.file("missing.spc")});
  EXPECT_EQ(first.status, 1);  // the missing file; a.spc's samples are still written
  EXPECT_EQ(first.out, "2 samples written to " + out + "\n");
  EXPECT_NE(first.err.find(dir.file("missing.spc")), std::string::npos);
  EXPECT_EQ(std::filesystem::file_size(out + "/a-01.brr"), 2u + 18);

  run_result again = quorlin({"--export", out, a});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.err, "quorlin: " + out + "/a-01.wav already exists: nothing was written "
                       "(--force replaces it)\n");
  EXPECT_EQ(quorlin({"--export", out, "--force", a}).status, 0);
}

TEST(CliTest, EveryCorpusFileListsAndExports) {
  std::vector<std::string> files;
  for (const char* name : {"sato_forest_01.spc", "osoumen_gtme.spc", "osoumen_sound_of_mnemon.spc",
                           "boldowa_org_drv_misplaced_xid6.spc", "boldowa_minimal_empty_xid6.spc"}) {
    files.push_back(corpus_file(name));
    if (files.back().empty()) GTEST_SKIP() << "SPC corpus not found (../shared/spc-corpus)";
  }
  temp_dir dir;
  for (std::vector<std::string> args :
       {std::vector<std::string>{"--list"}, {"--list", "--json"}, {"--export", dir.path()},
        {"--trace", "--json"}, {"--list", "--played"}, {"--access", "--seconds", "10"}}) {
    args.insert(args.end(), files.begin(), files.end());
    const run_result r = quorlin(args);
    EXPECT_EQ(r.status, 0) << args[0] << " " << args[1] << ": " << r.err;
  }
  EXPECT_TRUE(std::filesystem::exists(dir.file("samples.tsv")));
}

// small_image whose snapshot still has voice 0 to key on, with entry 3.
spc_builder keyed_image() {
  spc_builder b = small_image();
  b.aram(0x0400, {0x2F, 0xFE}).cpu(0x0400);                           // BRA *
  b.dsp(0x00, 0x40).dsp(0x01, 0xC0).dsp(0x03, 0x10).dsp(0x04, 0x02);  // volumes, pitch, SRCN 2
  b.dsp(0x07, 0x7F).dsp(0x4C, 0x01);                                  // GAIN, KON
  return b;
}

TEST(CliTest, TraceAndPlayedFollowTheSong) {
  temp_dir dir;
  const std::string a = keyed_image().write_to(dir.path(), "a.spc");
  const run_result trace = quorlin({"--trace", "--seconds", "1", a});
  EXPECT_EQ(trace.status, 0) << trace.err;
  EXPECT_EQ(trace.out,
            "seconds\tvoice\tevent\tsrcn\tsample\tstart\tloop\tpitch\tvolume_left\t"
            "volume_right\tadsr1\tadsr2\tgain\n"
            "0.000031\t0\ton\t02\t3\t2000\t2000\t1000\t64\t-64\t00\t00\t7F\n");
  EXPECT_EQ(trace.err, "quorlin: " + a + ": traced 1.0 s of the song (ended by time), 1 key-ons\n");

  const run_result played = quorlin({"--list", "--played", "--seconds", "1", a});
  EXPECT_EQ(played.out, "Sample #\tStart Address\tLoop Address\tSample Length\tLoop Length\n"
                        "3\t2000\t2000\t9\t9\n");
  EXPECT_EQ(quorlin({"--export", dir.file("out"), "--played", "--seconds", "1", a}).status, 0);
  EXPECT_TRUE(std::filesystem::exists(dir.file("out/a-03.wav")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("out/a-01.wav")));

  const run_result json = quorlin({"--list", "--json", "--seconds", "1", a});
  g_autoptr(JsonParser) parser = json_parser_new();
  ASSERT_TRUE(json_parser_load_from_data(parser, json.out.c_str(), -1, nullptr)) << json.out;
  JsonObject* file = json_array_get_object_element(
      json_object_get_array_member(json_node_get_object(json_parser_get_root(parser)), "files"), 0);
  JsonObject* traced = json_object_get_object_member(file, "trace");
  EXPECT_EQ(json_object_get_int_member(traced, "key_ons"), 1);
  EXPECT_STREQ(json_object_get_string_member(traced, "ended"), "time");
  JsonArray* samples = json_object_get_array_member(file, "samples");
  EXPECT_TRUE(json_object_get_null_member(json_array_get_object_element(samples, 0), "played"));
  JsonObject* third = json_object_get_object_member(json_array_get_object_element(samples, 1),
                                                    "played");
  EXPECT_EQ(json_object_get_int_member(third, "key_ons"), 1);
  EXPECT_EQ(json_array_get_length(json_object_get_array_member(third, "pitches")), 1u);

  EXPECT_EQ(quorlin({"--list", "--seconds", "1", a}).status, 2);  // --seconds needs the song
}

TEST(CliTest, OddNamesStayOneLineAndJsonKeepsTheirBytes) {
  temp_dir dir;
  small_image().write_to(dir.path(), "-odd.spc");
  const run_result odd = quorlin({"--list", "--", "-odd.spc"}, dir.path().c_str());
  EXPECT_EQ(odd.status, 0) << odd.err;
  EXPECT_EQ(odd.out, table_text);
  const std::string tabbed = small_image().write_to(dir.path(), "a\tb\nc\\d.spc");
  const run_result both = quorlin({"--list", tabbed, "--", "-odd.spc"}, dir.path().c_str());
  EXPECT_EQ(both.status, 0) << both.err;
  EXPECT_EQ(both.out, "==> " + dir.path() + "/a\\tb\\nc\\\\d.spc <==\n" + table_text +
                          "\n==> -odd.spc <==\n" + table_text);

  const std::string latin1 = small_image().write_to(dir.path(), "caf\xe9.spc");
  const std::string utf8 = small_image().write_to(dir.path(), "caf\xc3\xa9.spc");
  const run_result r = quorlin({"--list", "--json", latin1, utf8});
  EXPECT_EQ(r.status, 0) << r.err;
  g_autoptr(JsonParser) parser = json_parser_new();
  ASSERT_TRUE(json_parser_load_from_data(parser, r.out.c_str(), -1, nullptr)) << r.out;
  JsonArray* files = json_object_get_array_member(
      json_node_get_object(json_parser_get_root(parser)), "files");
  JsonObject* shown = json_array_get_object_element(files, 0);
  EXPECT_TRUE(g_utf8_validate(json_object_get_string_member(shown, "path"), -1, nullptr));
  g_autofree char* back =
      g_filename_from_uri(json_object_get_string_member(shown, "uri"), nullptr, nullptr);
  EXPECT_STREQ(back, latin1.c_str());
  JsonObject* kept = json_array_get_object_element(files, 1);
  EXPECT_EQ(json_object_get_string_member(kept, "path"), utf8);
  EXPECT_FALSE(json_object_has_member(kept, "uri"));
}

TEST(CliTest, AWriteErrorOnStandardOutputFailsTheRun) {
  temp_dir dir;
  const std::string a = small_image().write_to(dir.path(), "a.spc");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--list", a}, {"--list", "--json", a},
        {"--export", dir.file("out"), a}}) {
    const run_result r = quorlin_into_dev_full(args);
    EXPECT_EQ(r.status, 1) << args[0] << " " << args[1];
    EXPECT_TRUE(r.err.ends_with("quorlin: write error: No space left on device\n")) << r.err;
  }
}

TEST(CliTest, ExportNamesSameStemsApartAndMakesNothingWhenNothingCanBeWritten) {
  temp_dir dir;
  const std::string out = dir.file("out");
  const run_result unreadable = quorlin({"--export", out, dir.file("missing.spc")});
  EXPECT_EQ(unreadable.status, 1);
  EXPECT_FALSE(std::filesystem::exists(out));

  std::filesystem::create_directory(dir.file("gameA"));
  std::filesystem::create_directory(dir.file("gameB"));
  const std::string a = small_image().write_to(dir.file("gameA"), "01.spc");
  const std::string b = small_image().write_to(dir.file("gameB"), "01.spc");
  const run_result r = quorlin({"--export", out, a, b});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "4 samples written to " + out + "\n");
  EXPECT_EQ(r.err, "quorlin: " + b + ": written as \"01 (2)\", an earlier file having its name\n");
  EXPECT_TRUE(std::filesystem::exists(out + "/01 (2)-03.brr"));
  std::ifstream in(out + "/samples.tsv");
  std::vector<std::string> firsts;
  for (std::string line; std::getline(in, line);) firsts.push_back(line.substr(0, line.find('\t')));
  EXPECT_EQ(firsts, (std::vector<std::string>{"file", a, a, b, b}));
}

// --access counts what a hand-made program does, byte by byte: a countdown
// loop run five times, a load, a store to an I/O register, STOP. Dummy reads
// (MOV d,#i's and MOV d,A's of their destination, STOP's of the next byte)
// don't count.
TEST(CliTest, AccessCountsEveryExecuteReadAndWrite) {
  temp_dir dir;
  spc_builder b;
  b.aram(0x0400, {
      0x8F, 0x05, 0x10,  // 0400 MOV $10,#$05
      0x8B, 0x10,        // 0403 DEC $10
      0xD0, 0xFC,        // 0405 BNE $0403
      0xE5, 0x00, 0x20,  // 0407 MOV A,$2000
      0xC4, 0xF2,        // 040A MOV $F2,A
      0xFF,              // 040C STOP
  }).cpu(0x0400);
  const std::string a = b.write_to(dir.path(), "a.spc");
  const std::string expected =
      "address\treads\twrites\texecutes\n"
      "0010\t5\t6\t0\n00F2\t0\t1\t0\n"
      "0400\t0\t0\t1\n0401\t0\t0\t1\n0402\t0\t0\t1\n"
      "0403\t0\t0\t5\n0404\t0\t0\t5\n0405\t0\t0\t5\n0406\t0\t0\t5\n"
      "0407\t0\t0\t1\n0408\t0\t0\t1\n0409\t0\t0\t1\n040A\t0\t0\t1\n040B\t0\t0\t1\n"
      "040C\t0\t0\t1\n2000\t1\t0\t0\n";
  const run_result one = quorlin({"--access", a});
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.out, expected);
  EXPECT_EQ(one.err, "quorlin: " + a + ": traced 0.0 s of the song (ended by stop), 0 key-ons\n");

  const std::string missing = dir.file("missing.spc");
  const run_result two = quorlin({"--access", "--seconds", "1", a, missing, a});
  EXPECT_EQ(two.status, 1);
  EXPECT_EQ(two.out, "==> " + a + " <==\n" + expected + "\n==> " + a + " <==\n" + expected);
  EXPECT_NE(two.err.find("quorlin: " + missing + ": "), std::string::npos) << two.err;

  const run_result json = quorlin({"--access", "--json", a});
  g_autoptr(JsonParser) parser = json_parser_new();
  ASSERT_TRUE(json_parser_load_from_data(parser, json.out.c_str(), -1, nullptr)) << json.out;
  JsonObject* file = json_array_get_object_element(
      json_object_get_array_member(json_node_get_object(json_parser_get_root(parser)), "files"), 0);
  JsonArray* access = json_object_get_array_member(file, "access");
  ASSERT_EQ(json_array_get_length(access), 16u);
  JsonObject* counter = json_array_get_object_element(access, 0);
  EXPECT_EQ(json_object_get_int_member(counter, "address"), 0x10);
  EXPECT_EQ(json_object_get_int_member(counter, "reads"), 5);
  EXPECT_EQ(json_object_get_int_member(counter, "writes"), 6);
  EXPECT_EQ(json_object_get_int_member(counter, "executes"), 0);

  for (const std::vector<std::string>& usage :
       {std::vector<std::string>{"--access"}, {"--access", "--trace", a}}) {
    const run_result r = quorlin(usage);
    EXPECT_EQ(r.status, 2) << usage.back();
    EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
  }
}

}  // namespace
