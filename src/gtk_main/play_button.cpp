// The playing thread never touches a widget: the player says on the main
// loop when a song starts, stops or ends, and the labels follow. The elapsed
// time is read from the player's position, polled only while something plays.

#include "play_button.h"

#include <cstdint>
#include <string>
#include <utility>

#include "id666.h"
#include "message_line.h"
#include "voice_mute.h"

namespace {

constexpr char play_label[] = "Play";
constexpr char stop_label[] = "Stop";
constexpr guint elapsed_poll_ms = 200;

}  // namespace

struct play_button {
  play_button_widgets widgets{};
  QuorlinPlayer* player = nullptr;       // owned
  GtkWidget* playing_button = nullptr;   // the button labelled with its stop text; weak
  std::string playing_button_idle_text;  // what it reads again when playing stops
  GtkWidget* last_started = nullptr;     // weak; null: the Play button
  std::shared_ptr<const spc_format> image;
  std::int32_t length_seconds = 0;  // the tag's length of what plays; 0: none
  guint elapsed_timer = 0;
  gulong state_handler = 0;
  // While play starts: the button and texts the player's "playing" labels.
  GtkWidget* starting_button = nullptr;  // weak
  std::string starting_play_text;
  std::string starting_stop_text;
  voice_switches voices;  // Mute and Solo, for the song
};

namespace {

void set_weak(GtkWidget*& slot, GtkWidget* widget) {
  if (slot) g_object_remove_weak_pointer(G_OBJECT(slot), reinterpret_cast<gpointer*>(&slot));
  slot = widget;
  if (slot) g_object_add_weak_pointer(G_OBJECT(slot), reinterpret_cast<gpointer*>(&slot));
}

void show_elapsed(play_button& controls) {
  GtkWidget* label = controls.widgets.label_elapsed;
  if (!label) return;
  std::string text = minutes_seconds_text(
      static_cast<std::int64_t>(quorlin_player_get_position(controls.player)));
  if (controls.length_seconds > 0) text += " / " + minutes_seconds_text(controls.length_seconds);
  // The text changes once a second, the poll comes five times: each new text
  // costs the window a resize and a redraw, an unchanged one nothing.
  if (text != gtk_label_get_text(GTK_LABEL(label))) gtk_label_set_text(GTK_LABEL(label), text.c_str());
}

gboolean on_elapsed_tick(gpointer data) noexcept {
  show_elapsed(*static_cast<play_button*>(data));
  return G_SOURCE_CONTINUE;
}

// Back to idle: the label says "Play", the clock goes away.
void show_stopped(play_button& controls) {
  if (controls.playing_button)
    gtk_button_set_label(GTK_BUTTON(controls.playing_button),
                         controls.playing_button_idle_text.c_str());
  set_weak(controls.playing_button, nullptr);
  if (controls.elapsed_timer) g_source_remove(controls.elapsed_timer);
  controls.elapsed_timer = 0;
  if (controls.widgets.label_elapsed) gtk_widget_hide(controls.widgets.label_elapsed);
}

// The button that started the song now reads its stop text, and the clock runs.
void show_playing(play_button& controls) {
  GtkWidget* button = controls.starting_button;
  if (!button) return;
  gtk_button_set_label(GTK_BUTTON(button), controls.starting_stop_text.c_str());
  set_weak(controls.playing_button, button);
  controls.playing_button_idle_text = controls.starting_play_text;
  set_weak(controls.last_started, button);
  show_elapsed(controls);
  if (controls.widgets.label_elapsed) {
    gtk_widget_show(controls.widgets.label_elapsed);
    controls.elapsed_timer = g_timeout_add(elapsed_poll_ms, on_elapsed_tick, &controls);
  }
}

void on_player_state(QuorlinPlayer*, int state, gpointer data) noexcept {
  play_button& controls = *static_cast<play_button*>(data);
  if (state == QUORLIN_PLAYER_PLAYING) {
    show_playing(controls);
  } else {
    show_stopped(controls);
  }
}

// Plays `image` and labels `button`; false when nothing could play.
bool start(play_button& controls, GtkWidget* button, std::shared_ptr<const spc_format> image,
           const char* play_text, const char* stop_text) {
  controls.length_seconds = image ? id666_song_seconds(*image) : 0;
  // The Voices page's Mute and Solo are for the song, not a sample alone.
  voice_mute_engine_plays_song(controls.voices, button == controls.widgets.button_play);
  set_weak(controls.starting_button, button);
  controls.starting_play_text = play_text;
  controls.starting_stop_text = stop_text;
  const play_result result = quorlin_player_play(controls.player, std::move(image));
  set_weak(controls.starting_button, nullptr);
  switch (result) {
    case play_result::playing:
      return true;
    case play_result::no_audio_device:
      message_line_show(controls.widgets.box, message_kind::error, "Error opening audio device.");
      return false;
    case play_result::no_thread:
      message_line_show(controls.widgets.box, message_kind::error, "Unable to create thread.");
      return false;
  }
  return false;
}

}  // namespace

// The widgets may be gone already (the window destroyed): only the weak
// pointers and the clock's source are let go.
void play_button_free::operator()(play_button* controls) const noexcept {
  g_signal_handler_disconnect(controls->player, controls->state_handler);
  quorlin_player_stop(controls->player);
  if (controls->elapsed_timer) g_source_remove(controls->elapsed_timer);
  set_weak(controls->playing_button, nullptr);
  set_weak(controls->last_started, nullptr);
  g_object_unref(controls->player);
  delete controls;
}

play_button_ptr play_button_new() {
  play_button_ptr controls(new play_button);
  controls->player = quorlin_player_new();
  controls->state_handler = g_signal_connect(controls->player, "state-changed",
                                             G_CALLBACK(on_player_state), controls.get());
  play_button_widgets& w = controls->widgets;
  w.box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
  gtk_widget_set_halign(w.box, GTK_ALIGN_START);
  w.button_play = gtk_button_new_with_label(play_label);
  g_signal_connect(w.button_play, "clicked", G_CALLBACK(play_spc_shim), controls.get());
  w.label_elapsed = gtk_label_new("");
  // Digits of one width, so the clock does not jitter as it counts.
  PangoAttrList* attributes = pango_attr_list_new();
  pango_attr_list_insert(attributes, pango_attr_font_features_new("tnum"));
  gtk_label_set_attributes(GTK_LABEL(w.label_elapsed), attributes);
  pango_attr_list_unref(attributes);
  gtk_widget_set_no_show_all(w.label_elapsed, TRUE);
  gtk_box_pack_start(GTK_BOX(w.box), w.button_play, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(w.box), w.label_elapsed, FALSE, FALSE, 0);
  return controls;
}

const play_button_widgets& play_button_get_widgets(const play_button& controls) {
  return controls.widgets;
}

QuorlinPlayer* play_button_player(const play_button& controls) { return controls.player; }

void play_button_set_image(play_button& controls, std::shared_ptr<const spc_format> image) {
  play_button_stop(controls);
  set_weak(controls.last_started, nullptr);
  controls.image = std::move(image);
}

bool play_button_play(play_button& controls, GtkWidget* button,
                      std::shared_ptr<const spc_format> image, const char* play_text,
                      const char* stop_text) {
  return start(controls, button, std::move(image), play_text, stop_text);
}

GtkWidget* play_button_last_started(const play_button& controls) {
  return controls.last_started ? controls.last_started : controls.widgets.button_play;
}

GtkWidget* play_button_playing(const play_button& controls) {
  return quorlin_player_get_state(controls.player) == QUORLIN_PLAYER_PLAYING
             ? controls.playing_button
             : nullptr;
}

void play_button_stop(play_button& controls) { quorlin_player_stop(controls.player); }

bool play_button_is_playing(const play_button& controls) {
  return quorlin_player_get_state(controls.player) == QUORLIN_PLAYER_PLAYING;
}

void play_spc_shim(GtkWidget* widget, gpointer data) noexcept {
  play_button& controls = *static_cast<play_button*>(data);
  if (play_button_playing(controls) == widget) {
    play_button_stop(controls);
  } else {
    start(controls, widget, controls.image, play_label, stop_label);
  }
}

voice_switches& play_button_voices(play_button& controls) { return controls.voices; }
