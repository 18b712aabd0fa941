// The demo song: an SPC image built entirely in code, so the project ships a
// file it may freely open, play and show without borrowing anyone's music.
#pragma once

#include <memory>

#include "spc.h"

// Builds the demo image: three BRR samples (a square wave, a triangle wave
// with a one-off attack before its loop, and a non-looping noise burst) in a
// sample directory at page 0x04, and an SPC700 program that plays a looping
// tune on them through the DSP registers. Text ID666 tag: song "Demo", game
// "Quorlin", 30 s, then a 3000 ms fade. Pure; any thread.
std::unique_ptr<spc_format> make_demo_spc();
