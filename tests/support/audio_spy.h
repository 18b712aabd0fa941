// A spy on libao's ao_play for the engine and audio tests. audio_spy.cpp
// defines ao_play in the test program itself, so the engine's calls land
// there: it records them, checks the frames written by the fake emulation
// library, and stands in for the kind of device a test asks for. Any thread.
#pragma once

enum class spy_device {
  passes_on,  // hands the audio to libao's own ao_play (null driver or test server)
  held_up,    // passes on after holding the thread up 30 ms, as a busy machine can
  real_time,  // blocks for the audio's duration, as a PulseAudio stream does
  refuses     // returns failure at once, as a device whose server went away
};
void audio_spy_set(spy_device device);

struct audio_spy_counts {
  long calls = 0;
  long bytes = 0;
  long entered = 0;  // entered > left once the thread is gone: it was cancelled
  long left = 0;     // inside ao_play (a real_time device sleeps at a cancellation point)
  long pattern_breaks = 0;  // writes whose frames do not continue the song from the last write
};
audio_spy_counts audio_spy_counts_now();

// Zeroes the counts and goes back to passes_on.
void audio_spy_reset();
