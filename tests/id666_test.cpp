// The ID666 tag: presence, text and binary forms, display texts.

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <string>

#include "id666.h"
#include "spc_builder.h"

namespace {

TEST(Id666Test, MarkersZeroAndTwentySevenMeanNoTag) {
  for (u8 marker : {0, 27}) {
    spc_builder builder;
    builder.text_tag("Song", "Game", "Artist", "180").tag_marker(marker);
    EXPECT_EQ(id666_detect_form(builder.image()), id666_form::none) << int(marker);
    EXPECT_EQ(id666_game_title(builder.image()), "");
    EXPECT_EQ(id666_song_seconds(builder.image()), 0);
  }
  spc_builder other;
  other.text_tag("Song", "Game", "Artist", "180").tag_marker(1);
  EXPECT_EQ(id666_detect_form(other.image()), id666_form::text);
}

TEST(Id666Test, TextTagFields) {
  spc_builder builder;
  builder.text_tag("Song   ", "Game", "Artist  ", "065", "10000");
  const auto& spc = builder.image();
  EXPECT_EQ(id666_detect_form(spc), id666_form::text);
  EXPECT_EQ(id666_song_title(spc), "Song");
  EXPECT_EQ(id666_game_title(spc), "Game");
  EXPECT_EQ(id666_artist_name(spc), "Artist");
  EXPECT_EQ(id666_song_seconds(spc), 65);
  EXPECT_EQ(id666_fade_msec(spc), 10000);
  EXPECT_EQ(id666_song_length_text(spc), "1:05");
}

TEST(Id666Test, SongLengthTextFollowsStrtol) {
  struct expectation {
    const char* field;
    const char* text;
  };
  for (const auto& [field, text] : {expectation{"180", "3:00"}, expectation{"5", "0:05"},
                                    expectation{"999", "16:39"}, expectation{"-5", "0:-5"},
                                    expectation{"", "0:00"},
                                    expectation{"7.", "0:07"}}) {
    spc_builder builder;
    builder.text_tag("", "", "", field);
    EXPECT_EQ(id666_song_length_text(builder.image()), text) << field;
  }
  // Letters in the length field cannot be a text tag: the tag is read as binary.
  spc_builder letters;
  letters.text_tag("", "", "", "abc");
  EXPECT_EQ(id666_detect_form(letters.image()), id666_form::binary);
}

TEST(Id666Test, FullWidthTitleStopsAtItsField) {
  spc_builder builder;
  builder.text_tag("", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", "", "1");
  auto image = builder.image();
  std::memcpy(image.id666_dumper_name, "dumper", 6);  // follows the game title
  EXPECT_EQ(id666_game_title(image), "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
}

TEST(Id666Test, BinaryTagFields) {
  spc_builder builder;
  builder.binary_tag("Forest", "Message", "Yoshiaki Sato", 258, 18300);
  const auto& spc = builder.image();
  EXPECT_EQ(id666_detect_form(spc), id666_form::binary);
  EXPECT_EQ(id666_artist_name(spc), "Yoshiaki Sato");
  EXPECT_EQ(id666_song_seconds(spc), 258);
  EXPECT_EQ(id666_fade_msec(spc), 18300);
  EXPECT_EQ(id666_song_length_text(spc), "4:18");
}

TEST(Id666Test, NonUtf8TextsAreConverted) {
  // "ゼルダ" in Shift-JIS.
  EXPECT_EQ(id666_text_to_utf8("\x83\x5B\x83\x8B\x83\x5F", 6), "ゼルダ");
  // Not Shift-JIS (0xE9 followed by a space): Windows-1252.
  EXPECT_EQ(id666_text_to_utf8("Caf\xE9 ", 5), "Café ");
  EXPECT_EQ(id666_text_to_utf8("\x80\x81", 2), "€\xEF\xBF\xBD");
  EXPECT_EQ(id666_text_to_utf8("ok ✓", std::strlen("ok ✓")), "ok ✓");
  // An overlong encoding is not valid UTF-8.
  EXPECT_NE(id666_text_to_utf8("\xC0\xAF", 2), "\xC0\xAF");
}

// `utf8` written in another character set, as an old dumping tool would.
std::string encoded(const char* charset, const std::string& utf8) {
  const iconv_t cd = iconv_open(charset, "UTF-8");
  std::string in = utf8, out(utf8.size() * 2 + 8, '\0');
  char* in_at = in.data();
  char* out_at = out.data();
  std::size_t in_left = in.size(), out_left = out.size();
  const std::size_t result = iconv(cd, &in_at, &in_left, &out_at, &out_left);
  iconv_close(cd);
  EXPECT_NE(result, static_cast<std::size_t>(-1)) << utf8 << " in " << charset;
  out.resize(out.size() - out_left);
  return out;
}

std::string read_back(const std::string& bytes) { return id666_text_to_utf8(bytes.data(), bytes.size()); }

// Many accented Windows-1252 letters followed by an ASCII letter also form a
// valid Shift-JIS pair; such titles must not turn into kanji or boxes.
TEST(Id666Test, LatinTitlesAreNotMisreadAsShiftJis) {
  for (const char* title : {"Orsök", "Agustín", "Pokémon", "Café", "Über Alles", "Fräulein",
                            "Señor Björk", "Zoë", "Mötley Crüe", "Œuvre", "Ça va"})
    EXPECT_EQ(read_back(encoded("WINDOWS-1252", title)), title);
}

TEST(Id666Test, JapaneseTitlesStayJapanese) {
  for (const char* title : {"ゼルダの伝説", "星のカービィ スーパーデラックス", "ＦＦ６ オープニング",
                            "Dr.マリオ", "ﾄﾞﾗｺﾞﾝｸｴｽﾄ", "ステージ１２", "MOTHER2 ギーグの逆襲",
                            "聖剣伝説2", "戦闘 BGM"})
    EXPECT_EQ(read_back(encoded("CP932", title)), title);
}

TEST(Id666CorpusTest, RealTags) {
  const std::string binary = corpus_file("sato_forest_01.spc");
  const std::string text = corpus_file("osoumen_gtme.spc");
  if (binary.empty() || text.empty()) GTEST_SKIP() << "SPC corpus folder not found; skipping real files";
  auto sato = read_spc_from_file(binary.c_str());
  ASSERT_TRUE(sato);
  EXPECT_EQ(id666_detect_form(*sato), id666_form::binary);
  EXPECT_EQ(id666_song_title(*sato), "Forest");
  EXPECT_EQ(id666_artist_name(*sato), "Yoshiaki Sato");
  EXPECT_EQ(id666_song_length_text(*sato), "4:18");
  auto gtme = read_spc_from_file(text.c_str());
  ASSERT_TRUE(gtme);
  EXPECT_EQ(id666_detect_form(*gtme), id666_form::text);
  EXPECT_EQ(id666_game_title(*gtme), "Original Song");
  EXPECT_EQ(id666_artist_name(*gtme), "osoumen");
  EXPECT_EQ(id666_song_length_text(*gtme), "3:20");
  EXPECT_EQ(id666_fade_msec(*gtme), 5000);
}

}  // namespace
