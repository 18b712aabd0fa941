#include "spc_builder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

void put_text(u8* field, std::size_t size, std::string_view text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), std::min(size, text.size()));
}

}  // namespace

spc_builder::spc_builder() {
  std::memcpy(image_.header_constant, "SNES-SPC700 Sound File Data v0.30", 33);
  image_.twentysix_twentysix[0] = 26;
  image_.twentysix_twentysix[1] = 26;
  image_.has_id666 = 27;
  image_.version_minor = 30;
  image_.dsp_registers[spc_dsp_dir] = 0x02;
}

spc_builder& spc_builder::tag_marker(u8 value) {
  image_.has_id666 = value;
  return *this;
}

spc_builder& spc_builder::text_tag(std::string_view song, std::string_view game,
                                   std::string_view artist, std::string_view seconds,
                                   std::string_view fade_msec) {
  image_.has_id666 = 26;
  put_text(image_.id666_song_title, 32, song);
  put_text(image_.id666_game_title, 32, game);
  put_text(image_.id666_artist_name, 32, artist);
  put_text(image_.id666_seconds_before_fadeout, 3, seconds);
  put_text(image_.id666_fade_length_in_msec, 5, fade_msec);
  return *this;
}

spc_builder& spc_builder::binary_tag(std::string_view song, std::string_view game,
                                     std::string_view artist, std::uint32_t seconds,
                                     std::uint32_t fade_msec) {
  image_.has_id666 = 26;
  put_text(image_.id666_song_title, 32, song);
  put_text(image_.id666_game_title, 32, game);
  u8* raw = reinterpret_cast<u8*>(&image_);
  for (int i = 0; i < 3; ++i) raw[0xA9 + i] = static_cast<u8>(seconds >> (8 * i));
  for (int i = 0; i < 4; ++i) raw[0xAC + i] = static_cast<u8>(fade_msec >> (8 * i));
  put_text(raw + 0xB0, 32, artist);
  return *this;
}

spc_builder& spc_builder::dir_page(u8 page) {
  image_.dsp_registers[spc_dsp_dir] = page;
  return *this;
}

spc_builder& spc_builder::dir_entry(int index, u16 start, u16 loop) {
  const unsigned base = image_.dsp_registers[spc_dsp_dir] * 256u + 4u * index;
  const u8 bytes[4] = {static_cast<u8>(start), static_cast<u8>(start >> 8),
                       static_cast<u8>(loop), static_cast<u8>(loop >> 8)};
  for (unsigned i = 0; i < 4; ++i) image_.aram[(base + i) & 0xFFFF] = bytes[i];
  return *this;
}

spc_builder& spc_builder::brr_chain(u16 address, int blocks, u8 data) {
  for (int b = 0; b < blocks; ++b) {
    const unsigned at = address + 9u * b;
    image_.aram[at & 0xFFFF] = (b == blocks - 1) ? 0x01 : 0x00;
    for (unsigned i = 1; i < 9; ++i) image_.aram[(at + i) & 0xFFFF] = data;
  }
  return *this;
}

spc_builder& spc_builder::aram(u16 address, std::initializer_list<u8> bytes) {
  unsigned at = address;
  for (u8 b : bytes) image_.aram[at++ & 0xFFFF] = b;
  return *this;
}

spc_builder& spc_builder::aram(u16 address, const std::vector<u8>& bytes) {
  unsigned at = address;
  for (u8 b : bytes) image_.aram[at++ & 0xFFFF] = b;
  return *this;
}

spc_builder& spc_builder::cpu(u16 pc, u8 sp) {
  image_.reg_pc = pc;
  image_.reg_sp = sp;
  return *this;
}

spc_builder& spc_builder::dsp(int reg, u8 value) {
  image_.dsp_registers[reg & 0x7F] = value;
  return *this;
}

// A program that branches to itself at 0x0400, timers off, and voice 0
// keyed on playing a looping square wave: two BRR blocks per 32-sample
// period (0x77 data for the high half, 0x88 for the low half) at pitch
// 0x1000 (32000 samples per second), so 1000 Hz.
spc_builder& spc_builder::square_wave_tone() {
  image_.reg_pc = 0x0400;
  image_.reg_sp = 0xEF;
  aram(0x0400, {0x2F, 0xFE});
  aram(0x00F0, {0x0A, 0x00});
  dir_page(0x02);
  dir_entry(0, 0x1000, 0x1000);
  for (int b = 0; b < 2; ++b) {
    const unsigned at = 0x1000 + 9u * b;
    image_.aram[at] = (b == 1) ? (0xC0 | 0x03) : 0xC0;
    for (unsigned i = 1; i < 9; ++i) image_.aram[at + i] = (b == 0) ? 0x77 : 0x88;
  }
  dsp(0x00, 0x30);  // VOL L
  dsp(0x01, 0x30);  // VOL R
  dsp(0x02, 0x00);  // pitch low
  dsp(0x03, 0x10);  // pitch high
  dsp(0x04, 0x00);  // SRCN
  dsp(0x05, 0x00);  // ADSR1 (GAIN mode)
  dsp(0x07, 0x7F);  // GAIN
  dsp(0x0C, 0x7F);  // MVOL L
  dsp(0x1C, 0x7F);  // MVOL R
  dsp(0x4C, 0x01);  // KON voice 0
  dsp(0x6C, 0x20);  // FLG: echo writes off
  return *this;
}

spc_builder& spc_builder::two_tones() {
  square_wave_tone();
  dsp(0x10, 0x30);  // VOL L
  dsp(0x11, 0x30);  // VOL R
  dsp(0x12, 0x00);  // pitch low
  dsp(0x13, 0x08);  // pitch high: half of voice 0's
  dsp(0x14, 0x00);  // SRCN
  dsp(0x15, 0x00);  // ADSR1 (GAIN mode)
  dsp(0x17, 0x7F);  // GAIN
  dsp(0x4C, 0x03);  // KON voices 0 and 1
  return *this;
}

std::vector<std::uint8_t> spc_builder::bytes() const {
  const auto* raw = reinterpret_cast<const std::uint8_t*>(&image_);
  return {raw, raw + sizeof image_};
}

std::string spc_builder::write_to(const std::string& dir, const std::string& name,
                                  std::size_t trailing) const {
  const std::string path = dir + "/" + name;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&image_), sizeof image_);
  const std::vector<char> extra(trailing, '\x5A');
  out.write(extra.data(), static_cast<std::streamsize>(extra.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
  return path;
}

temp_dir::temp_dir() : temp_dir(std::filesystem::temp_directory_path().string()) {}

temp_dir::temp_dir(const std::string& parent) {
  std::string pattern = (std::filesystem::path(parent) / "quorlin-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

temp_dir::~temp_dir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string corpus_file(const std::string& name) {
  const char* dir = std::getenv("QUORLIN_CORPUS_DIR");
  const std::string path = std::string(dir ? dir : QUORLIN_CORPUS_DIR) + "/" + name;
  return std::filesystem::exists(path) ? path : std::string();
}

std::string file_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
