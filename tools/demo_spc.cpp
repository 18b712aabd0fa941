// The demo song, laid out in audio RAM as a small sound driver would lay it:
//
//   $0000-$0001  the player's song pointer
//   $00F0-$00FF  I/O registers (timer 0 paces the tune)
//   $0100-$01FF  stack
//   $0200-$0237  the player (song_player_code)
//   $0400-$07FF  sample directory (DIR = $04), entries 0 ... 2 used
//   $0800-$0955  BRR samples
//   $1000-       the song: a stream of DSP writes and waits

#include "demo_spc.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "dsp_registers.h"
#include "spc700_program.h"

namespace {

constexpr u16 player_address = 0x0200;
constexpr u8 directory_page = 0x04;
constexpr u16 square_address = 0x0800;    // 2 blocks, loops to its start
constexpr u16 triangle_address = 0x0812;  // 2 attack blocks, then 2 looping
constexpr u16 triangle_loop = 0x0824;
constexpr u16 noise_address = 0x0836;  // 32 blocks, no loop
constexpr int noise_blocks = 32;
constexpr u16 song_address = 0x1000;
constexpr u16 song_limit = 0x2000;

// One 9-byte BRR block: header (shift, filter 0, loop and end flags), then
// sixteen 4-bit samples, high nibble first.
void put_brr_block(u8* at, int shift, bool loop, bool end, const std::array<int, 16>& samples) {
  at[0] = static_cast<u8>(shift << 4 | (loop ? 0x02 : 0) | (end ? 0x01 : 0));
  for (int i = 0; i < 8; ++i)
    at[1 + i] = static_cast<u8>((samples[2 * i] & 0x0F) << 4 | (samples[2 * i + 1] & 0x0F));
}

// Square and triangle both have 32-sample periods: at pitch $1000 (32000
// samples a second) they sound at 1000 Hz.
constexpr double wave_hz_at_unit_pitch = 1000.0;

void put_samples(u8* aram) {
  std::array<int, 16> high, low, rising, falling;
  high.fill(7);
  low.fill(-8);
  for (int i = 0; i < 16; ++i) {
    rising[i] = i - 8;
    falling[i] = 7 - i;
  }
  put_brr_block(aram + square_address, 12, true, false, high);
  put_brr_block(aram + square_address + 9, 12, true, true, low);

  // Attack at twice the amplitude, played once; then the quieter loop.
  put_brr_block(aram + triangle_address, 13, false, false, rising);
  put_brr_block(aram + triangle_address + 9, 13, false, false, falling);
  put_brr_block(aram + triangle_loop, 12, true, false, rising);
  put_brr_block(aram + triangle_loop + 9, 12, true, true, falling);

  // A fixed pseudo-random sequence, fading block by block; ends without loop.
  std::uint32_t seed = 0x5150;
  for (int block = 0; block < noise_blocks; ++block) {
    std::array<int, 16> noise;
    for (int& sample : noise) {
      seed = seed * 1103515245u + 12345u;
      sample = static_cast<int>(seed >> 16 & 0x0F) - 8;
    }
    put_brr_block(aram + noise_address + 9 * block, 11 - block / 8, false,
                  block == noise_blocks - 1, noise);
  }

  const struct {
    u16 start, loop;
  } entries[] = {{square_address, square_address},
                 {triangle_address, triangle_loop},
                 {noise_address, noise_address}};
  u8* directory = aram + directory_page * 0x100;
  for (const auto& entry : entries) {
    *directory++ = entry.start & 0xFF;
    *directory++ = entry.start >> 8;
    *directory++ = entry.loop & 0xFF;
    *directory++ = entry.loop >> 8;
  }
}

// The song stream, plus the DSP state its setup part leaves behind (the
// image starts as if dumped just after setup).
class song_writer {
 public:
  explicit song_writer(u8* dsp_registers) : dsp_(dsp_registers) {}

  void write(u8 reg, u8 value) {
    bytes_.push_back(reg);
    bytes_.push_back(value);
    if (!looping_) dsp_[reg] = value;
  }
  void wait(u8 ticks) {
    bytes_.push_back(song_command_wait);
    bytes_.push_back(ticks);
  }
  // Everything from here on repeats.
  void mark_loop() {
    loop_offset_ = bytes_.size();
    looping_ = true;
  }
  void end_with_loop() { bytes_.push_back(song_command_loop); }

  const std::vector<u8>& bytes() const { return bytes_; }
  std::size_t loop_offset() const { return loop_offset_; }

 private:
  u8* dsp_;
  std::vector<u8> bytes_;
  std::size_t loop_offset_ = 0;
  bool looping_ = false;
};

void write_setup(song_writer& song) {
  song.write(r_flags, 0x20);  // out of reset, unmuted, echo writes off
  song.write(r_directory, directory_page);
  song.write(r_main_vol_left, 0x60);
  song.write(r_main_vol_right, 0x60);
  for (u8 reg : {r_echo_vol_left, r_echo_vol_right, r_echo_feedback, r_pitch_mod, r_noise_on,
                 r_echo_on, r_echo_delay, r_key_off})
    song.write(reg, 0x00);
  song.write(r_echo_start, 0x60);

  // Voice 0 the tune (square), voice 1 the bass (triangle), voice 2 the
  // off-beat (noise). ADSR: fastest attack, sustain at full level, then a
  // decline whose rate is the low five bits of the second byte.
  const struct {
    u8 source, left, right, adsr2;
  } voices[] = {{0, 0x30, 0x26, 0xE0 | 0x0E}, {1, 0x30, 0x30, 0xE0 | 0x08}, {2, 0x1C, 0x26, 0xE0}};
  for (u8 voice = 0; voice < 3; ++voice) {
    const u8 base = voice * 0x10;
    song.write(base + v_source, voices[voice].source);
    song.write(base + v_vol_left, voices[voice].left);
    song.write(base + v_vol_right, voices[voice].right);
    song.write(base + v_adsr1, 0x8F);
    song.write(base + v_adsr2, voices[voice].adsr2);
  }
}

// Pitch register value that plays MIDI note `note` on a 32-sample-period wave.
u16 wave_pitch(int note) {
  const double hz = 440.0 * std::pow(2.0, (note - 69) / 12.0);
  return static_cast<u16>(std::lround(hz * 0x1000 / wave_hz_at_unit_pitch));
}

constexpr int hold = -1;  // the note goes on sounding
constexpr int rest = 0;   // the note is released
constexpr int steps_per_bar = 8;
constexpr u8 ticks_per_step = 8;  // 200 ms: an eighth note at 150 beats a minute
constexpr u16 noise_pitch = 0x0800;

// The tune in MIDI note numbers, one per eighth note: eight bars in C major,
// two to a line.
constexpr int melody[] = {
    76, 79, 81, 79, 76, 74, 72, 74, 76, hold, 79,   hold, 74,   hold, hold, hold,
    72, 74, 76, 79, 81, 84, 81, 79, 76, hold, 74,   hold, 72,   hold, hold, hold,
    69, 72, 76, 72, 74, 77, 81, 77, 76, 79,   84,   79,   76,   hold, 74,   hold,
    72, 76, 79, 76, 74, 77, 79, 83, 84, hold, hold, hold, hold, hold, rest, rest,
};
// One bass root a bar, played on the first beat and its fifth on the third.
constexpr int bass_roots[] = {36, 43, 41, 43, 45, 38, 41, 36};
constexpr int bar_count = sizeof bass_roots / sizeof bass_roots[0];
static_assert(sizeof melody / sizeof melody[0] == bar_count * steps_per_bar);

void write_tune(song_writer& song) {
  bool key_off_set = false;
  for (int step = 0; step < bar_count * steps_per_bar; ++step) {
    u8 key_on = 0, key_off = 0;
    auto play = [&](u8 voice, u16 pitch) {
      song.write(voice * 0x10 + v_pitch_low, pitch & 0xFF);
      song.write(voice * 0x10 + v_pitch_high, pitch >> 8);
      key_on |= 1 << voice;
    };
    const int note = melody[step];
    if (note == rest) key_off |= 1;
    if (note > 0) play(0, wave_pitch(note));
    const int in_bar = step % steps_per_bar;
    const int root = bass_roots[step / steps_per_bar];
    if (in_bar == 0) play(1, wave_pitch(root));
    if (in_bar == 4) play(1, wave_pitch(root + 7));
    if (in_bar == 2 || in_bar == 6) play(2, noise_pitch);

    // A key-off bit left set would release the next note at once.
    if (key_off_set) song.write(r_key_off, 0x00);
    if (key_off) song.write(r_key_off, key_off);
    if (key_on) song.write(r_key_on, key_on);
    key_off_set = key_off != 0;
    song.wait(ticks_per_step);
  }
  if (key_off_set) song.write(r_key_off, 0x00);
}

void put_text(u8* field, std::size_t size, std::string_view text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), std::min(size, text.size()));
}

void put_tag(spc_format& spc) {
  spc.has_id666 = 26;
  put_text(spc.id666_song_title, sizeof spc.id666_song_title, "Demo");
  put_text(spc.id666_game_title, sizeof spc.id666_game_title, "Quorlin");
  put_text(spc.id666_artist_name, sizeof spc.id666_artist_name, "The Quorlin developers");
  put_text(spc.id666_dumper_name, sizeof spc.id666_dumper_name, "make_demo_spc");
  put_text(spc.id666_comments, sizeof spc.id666_comments, "Three BRR samples, one player");
  put_text(spc.id666_seconds_before_fadeout, sizeof spc.id666_seconds_before_fadeout, "30");
  put_text(spc.id666_fade_length_in_msec, sizeof spc.id666_fade_length_in_msec, "3000");
}

}  // namespace

std::unique_ptr<spc_format> make_demo_spc() {
  auto spc = std::make_unique<spc_format>();
  std::memcpy(spc->header_constant, "SNES-SPC700 Sound File Data v0.30", 33);
  spc->twentysix_twentysix[0] = 26;
  spc->twentysix_twentysix[1] = 26;
  spc->version_minor = 30;
  put_tag(*spc);

  song_writer song(spc->dsp_registers);
  write_setup(song);
  song.mark_loop();
  write_tune(song);
  song.end_with_loop();
  if (song_address + song.bytes().size() > song_limit)
    throw std::logic_error("the demo song outgrew its space in audio RAM");
  std::memcpy(spc->aram + song_address, song.bytes().data(), song.bytes().size());

  const auto code = song_player_code(song_address, song_address + song.loop_offset());
  std::memcpy(spc->aram + player_address, code.data(), code.size());
  put_samples(spc->aram);

  spc->reg_pc = player_address;
  spc->reg_sp = 0xEF;
  spc->aram[0xF0] = 0x0A;  // the test register's normal value
  return spc;
}
