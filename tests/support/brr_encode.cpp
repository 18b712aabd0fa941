#include "brr_encode.h"

#include <algorithm>
#include <cmath>

#include "spc700_program.h"

u16 put_brr_wave(spc_builder& image, int srcn, u16 address, int blocks,
                 const std::function<double(int)>& wave, std::optional<int> loop_block) {
  std::vector<u8> bytes;
  for (int b = 0; b < blocks; ++b) {
    int values[16];
    int loudest = 0;
    for (int i = 0; i < 16; ++i) {
      // Decoded as (nibble << range) >> 1, then doubled on output.
      values[i] = static_cast<int>(std::lround(std::clamp(wave(b * 16 + i), -1.0, 1.0) * 16000.0));
      loudest = std::max(loudest, std::abs(values[i]));
    }
    int range = 1;
    while (range < 12 && (7 << range) / 2 * 2 < loudest) ++range;
    u8 header = static_cast<u8>(range << 4);
    if (b == blocks - 1) header |= loop_block ? 0x03 : 0x01;
    bytes.push_back(header);
    for (int i = 0; i < 16; i += 2) {
      u8 pair = 0;
      for (int k = 0; k < 2; ++k) {
        const int nibble = std::clamp(static_cast<int>(std::lround(values[i + k] / double(1 << range))), -8, 7);
        pair = static_cast<u8>(pair | ((nibble & 0x0F) << (k == 0 ? 4 : 0)));
      }
      bytes.push_back(pair);
    }
  }
  for (std::size_t i = 0; i < bytes.size(); ++i) image.aram(static_cast<u16>(address + i), {bytes[i]});
  image.dir_entry(srcn, address, static_cast<u16>(address + 9 * loop_block.value_or(0)));
  return static_cast<u16>(address + bytes.size());
}

spc_format song_of_pitches(const spc_builder& image, const std::vector<u16>& pitches, u8 adsr1,
                           u8 adsr2, u8 gain) {
  constexpr u16 song = 0x0400, player = 0x0300;
  // DIR, main volumes, FLG (echo writes off), voice 0's volumes, source and envelope.
  std::vector<u8> stream = {0x5D, 0x02, 0x0C, 0x7F, 0x1C, 0x7F, 0x6C, 0x20, 0x00, 0x40, 0x01,
                            0x40, 0x04, 0x00, 0x05, adsr1, 0x06, adsr2, 0x07, gain};
  for (u16 pitch : pitches) {
    stream.insert(stream.end(), {0x02, u8(pitch), 0x03, u8(pitch >> 8), 0x4C, 0x01,
                                 song_command_wait, 4, 0x5C, 0x01, song_command_wait, 1, 0x5C, 0x00});
  }
  stream.insert(stream.end(), {song_command_wait, 200, song_command_loop});
  spc_format spc = image.image();
  std::copy(stream.begin(), stream.end(), spc.aram + song);
  const auto code = song_player_code(song, song);
  std::copy(code.begin(), code.end(), spc.aram + player);
  spc.reg_pc = player;
  spc.reg_sp = 0xEF;
  spc.aram[0xF0] = 0x0A;
  return spc;
}
