// Which voices of the song are heard: a Mute and a Solo switch per voice,
// as the Voices page and the timeline's lane headers show them. The mask
// goes to the emulation library, which applies it from its next buffer on;
// a sample played alone is never muted. GTK main thread only.
#pragma once

#include <functional>
#include <map>

#include "spc.h"

// One window's switches. The playback controls own them (play_button.h).
struct voice_switches {
  u8 muted = 0;
  u8 soloed = 0;
  bool song_plays = true;  // false while a sample plays alone
  std::map<int, std::function<void()>> listeners;
  int next_id = 1;
};

// Bit v set: voice v is silenced. Muted voices, and with any voice soloed,
// every voice not soloed. Main thread only.
u8 voice_mute_mask(const voice_switches& switches);

bool voice_mute_is_muted(const voice_switches& switches, int voice);   // Main thread only.
bool voice_mute_is_soloed(const voice_switches& switches, int voice);  // Main thread only.

// Set one switch of `voice` (0 ... 7); listeners hear of a change. Main
// thread only.
void voice_mute_set_muted(voice_switches& switches, int voice, bool muted);
void voice_mute_set_soloed(voice_switches& switches, int voice, bool soloed);

// Every switch off, as a newly loaded file starts. Main thread only.
void voice_mute_reset(voice_switches& switches);

// Called after any switch changed. Returns an id for
// voice_mute_remove_listener. Main thread only.
int voice_mute_add_listener(voice_switches& switches, std::function<void()> listener);
void voice_mute_remove_listener(voice_switches& switches, int id);  // Main thread only.

// Says whether what is about to play is the song (the mask applies) or a
// sample alone (nothing is muted), and hands the library that mask. Call
// before each Play. Main thread only.
void voice_mute_engine_plays_song(voice_switches& switches, bool song);
