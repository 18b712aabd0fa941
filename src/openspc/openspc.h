// The SPC emulation library: renders an SPC sound snapshot to PCM.
// The library holds one song to play at a time (no handle); OSPC_Init and
// OSPC_Run must not overlap, but may come from different threads one after
// another (the playback engine calls from each playing thread in turn,
// joined before the next). Renderers (OSPC_RendererOpen) are separate
// emulators, for rendering beside it.
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

// Silences the voices whose bits are set in `mask` (bit v: DSP voice v) in
// the song OSPC_Run renders, from its next buffer on, and in every song
// OSPC_Init loads after. The thread that renders owns the emulator: this
// only hands the mask over, so it may be called while another thread is
// inside OSPC_Run. Any thread.
void OSPC_MuteVoices(unsigned mask);

// An emulator of its own for rendering a song offline (stems, say), apart
// from the song of OSPC_Init/OSPC_Run: several may render at once, on any
// threads, while that song plays.
typedef struct OSPC_Renderer OSPC_Renderer;

// Opens the SPC image of `size` bytes at `buf` (read, not kept) with the
// voices in `mute_mask` silenced, to render `frames` stereo frames of which
// the last `fade_frames` fade out linearly (fade_frames is capped at
// frames; frames <= 0: no end). Returns null when the image is rejected or
// memory runs out. Any thread.
OSPC_Renderer* OSPC_RendererOpen(const void* buf, unsigned size, unsigned mute_mask,
                                 long long frames, long long fade_frames);

// As OSPC_Run, for `renderer`: renders its next frames into `buf` and
// returns the bytes written; 0 or less at its end. One thread at a time per
// renderer; any thread.
int OSPC_RendererRun(OSPC_Renderer* renderer, int frames, short* buf, int size);

// Frees `renderer` (null is ignored). Any thread, once no call on it runs.
void OSPC_RendererClose(OSPC_Renderer* renderer);

#ifdef __cplusplus
}
#endif
