// The SPC data module: the in-memory image of an SPC file, its reader and
// the sample directory chart derived from it. No GTK, no threads, no sound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

using u8 = std::uint8_t;
using u16 = std::uint16_t;

// The first 66048 bytes of an SPC file, byte for byte (little-endian, no
// gaps: the 16-bit PC sits at the odd offset 0x25). Text fields need not
// hold a terminating zero.
struct __attribute__((packed)) spc_format {
  u8 header_constant[33];  // "SNES-SPC700 Sound File Data v" + version text
  u8 twentysix_twentysix[2];
  u8 has_id666;            // 26 (0x1A): tag present; 0 or 27 (0x1B): none
  u8 version_minor;
  u16 reg_pc;
  u8 reg_a;
  u8 reg_x;
  u8 reg_y;
  u8 reg_psw;
  u8 reg_sp;
  u8 reg_reserved[2];
  u8 id666_song_title[32];
  u8 id666_game_title[32];
  u8 id666_dumper_name[16];
  u8 id666_comments[32];
  u8 id666_date_dumped[11];
  u8 id666_seconds_before_fadeout[3];
  u8 id666_fade_length_in_msec[5];
  u8 id666_artist_name[32];
  u8 id666_default_channel_disabled;
  u8 id666_emulator_used_to_dump;
  u8 id666_reserved[45];
  u8 aram[65536];          // ARAM address 0 first
  u8 dsp_registers[128];   // register 0x5D (DIR) is the directory's page
  u8 unused[64];
  u8 extra_ram[64];
};

inline constexpr std::size_t spc_image_size = 66048;
inline constexpr std::size_t spc_signature_size = 29;
inline constexpr char spc_signature[] = "SNES-SPC700 Sound File Data v";
inline constexpr int spc_dsp_dir = 0x5D;

static_assert(sizeof(spc_format) == spc_image_size);
static_assert(offsetof(spc_format, has_id666) == 0x23);
static_assert(offsetof(spc_format, reg_pc) == 0x25);
static_assert(offsetof(spc_format, id666_song_title) == 0x2E);
static_assert(offsetof(spc_format, id666_game_title) == 0x4E);
static_assert(offsetof(spc_format, id666_date_dumped) == 0x9E);
static_assert(offsetof(spc_format, id666_seconds_before_fadeout) == 0xA9);
static_assert(offsetof(spc_format, id666_fade_length_in_msec) == 0xAC);
static_assert(offsetof(spc_format, id666_artist_name) == 0xB1);
static_assert(offsetof(spc_format, aram) == 0x100);
static_assert(offsetof(spc_format, dsp_registers) == 0x10100);
static_assert(offsetof(spc_format, extra_ram) == 0x101C0);

// One row of the sample directory chart.
struct sample_chart {
  std::int32_t sample_number;  // directory index + 1 (1 ... 256)
  u16 sample_address;          // ARAM address of the first BRR block
  u16 loop_address;            // ARAM address the sample loops to
  std::int32_t sample_length;  // bytes to the end of the end-flagged block, a multiple of 9
  std::int32_t loop_length;    // the same measure from loop_address
};

// Reads and validates the first 66048 bytes of `filename`. Returns the image,
// or null after writing one message to standard error. Any thread.
std::unique_ptr<spc_format> read_spc_from_file(const char* filename);

// The same, and on failure sets `reason` to that message as one line, with
// the system's description where a system call failed ("Unable to open
// file: No such file or directory") or the length of a file too short to
// hold an image ("Unable to read SPC file: it is 1 byte long, and an SPC
// file is at least 66048 bytes"), for showing to a user. Any thread.
std::unique_ptr<spc_format> read_spc_from_file(const char* filename, std::string& reason);

// The same reading, silent: on failure only `reason` says what went wrong.
// Any thread.
std::unique_ptr<spc_format> read_spc_file_quietly(const char* filename, std::string& reason);

// Bytes from ARAM `address` to the end of the first BRR block whose end flag
// is set, that block included. Addresses wrap at 16 bits; a chain with no end
// flag anywhere ends after 65536 blocks (every block start visited once).
std::int32_t calculate_sample_length(const spc_format& spc, std::int32_t sample_address);

// Walks the 256-entry sample directory at page dsp_registers[0x5D]. Writes the
// count of entries whose start is neither 0x0000 nor 0xFFFF to
// `out_num_samples` (even when allocation then fails) and the rows, in
// directory order, to `out_chart`; on allocation failure writes a message to
// standard error and leaves `out_chart` untouched. Any thread.
void generate_sample_chart(const spc_format& spc, std::int32_t& out_num_samples,
                           std::unique_ptr<sample_chart[]>& out_chart);
