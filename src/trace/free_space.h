// Free space: the ranges of audio RAM a song never touches over a trace, for
// those who would put their own samples or code there. Pure functions of the
// image, the trace and its access record; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "spc.h"
#include "song_trace.h"

struct aram_access_record;

// `start` ... `end` inclusive; `bytes` = end - start + 1 (1 ... 65536).
struct free_range {
  u16 start = 0;
  u16 end = 0;
  std::uint32_t bytes = 0;

  bool operator==(const free_range&) const = default;
};

// What a song claims of audio RAM, one flag a byte (true: claimed):
//  - every byte its program executes, reads or writes (`access`);
//  - the blocks of every sample the DSP plays: each key-on's chain from its
//    start and, when the end block loops, from its loop address, walked over
//    the image's bytes; and so too the sample of each voice already sounding
//    in the snapshot (ENVX above 0);
//  - the whole directory (1 KiB at DIR) and the echo buffer (ESA, EDL * 2 KiB,
//    4 bytes when EDL is 0), whether or not echo writes are on;
//  - the I/O registers 0x00F0 ... 0x00FF, and the IPL ROM's window
//    0xFFC0 ... 0xFFFF while CONTROL maps it in.
// Any thread.
std::vector<bool> aram_claimed_by_song(const spc_format& image, const song_trace& trace,
                                       const aram_access_record& access);

// The unclaimed ranges, largest first (equal sizes: lower start first). Any thread.
std::vector<free_range> free_ranges(const std::vector<bool>& claimed);

// The two together. Any thread.
std::vector<free_range> free_ranges_of_song(const spc_format& image, const song_trace& trace,
                                            const aram_access_record& access);

// "2A00–33FF (2.5 KiB)": the range and its size (bytes under 1 KiB as
// "300 B", else KiB with at most one decimal). Any thread.
std::string free_range_text(const free_range& range);
