// The command line run as a process, with DISPLAY unset: listing as text and
// JSON, exporting, exit statuses and messages.

#include <glib.h>
#include <gtest/gtest.h>
#include <json-glib/json-glib.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
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
  // --seconds: a millisecond to a day, and nothing else ("not given" is no value).
  temp_dir dir;
  const std::string a = small_image().write_to(dir.path(), "a.spc");
  for (const char* seconds : {"-1", "0", "0.0005", "nan", "inf", "86400.5", "5s", ""}) {
    const run_result r = quorlin({"--trace", "--seconds", seconds, a});
    EXPECT_EQ(r.status, 2) << "--seconds " << seconds;
    EXPECT_EQ(r.out, "") << "--seconds " << seconds;
  }
  EXPECT_EQ(quorlin({"--trace", "--seconds", "0.001", a}).status, 0);
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
        {"--trace", "--json"}, {"--trace", "--events", "all"}, {"--list", "--played"},
        {"--access", "--seconds", "10"}}) {
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
  // After the delay the program lowers the pitch: a change --events all adds.
  spc_builder sliding = keyed_image();
  sliding.aram(0x0400, {0xCD, 0x80, 0x1D, 0xD0, 0xFD,   // MOV X,#$80; wait: DEC X; BNE wait
                        0x8F, 0x03, 0xF2, 0x8F, 0x08, 0xF3,  // pitch high: 0x0800
                        0x2F, 0xFE});
  const std::string b = sliding.write_to(dir.path(), "b.spc");
  const run_result all = quorlin({"--trace", "--events", "all", "--seconds", "1", b});
  EXPECT_EQ(quorlin({"--trace", "--seconds", "1", b}).out, trace.out);
  const std::size_t change = all.out.rfind('\n', all.out.size() - 2);
  ASSERT_NE(change, std::string::npos) << all.out;
  EXPECT_EQ(all.out.substr(all.out.find('\t', change)), "\t0\tpitch\t\t\t\t\t800\t\t\t\t\t\n");
  EXPECT_EQ(quorlin({"--list", "--events", "all", a}).status, 2);
  EXPECT_EQ(quorlin({"--trace", "--events", "some", a}).status, 2);
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

// A tag claiming more than an hour is not believed: the default length,
// with a warning naming the file.
TEST(CliTest, ATagLongerThanAnHourIsFollowedForTheDefaultLengthWithAWarning) {
  temp_dir dir;
  spc_builder tagged = keyed_image();
  tagged.binary_tag("song", "game", "artist", 16777215, 10000);
  const std::string a = tagged.write_to(dir.path(), "a.spc");
  const run_result r = quorlin({"--list", "--played", a});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "quorlin: " + a + ": the tag claims 16777225 s, more than an hour: 180 s "
                   "followed instead\nquorlin: " + a + ": traced 180.0 s of the song (ended by "
                   "time), 1 key-ons\n");
}

TEST(CliTest, ARunThatWritesNothingMakesNoFolderAndANameTooLongStopsOnlyItsFiles) {
  temp_dir dir;
  const std::string out = dir.file("out/deeper");
  const std::string silent = small_image().write_to(dir.path(), "silent.spc");
  const run_result nothing = quorlin({"--export", out, "--played", "--seconds", "1", silent});
  EXPECT_FALSE(std::filesystem::exists(dir.file("out"))) << nothing.err;

  // 249 characters and "-01.wav" are more than a file name holds.
  const std::string long_stem(249, 'x');
  const std::string too_long = small_image().write_to(dir.path(), long_stem + ".spc");
  const std::string a = keyed_image().write_to(dir.path(), "a.spc");
  const run_result r = quorlin({"--export", out, "--instruments", too_long, a});
  EXPECT_EQ(r.status, 1);
  for (const char* name : {"-01.wav", "-01.brr", "-03.wav", "-03.brr"})
    EXPECT_NE(r.err.find("quorlin: Unable to write " + out + "/" + long_stem + name +
                         ": File name too long\n"),
              std::string::npos)
        << r.err;
  for (const char* name : {"a-01.wav", "a-03.brr", "a.sf2", "a-instruments.txt", "samples.tsv"})
    EXPECT_TRUE(std::filesystem::exists(out + "/" + name)) << name;
  std::ifstream in(out + "/samples.tsv");
  std::vector<std::string> written;  // the files holding each entry (the 10th field)
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string field;
    for (int i = 0; i < 10; ++i) std::getline(fields, field, '\t');
    written.push_back(field);
  }
  // The program's bytes at 0x0400 make entry 0x80 too.
  EXPECT_EQ(written, (std::vector<std::string>{"written", "-", "-", "a-01.wav a-01.brr",
                                               "a-03.wav a-03.brr", "a-81.wav a-81.brr"}));
}

}  // namespace

namespace {

int count_of(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(CliTest, MessagesSayWhatIsWrongAndKeepNamesOnOneLine) {
  temp_dir dir;
  const std::string song = small_image().write_to(dir.path(), "a.spc");
  std::ofstream(dir.file("short.spc")) << 'x';
  std::ofstream(dir.file("odd\tshort\n.spc")) << "SNES";
  std::ofstream(dir.file("afile")) << "not a folder";
  const std::string truncated =
      ": Unable to read SPC file: it is 1 byte long, and an SPC file is at least 66048 bytes\n";
  const struct {
    std::vector<std::string> args;
    std::string message;  // a whole line of standard error
  } cases[] = {
      {{"--list", dir.file("short.spc")}, "quorlin: " + dir.file("short.spc") + truncated},
      {{"--trace", dir.file("odd\tshort\n.spc")},
       "quorlin: " + dir.path() + "/odd\\tshort\\n.spc: Unable to read SPC file: it is 4 bytes "
                                  "long, and an SPC file is at least 66048 bytes\n"},
      {{"--list", dir.file("new\nline.spc")},
       "quorlin: " + dir.path() +
           "/new\\nline.spc: Unable to open file: No such file or directory\n"},
      {{"--stems", dir.file("afile"), "--seconds", "0.1", song},
       "quorlin: Unable to create folder " + dir.file("afile") +
           ": it exists and is not a folder\n"},
      {{"--export", dir.file("afile/sub"), song},
       "quorlin: Unable to create folder " + dir.file("afile/sub") + ": " + dir.file("afile") +
           " exists and is not a folder\n"},
  };
  for (const auto& c : cases) {
    const run_result r = quorlin(c.args);
    EXPECT_EQ(r.status, 1) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}

// As `quorlin --trace A B ... | head -1`; each file's song is followed for
// long enough (60 s, a few tenths of a second's work) that the run cannot
// race through them all before the reader has gone.
TEST(CliTest, AReaderThatGoesEndsTheRunAtOnceAndQuietly) {
  temp_dir dir;
  std::vector<std::string> files;
  for (int i = 0; i < 8; ++i)
    files.push_back(keyed_image().write_to(dir.path(), std::to_string(i) + ".spc"));
  for (std::vector<std::string> args :
       {std::vector<std::string>{"--trace"}, {"--list", "--played"}}) {
    SCOPED_TRACE(args[0]);
    args.insert(args.begin(), QUORLIN_BINARY);
    args.insert(args.end(), {"--seconds", "60"});
    args.insert(args.end(), files.begin(), files.end());
    const run_result r = run_until_first_line(args);
    EXPECT_FALSE(r.out.empty());
    EXPECT_EQ(r.signal, SIGPIPE) << "status " << r.status << ": " << r.err;
    EXPECT_EQ(r.err.find("error"), std::string::npos) << r.err;
    // Each file followed says so on standard error: the run stopped at the
    // first block written after the reader went, not after all of them.
    EXPECT_LT(count_of(r.err, ": traced 60.0 s"), int(files.size())) << r.err;
  }
}

TEST(CliTest, ExportWithInstrumentsTakesTheSamplesADriverListsAfterTheSnapshot) {
  // Every key-on of osoumen_gtme plays a sample the snapshot's table does
  // not list: its kit is of the samples as the song played them.
  const std::string gtme = corpus_file("osoumen_gtme.spc");
  if (gtme.empty()) GTEST_SKIP() << "SPC corpus not found (../shared/spc-corpus)";
  temp_dir dir;
  for (const bool played : {false, true}) {
    const std::string out = dir.file(played ? "played" : "all");
    std::vector<std::string> args = {"--export", out, "--instruments", gtme};
    if (played) args.push_back("--played");
    const run_result r = quorlin(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("no instrument kit written"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(out + "/osoumen_gtme.sf2"));
    EXPECT_TRUE(std::filesystem::exists(out + "/osoumen_gtme song 10.wav"));
  }
}

TEST(CliTest, KitLinesNameTheFilesWrittenWhateverTheSongsName) {
  temp_dir dir;
  const std::string song = keyed_image().write_to(dir.path(), "q\"uote\nnew\ttab.spc");
  const std::string out = dir.file("out");
  const run_result r = quorlin({"--export", out, "--instruments", song});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find(": written as \"q_uote_new_tab\", control characters and quotes "
                       "replaced by _\n"),
            std::string::npos)
      << r.err;
  const std::string sfz = file_text(out + "/q_uote_new_tab.sfz");
  const std::string amk = file_text(out + "/q_uote_new_tab-instruments.txt");
  EXPECT_TRUE(std::filesystem::exists(out + "/q_uote_new_tab.sf2"));
  EXPECT_NE(sfz.find("\nsample=q_uote_new_tab-03.wav\n"), std::string::npos) << sfz;
  EXPECT_TRUE(std::filesystem::exists(out + "/q_uote_new_tab-03.wav"));
  EXPECT_NE(amk.find("\n\t\"q_uote_new_tab-03.brr\" $"), std::string::npos) << amk;
  EXPECT_TRUE(std::filesystem::exists(out + "/q_uote_new_tab-03.brr"));

  // No kit quotes the names of a plain export: only control characters go.
  EXPECT_EQ(quorlin({"--export", dir.file("plain"), song}).status, 0);
  EXPECT_TRUE(std::filesystem::exists(dir.file("plain/q\"uote_new_tab-03.brr")));
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

namespace {

// A program that reads $3000 and writes $3100 in a loop at $0800, voice 0
// playing entry 2 (one block at $2000) while entry 0 ($1000) is never
// played, the directory at $0200 and a 2 KiB echo buffer at $8000 with echo
// writes off: --free lists what lies between, largest first.
TEST(CliTest, FreeListsWhatTheSongNeverTouches) {
  temp_dir dir;
  spc_builder b;
  b.aram(0x0800, {
      0xE5, 0x00, 0x30,  // 0800 MOV A,$3000
      0xC5, 0x00, 0x31,  // 0803 MOV $3100,A
      0x2F, 0xF8,        // 0806 BRA $0800
  }).cpu(0x0800);
  b.brr_chain(0x1000, 2).dir_entry(0, 0x1000, 0x1000);
  b.brr_chain(0x2000, 1).dir_entry(2, 0x2000, 0x2000);
  b.dsp(0x03, 0x10).dsp(0x04, 0x02).dsp(0x07, 0x7F).dsp(0x4C, 0x01);  // pitch, SRCN 2, GAIN, KON
  b.dsp(0x6D, 0x80).dsp(0x7D, 0x01).dsp(0x6C, 0x20);                  // ESA, EDL, FLG
  const std::string a = b.write_to(dir.path(), "a.spc");
  const std::string expected =
      "start\tend\tbytes\n"
      "8800\tFFFF\t30720\n3101\t7FFF\t20223\n0808\t1FFF\t6136\n2009\t2FFF\t4087\n"
      "0600\t07FF\t512\n0100\t01FF\t256\n3001\t30FF\t255\n0000\t00EF\t240\n";
  const run_result one = quorlin({"--free", "--seconds", "1", a});
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.out, expected);
  const run_result two = quorlin({"--free", "--seconds", "1", a, a});
  EXPECT_EQ(two.out, "==> " + a + " <==\n" + expected + "\n==> " + a + " <==\n" + expected);

  const run_result json = quorlin({"--free", "--json", "--seconds", "1", a});
  g_autoptr(JsonParser) parser = json_parser_new();
  ASSERT_TRUE(json_parser_load_from_data(parser, json.out.c_str(), -1, nullptr)) << json.out;
  JsonArray* ranges = json_object_get_array_member(
      json_array_get_object_element(
          json_object_get_array_member(json_node_get_object(json_parser_get_root(parser)), "files"),
          0),
      "free");
  ASSERT_EQ(json_array_get_length(ranges), 8u);
  JsonObject* largest = json_array_get_object_element(ranges, 0);
  EXPECT_EQ(json_object_get_int_member(largest, "start"), 0x8800);
  EXPECT_EQ(json_object_get_int_member(largest, "end"), 0xFFFF);
  EXPECT_EQ(json_object_get_int_member(largest, "bytes"), 30720);

  for (const std::vector<std::string>& usage :
       {std::vector<std::string>{"--free"}, {"--free", "--access", a}, {"--free", "--events", "all", a}}) {
    const run_result r = quorlin(usage);
    EXPECT_EQ(r.status, 2) << usage.back();
    EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
  }
}

// Parses --free's text into the set of free addresses.
std::vector<bool> free_addresses(const std::string& text) {
  std::vector<bool> free(0x10000, false);
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);  // header
  while (std::getline(lines, line)) {
    unsigned start = 0, end = 0, bytes = 0;
    if (std::sscanf(line.c_str(), "%x\t%x\t%u", &start, &end, &bytes) != 3) continue;
    EXPECT_EQ(bytes, end - start + 1) << line;
    for (unsigned a = start; a <= end && a < 0x10000; ++a) free[a] = true;
  }
  return free;
}

// No address --free calls free is one --access says the program touched.
TEST(CliTest, FreeAndAccessAgreeOnEveryCorpusFile) {
  bool any = false;
  for (const char* name : {"sato_forest_01.spc", "osoumen_gtme.spc", "osoumen_sound_of_mnemon.spc",
                           "boldowa_org_drv_misplaced_xid6.spc", "boldowa_minimal_empty_xid6.spc"}) {
    const std::string path = corpus_file(name);
    if (path.empty()) continue;
    any = true;
    const run_result access = quorlin({"--access", "--seconds", "20", path});
    const run_result free = quorlin({"--free", "--seconds", "20", path});
    ASSERT_EQ(access.status, 0) << access.err;
    ASSERT_EQ(free.status, 0) << free.err;
    const std::vector<bool> is_free = free_addresses(free.out);
    std::istringstream lines(access.out);
    std::string line;
    std::getline(lines, line);  // header
    int touched = 0;
    while (std::getline(lines, line)) {
      const unsigned address = std::stoul(line.substr(0, 4), nullptr, 16);
      EXPECT_FALSE(is_free[address]) << name << ": " << line;
      ++touched;
    }
    EXPECT_GT(touched, 0) << name;
  }
  if (!any) GTEST_SKIP() << "SPC corpus not found (../shared/spc-corpus)";
}

}  // namespace
