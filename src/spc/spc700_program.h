// Small SPC700 programs built in code: the demo song's player, and an image
// that sounds one directory entry alone. Pure functions; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "spc.h"

// A player for a stream of DSP writes: "register, value" pairs (registers
// below 0x80), 0xFE followed by a tick count (1 ... 255) to wait, 0xFF to
// continue from `loop`. It walks the stream through the pointer at $00/$01,
// paces itself with timer 0 (a tick is 25 ms) and never returns. Its
// branches are all relative, so it runs wherever it is copied. Any thread.
inline constexpr std::size_t song_player_size = 0x38;
inline constexpr u8 song_command_wait = 0xFE;
inline constexpr u8 song_command_loop = 0xFF;
std::array<u8, song_player_size> song_player_code(u16 song, u16 loop);

// Where the audition program lives when nothing else claims that spot.
inline constexpr u16 audition_program_home = 0x0200;
inline constexpr int audition_max_semitones = 24;
inline constexpr int audition_voice = 0;

// The pitch register value that plays a sample `semitones` (clamped to
// -24 ... +24) away from 0x1000 (one BRR sample per output sample), held to
// the register's 14 bits. Any thread.
u16 audition_pitch(int semitones);

// Where a program of `size` bytes can go without landing on the directory,
// the I/O registers, the IPL ROM area or any block of the chains starting at
// `start` and `loop`: audition_program_home when free, else the first free
// spot above it, else below it. None when the chains cover all of audio RAM.
// Any thread.
std::optional<u16> audition_program_spot(const spc_format& spc, u16 start, u16 loop,
                                         std::size_t size);

// A copy of `spc` that plays directory entry `source` (0 ... 255) alone on
// voice 0: this file's audio RAM and directory, full volume, no envelope
// (GAIN direct 0x7F), no echo, no other voice, no tag (it plays until
// stopped), and a program that keys the voice on and then idles. The DSP
// loops the sample as it would in the song; a sample without a loop plays
// once. Null when no spot in audio RAM is free for the program: the chains
// cover all of it beside the directory (a chain without an end flag does).
// Any thread.
std::unique_ptr<spc_format> make_audition_spc(const spc_format& spc, int source,
                                              int semitones = 0);

// The same, playing the sample at pitch register value `pitch` (held to the
// register's 14 bits): to sound it at a chosen note. Any thread.
std::unique_ptr<spc_format> make_audition_spc_at_pitch(const spc_format& spc, int source,
                                                       u16 pitch);
