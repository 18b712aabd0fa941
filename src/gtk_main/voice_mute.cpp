// The switches live here, not in a widget, so that the Voices page, the
// timeline and Play read one state.
#include "voice_mute.h"

#include <map>

#include "dsp_registers.h"
#include "openspc.h"

namespace {

struct voice_mute_state {
  u8 muted = 0;
  u8 soloed = 0;
  bool song_plays = true;  // false while a sample plays alone
  std::map<int, std::function<void()>> listeners;
  int next_id = 1;
};
voice_mute_state switches;

void hand_to_engine() { OSPC_MuteVoices(switches.song_plays ? voice_mute_mask() : 0u); }

void switched() {
  hand_to_engine();
  // A listener may add or remove listeners: call a copy.
  const auto listeners = switches.listeners;
  for (const auto& [id, listener] : listeners) listener();
}

void set_bit(u8& bits, int voice, bool on) {
  if (voice < 0 || voice >= dsp_voice_count) return;
  const u8 changed = on ? static_cast<u8>(bits | 1u << voice) : static_cast<u8>(bits & ~(1u << voice));
  if (changed == bits) return;
  bits = changed;
  switched();
}

}  // namespace

u8 voice_mute_mask() {
  const u8 not_soloed = switches.soloed != 0 ? static_cast<u8>(~switches.soloed) : 0;
  return static_cast<u8>(switches.muted | not_soloed);
}

bool voice_mute_is_muted(int voice) { return (switches.muted >> voice & 1) != 0; }
bool voice_mute_is_soloed(int voice) { return (switches.soloed >> voice & 1) != 0; }

void voice_mute_set_muted(int voice, bool muted) { set_bit(switches.muted, voice, muted); }
void voice_mute_set_soloed(int voice, bool soloed) { set_bit(switches.soloed, voice, soloed); }

void voice_mute_reset() {
  if (switches.muted == 0 && switches.soloed == 0) return;
  switches.muted = 0;
  switches.soloed = 0;
  switched();
}

int voice_mute_add_listener(std::function<void()> listener) {
  const int id = switches.next_id++;
  switches.listeners.emplace(id, std::move(listener));
  return id;
}

void voice_mute_remove_listener(int id) { switches.listeners.erase(id); }

void voice_mute_engine_plays_song(bool song) {
  switches.song_plays = song;
  hand_to_engine();
}
