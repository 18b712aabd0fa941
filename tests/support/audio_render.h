// Renders through the emulation library linked into the test program, as
// the playback engine does. Not while a playing thread exists: the library
// holds one song per process.
#pragma once

#include <vector>

#include "spc.h"

// Interleaved stereo samples of the library's current song, in 32000-byte
// OSPC_Run calls, until `seconds` of audio or the song's end.
std::vector<short> render_current_song(double seconds);

// OSPC_Init with `image`, then render_current_song. Returns no samples when
// the library rejects the image.
std::vector<short> render_song(const spc_format& image, double seconds);
