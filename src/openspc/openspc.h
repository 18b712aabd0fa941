// The SPC emulation library: renders an SPC sound snapshot to PCM.
// The library holds one song at a time (no handle); calls must not overlap,
// but may come from different threads one after another (the playback
// engine calls from each playing thread in turn, joined before the next).
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Sample format of OSPC_Run's output: stereo frames per second, and bytes
// per frame (left then right, 16-bit signed little-endian).
#define OSPC_SAMPLE_RATE 32000
#define OSPC_FRAME_BYTES 4

// Loads the SPC file image of `size` bytes at `buf` (66048 bytes; what
// follows them is not played) and rewinds to its start, replacing any earlier
// song. `buf` is only read, and not referenced after return. Returns 0, or a
// negative value when the image is rejected (the library is then left
// without a song: OSPC_Run returns 0). Song end comes from the ID666 tag:
// its length in seconds, then a linear fade over its fade length in
// milliseconds; no length means the song never ends. Any thread, one call
// at a time.
int OSPC_Init(void* buf, unsigned size);

// Renders the next stereo frames into `buf`, at most `size` bytes (rounded
// down to whole 4-byte frames). `frames` < 0 fills the buffer; `frames` >= 0
// renders at most that many frames. Returns the bytes written (a multiple of
// 4); 0 or less when the song has ended, no song is loaded, or nothing fits.
// Any thread, one call at a time.
int OSPC_Run(int frames, short* buf, int size);

#ifdef __cplusplus
}
#endif
