// The switches live here, not in a widget, so that the Voices page, the
// timeline and Play read one state.
#include "voice_mute.h"

#include "dsp_registers.h"
#include "openspc.h"

namespace {

void hand_to_engine(const voice_switches& switches) {
  OSPC_MuteVoices(switches.song_plays ? voice_mute_mask(switches) : 0u);
}

void switched(voice_switches& switches) {
  hand_to_engine(switches);
  // A listener may add or remove listeners: call a copy.
  const auto listeners = switches.listeners;
  for (const auto& [id, listener] : listeners) listener();
}

void set_bit(voice_switches& switches, u8& bits, int voice, bool on) {
  if (voice < 0 || voice >= dsp_voice_count) return;
  const u8 changed = on ? static_cast<u8>(bits | 1u << voice) : static_cast<u8>(bits & ~(1u << voice));
  if (changed == bits) return;
  bits = changed;
  switched(switches);
}

}  // namespace

u8 voice_mute_mask(const voice_switches& switches) {
  const u8 not_soloed = switches.soloed != 0 ? static_cast<u8>(~switches.soloed) : 0;
  return static_cast<u8>(switches.muted | not_soloed);
}

bool voice_mute_is_muted(const voice_switches& switches, int voice) {
  return (switches.muted >> voice & 1) != 0;
}
bool voice_mute_is_soloed(const voice_switches& switches, int voice) {
  return (switches.soloed >> voice & 1) != 0;
}

void voice_mute_set_muted(voice_switches& switches, int voice, bool muted) {
  set_bit(switches, switches.muted, voice, muted);
}
void voice_mute_set_soloed(voice_switches& switches, int voice, bool soloed) {
  set_bit(switches, switches.soloed, voice, soloed);
}

void voice_mute_reset(voice_switches& switches) {
  if (switches.muted == 0 && switches.soloed == 0) return;
  switches.muted = 0;
  switches.soloed = 0;
  switched(switches);
}

int voice_mute_add_listener(voice_switches& switches, std::function<void()> listener) {
  const int id = switches.next_id++;
  switches.listeners.emplace(id, std::move(listener));
  return id;
}

void voice_mute_remove_listener(voice_switches& switches, int id) { switches.listeners.erase(id); }

void voice_mute_engine_plays_song(voice_switches& switches, bool song) {
  switches.song_plays = song;
  hand_to_engine(switches);
}
