// SPC700 machine code, hand-assembled. Every program here branches only
// relatively, so a caller may place it wherever audio RAM has room.

#include "spc700_program.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "aram_regions.h"
#include "dsp_registers.h"

namespace {

// The CPU sees I/O registers at $F0-$FF and, while CONTROL's bit 7 is set,
// the IPL ROM at $FFC0-$FFFF: code placed there would not run as written.
constexpr aram_region io_registers{0x00F0, 0x10};
constexpr aram_region ipl_rom_area{0xFFC0, 0x40};

constexpr u8 control_timers_and_rom_off = 0x00;
constexpr u8 test_register_normal = 0x0A;
constexpr u8 stack_top = 0xEF;
constexpr u8 full_volume = 0x7F;
constexpr u8 gain_direct_full = 0x7F;  // bit 7 clear: direct, level 0x7F
constexpr u16 unit_pitch = 0x1000;
constexpr u16 pitch_limit = 0x3FFF;

// Keys on the audition voice through the DSP's address and data ports,
// then idles: the image already holds every other register.
std::array<u8, 8> key_on_then_idle_code() {
  return {
      0x8F, r_key_on, 0xF2,                           // MOV $F2,#KON
      0x8F, static_cast<u8>(1u << audition_voice), 0xF3,  // MOV $F3,#voice bit
      0x2F, 0xFE,                                     // BRA itself
  };
}

bool spot_is_free(std::uint32_t spot, std::size_t size, const aram_region* claimed,
                  std::size_t claimed_count) {
  const aram_region program{spot, static_cast<std::uint32_t>(size)};
  return std::none_of(claimed, claimed + claimed_count,
                      [&](const aram_region& area) { return area.overlaps(program); });
}

}  // namespace

std::array<u8, song_player_size> song_player_code(u16 song, u16 loop) {
  const u8 song_low = song & 0xFF, song_high = song >> 8;
  const u8 loop_low = loop & 0xFF, loop_high = loop >> 8;
  // Y stays 0, so [$00]+Y reads the byte the pointer at $00/$01 names. A
  // tick is 200 periods of timer 0's 8 kHz clock: 25 ms. Addresses as if
  // the player sat at $0200.
  return {
      0x8F, 0xC8,      0xFA,  // 0200        MOV $FA,#$C8     timer 0 target: 200
      0x8F, 0x01,      0xF1,  // 0203        MOV $F1,#$01     start timer 0 only
      0x8F, song_low,  0x00,  // 0206        MOV $00,#<song
      0x8F, song_high, 0x01,  // 0209        MOV $01,#>song
      0x8D, 0x00,             // 020C        MOV Y,#$00
      0xF7, 0x00,             // 020E next:  MOV A,[$00]+Y    command byte
      0x3A, 0x00,             // 0210        INCW $00
      0x68, 0xFE,             // 0212        CMP A,#$FE
      0xF0, 0x0C,             // 0214        BEQ wait         ($0222)
      0xB0, 0x18,             // 0216        BCS restart      ($0230: only $FF is above $FE)
      0xC4, 0xF2,             // 0218        MOV $F2,A        DSP register number
      0xF7, 0x00,             // 021A        MOV A,[$00]+Y
      0x3A, 0x00,             // 021C        INCW $00
      0xC4, 0xF3,             // 021E        MOV $F3,A        its new value
      0x2F, 0xEC,             // 0220        BRA next         ($020E)
      0xF7, 0x00,             // 0222 wait:  MOV A,[$00]+Y    tick count
      0x3A, 0x00,             // 0224        INCW $00
      0x5D,                   // 0226        MOV X,A
      0xE4, 0xFD,             // 0227 tick:  MOV A,$FD        ticks since last read (clears)
      0xF0, 0xFC,             // 0229        BEQ tick         ($0227)
      0x1D,                   // 022B        DEC X
      0xD0, 0xF9,             // 022C        BNE tick         ($0227)
      0x2F, 0xDE,             // 022E        BRA next         ($020E)
      0x8F, loop_low,  0x00,  // 0230 restart: MOV $00,#<loop
      0x8F, loop_high, 0x01,  // 0233        MOV $01,#>loop
      0x2F, 0xD6,             // 0236        BRA next         ($020E)
  };
}

u16 audition_pitch(int semitones) {
  const int steps = std::clamp(semitones, -audition_max_semitones, audition_max_semitones);
  const long pitch = std::lround(unit_pitch * std::exp2(steps / 12.0));
  return static_cast<u16>(std::min<long>(pitch, pitch_limit));
}

std::optional<u16> audition_program_spot(const spc_format& spc, u16 start, u16 loop,
                                         std::size_t size) {
  const aram_region claimed[] = {
      directory_region(spc),
      io_registers,
      ipl_rom_area,
      {start, static_cast<std::uint32_t>(calculate_sample_length(spc, start))},
      {loop, static_cast<std::uint32_t>(calculate_sample_length(spc, loop))},
  };
  const std::size_t count = sizeof claimed / sizeof claimed[0];
  const std::uint32_t last = ipl_rom_area.start - size;
  for (std::uint32_t spot = audition_program_home; spot <= last; ++spot)
    if (spot_is_free(spot, size, claimed, count)) return static_cast<u16>(spot);
  for (std::uint32_t spot = 0; spot < audition_program_home; ++spot)
    if (spot_is_free(spot, size, claimed, count)) return static_cast<u16>(spot);
  return std::nullopt;
}

std::unique_ptr<spc_format> make_audition_spc(const spc_format& spc, int source, int semitones) {
  return make_audition_spc_at_pitch(spc, source, audition_pitch(semitones));
}

std::unique_ptr<spc_format> make_audition_spc_at_pitch(const spc_format& spc, int source,
                                                       u16 pitch) {
  pitch = std::min<u16>(pitch, pitch_limit);
  const directory_entry entry = read_directory_entry(spc, source & 0xFF);
  const auto code = key_on_then_idle_code();
  const std::optional<u16> spot =
      audition_program_spot(spc, entry.start, entry.loop, code.size());
  if (!spot) return nullptr;

  auto image = std::make_unique<spc_format>(spc);
  // No tag: without a song length the emulator plays until stopped.
  image->has_id666 = 27;
  u8* tag_first = image->id666_song_title;
  u8* tag_end = image->id666_reserved + sizeof image->id666_reserved;
  std::memset(tag_first, 0, static_cast<std::size_t>(tag_end - tag_first));

  image->reg_pc = *spot;
  image->reg_a = image->reg_x = image->reg_y = 0;
  image->reg_psw = 0;
  image->reg_sp = stack_top;
  image->aram[0xF0] = test_register_normal;
  image->aram[0xF1] = control_timers_and_rom_off;
  std::memcpy(image->aram + *spot, code.data(), code.size());

  // Every register starts from zero (no other voice, no echo volume, no
  // FIR, no noise, no pitch modulation) except these.
  u8* dsp = image->dsp_registers;
  std::memset(dsp, 0, sizeof image->dsp_registers);
  dsp[r_directory] = spc.dsp_registers[r_directory];
  dsp[r_flags] = flg_echo_writes_off;
  dsp[r_main_vol_left] = full_volume;
  dsp[r_main_vol_right] = full_volume;
  u8* voice = dsp + audition_voice * 0x10;
  voice[v_vol_left] = full_volume;
  voice[v_vol_right] = full_volume;
  voice[v_pitch_low] = pitch & 0xFF;
  voice[v_pitch_high] = pitch >> 8;
  voice[v_source] = static_cast<u8>(source);
  voice[v_adsr1] = 0;  // bit 7 clear: GAIN, not ADSR
  voice[v_gain] = gain_direct_full;
  return image;
}
