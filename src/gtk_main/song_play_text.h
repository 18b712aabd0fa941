// What the window says of the song's use of the samples, in words: the
// Sample page's line and the status line's count. No GTK; any thread.
#pragma once

#include <array>
#include <string>

#include "song_trace.h"

// "Played 48 times on voices 0, 3, first at 0:00.4, pitches 0800–1800",
// "Played once on voice 2, first at 0:01.5, pitch 1000", or, for an entry
// the song never keys on, "Not played in 3:05" (the length traced).
// Any thread.
std::string sample_play_text(const sample_play& play, double traced_seconds);

// Which directory entries (SRCN) the song keys on. Any thread.
std::array<bool, 256> played_sources(const std::array<sample_play, 256>& summary);
