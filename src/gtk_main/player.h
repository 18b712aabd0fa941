// Playing as an object: a QuorlinPlayer wraps the playback engine (one
// spc_player) and says what it is doing. Its state is idle (nothing started,
// or stopped), playing, or ended (the song reached its end by itself); every
// change emits "state-changed" on the main loop, whoever caused it. The
// playing position is the "position" property, in seconds; the playing
// thread moves it, so it sends no notification: read it when you need it.
// GTK main thread only, except quorlin_player_get_position (any thread).
#pragma once

#include <glib-object.h>

#include <cstdint>
#include <memory>

#include "playback.h"
#include "spc.h"

G_BEGIN_DECLS

typedef enum {
  QUORLIN_PLAYER_IDLE,
  QUORLIN_PLAYER_PLAYING,
  QUORLIN_PLAYER_ENDED,
} QuorlinPlayerState;

#define QUORLIN_TYPE_PLAYER (quorlin_player_get_type())
G_DECLARE_FINAL_TYPE(QuorlinPlayer, quorlin_player, QUORLIN, PLAYER, GObject)

// A player in state idle. GTK main thread only.
QuorlinPlayer* quorlin_player_new(void);

QuorlinPlayerState quorlin_player_get_state(QuorlinPlayer* player);

// Seconds of the song handed to the device since the last play started.
// Any thread.
double quorlin_player_get_position(QuorlinPlayer* player);

// Frames (32 kHz) handed to the device since the last play started.
// Any thread.
std::uint64_t quorlin_player_get_frames_played(QuorlinPlayer* player);

// Stops and joins what plays (within about a quarter of a second); the state
// becomes idle. Nothing to stop: nothing changes. GTK main thread only.
void quorlin_player_stop(QuorlinPlayer* player);

// Whether a playing thread exists (started and not yet joined). For tests.
// GTK main thread only.
gboolean quorlin_player_thread_exists(QuorlinPlayer* player);

G_END_DECLS

// Stops what plays, then plays `image` from its start. playing: the state
// becomes playing; otherwise (no device: the thread is stopped again, as
// nothing would be heard; no thread) it becomes idle. GTK main thread only.
play_result quorlin_player_play(QuorlinPlayer* player, std::shared_ptr<const spc_format> image);
