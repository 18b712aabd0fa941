// A test double of the emulation library for the engine tests: the
// OSPC_ functions of fake_openspc.cpp are linked in place of libopenspc.
// OSPC_Run writes frames whose two samples both hold the frame's position
// in the song (modulo 32768), so what reaches the device can be checked.
// All functions: any thread.
#pragma once

#include <cstdint>
#include <vector>

// How songs behave from the next OSPC_Init on.
struct fake_song {
  int bytes_per_run = 32000;  // each OSPC_Run's result (capped at its size)
  long runs = -1;             // OSPC_Run calls with audio before the end; -1: no end
};
void fake_openspc_set_song(fake_song song);

struct fake_openspc_counts {
  long init_calls = 0;
  long run_calls = 0;
  long runs_entered = 0;  // entered > left once the thread is gone: it was
  long runs_left = 0;     // cancelled inside OSPC_Run (which has a cancellation point)
  long image_changes = 0;  // OSPC_Run calls that found the image given to OSPC_Init altered
  std::int64_t run_thread_cpu_ns = 0;  // CPU time of the thread of the latest OSPC_Run
};
fake_openspc_counts fake_openspc_counts_now();

// Zeroes the counts and restores the default song.
void fake_openspc_reset();

// A copy of the bytes the latest OSPC_Init was given (empty for a null buffer).
std::vector<std::uint8_t> fake_openspc_last_image();

// The mask the latest OSPC_MuteVoices handed over.
unsigned fake_openspc_mute_mask();

// While held, OSPC_RendererRun blocks before rendering (a renderer that
// takes its time, for Cancel and progress to be seen); releasing lets every
// waiting call go on. Renderers write the counting pattern too.
void fake_openspc_hold_renderers(bool held);
