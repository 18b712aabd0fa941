// The playing thread never touches the object's state: when its song ends
// it posts to the main loop, which joins the thread and moves the state to
// ended. A notice from an earlier song finds the engine reset by the later
// play (its song has not ended) and changes nothing.

#include "player.h"

#include <new>
#include <utility>

#include "openspc.h"

struct _QuorlinPlayer {
  GObject parent_instance;
  spc_player* engine;  // owned; built in init, destroyed (stopping its thread) in finalize
  QuorlinPlayerState state;
};

G_DEFINE_TYPE(QuorlinPlayer, quorlin_player, G_TYPE_OBJECT)

namespace {

enum { property_0, property_state, property_position };

void set_state(QuorlinPlayer* player, QuorlinPlayerState state) {
  if (player->state == state) return;
  player->state = state;
  g_object_notify(G_OBJECT(player), "state");
  // By name: the class keeps no table of signal ids at file scope.
  g_signal_emit_by_name(player, "state-changed", static_cast<int>(state));
}

// On the main loop; holds a reference taken on the playing thread.
gboolean on_song_end(gpointer data) noexcept {
  auto* player = static_cast<QuorlinPlayer*>(data);
  if (player->state == QUORLIN_PLAYER_PLAYING && player->engine->song_ended()) {
    player->engine->stop();  // the thread has finished: the join is immediate
    set_state(player, QUORLIN_PLAYER_ENDED);
  }
  return G_SOURCE_REMOVE;
}

// On the playing thread: g_object_ref and g_idle_add are thread-safe.
void post_song_end(void* data) {
  g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, on_song_end, g_object_ref(G_OBJECT(data)),
                  g_object_unref);
}

void quorlin_player_get_property(GObject* object, guint id, GValue* value,
                                 GParamSpec* property) noexcept {
  auto* player = QUORLIN_PLAYER(object);
  switch (id) {
    case property_state:
      g_value_set_int(value, player->state);
      break;
    case property_position:
      g_value_set_double(value, quorlin_player_get_position(player));
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, property);
  }
}

// The thread is joined here, while the object still has its reference: a
// song ending meanwhile may take one more (its notice), and then the object
// lives on until that notice has run.
void quorlin_player_dispose(GObject* object) noexcept {
  QUORLIN_PLAYER(object)->engine->stop();
  G_OBJECT_CLASS(quorlin_player_parent_class)->dispose(object);
}

void quorlin_player_finalize(GObject* object) noexcept {
  delete QUORLIN_PLAYER(object)->engine;
  G_OBJECT_CLASS(quorlin_player_parent_class)->finalize(object);
}

}  // namespace

static void quorlin_player_class_init(QuorlinPlayerClass* klass) {
  GObjectClass* object_class = G_OBJECT_CLASS(klass);
  object_class->get_property = quorlin_player_get_property;
  object_class->dispose = quorlin_player_dispose;
  object_class->finalize = quorlin_player_finalize;
  g_object_class_install_property(
      object_class, property_state,
      g_param_spec_int("state", "State", "Idle, playing or ended", QUORLIN_PLAYER_IDLE,
                       QUORLIN_PLAYER_ENDED, QUORLIN_PLAYER_IDLE,
                       static_cast<GParamFlags>(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));
  g_object_class_install_property(
      object_class, property_position,
      g_param_spec_double("position", "Position", "Seconds played since the song started", 0,
                          G_MAXDOUBLE, 0,
                          static_cast<GParamFlags>(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));
  // The new state as the argument (a QuorlinPlayerState).
  g_signal_new("state-changed", G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_LAST, 0, nullptr, nullptr,
               nullptr, G_TYPE_NONE, 1, G_TYPE_INT);
}

static void quorlin_player_init(QuorlinPlayer* player) {
  player->engine = new spc_player;
  player->state = QUORLIN_PLAYER_IDLE;
  player->engine->set_song_end_notifier(post_song_end, player);
}

QuorlinPlayer* quorlin_player_new(void) {
  return QUORLIN_PLAYER(g_object_new(QUORLIN_TYPE_PLAYER, nullptr));
}

QuorlinPlayerState quorlin_player_get_state(QuorlinPlayer* player) { return player->state; }

std::uint64_t quorlin_player_get_frames_played(QuorlinPlayer* player) {
  return player->engine->frames_played();
}

double quorlin_player_get_position(QuorlinPlayer* player) {
  return static_cast<double>(player->engine->frames_played()) / OSPC_SAMPLE_RATE;
}

void quorlin_player_stop(QuorlinPlayer* player) {
  player->engine->stop();
  set_state(player, QUORLIN_PLAYER_IDLE);
}

gboolean quorlin_player_thread_exists(QuorlinPlayer* player) {
  return player->engine->thread_exists();
}

play_result quorlin_player_play(QuorlinPlayer* player, std::shared_ptr<const spc_format> image) {
  player->engine->stop();
  const play_result result = player->engine->play(std::move(image));
  if (result == play_result::no_audio_device) player->engine->stop();  // nothing would be heard
  // Through idle, so that listeners see a stop between two songs.
  set_state(player, QUORLIN_PLAYER_IDLE);
  if (result == play_result::playing) set_state(player, QUORLIN_PLAYER_PLAYING);
  return result;
}
