// The playing thread never touches a widget: when its song ends it posts to
// the main loop, and the elapsed time is read from the frames it publishes,
// polled only while something plays.

#include "play_button.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "id666.h"
#include "message_line.h"
#include "openspc.h"
#include "playback.h"
#include "voice_mute.h"

namespace {

constexpr char play_label[] = "Play";
constexpr char stop_label[] = "Stop";
constexpr guint elapsed_poll_ms = 200;

struct play_button_state {
  play_button_widgets widgets{};
  GtkWidget* playing_button = nullptr;  // the button whose label reads "Stop"
  std::string playing_button_idle_text;  // what it reads again when playing stops
  GtkWidget* last_started = nullptr;     // null: the Play button
  std::shared_ptr<const spc_format> image;
  std::int32_t length_seconds = 0;  // the tag's length of what plays; 0: none
  guint elapsed_timer = 0;
  play_button_listener listener;
};
play_button_state controller;

void show_elapsed() {
  GtkWidget* label = controller.widgets.label_elapsed;
  if (!label) return;
  std::string text =
      minutes_seconds_text(static_cast<std::int64_t>(spc_frames_played() / OSPC_SAMPLE_RATE));
  if (controller.length_seconds > 0)
    text += " / " + minutes_seconds_text(controller.length_seconds);
  // The text changes once a second, the poll comes five times: each new text
  // costs the window a resize and a redraw, an unchanged one nothing.
  if (text != gtk_label_get_text(GTK_LABEL(label))) gtk_label_set_text(GTK_LABEL(label), text.c_str());
}

gboolean on_elapsed_tick(gpointer) noexcept {
  show_elapsed();
  return G_SOURCE_CONTINUE;
}

// Back to idle: the label says "Play", the clock goes away.
void show_stopped() {
  const bool was_playing = controller.playing_button != nullptr;
  if (controller.playing_button) {
    gtk_button_set_label(GTK_BUTTON(controller.playing_button),
                         controller.playing_button_idle_text.c_str());
    g_object_remove_weak_pointer(G_OBJECT(controller.playing_button),
                                 reinterpret_cast<gpointer*>(&controller.playing_button));
    controller.playing_button = nullptr;
  }
  if (controller.elapsed_timer) g_source_remove(controller.elapsed_timer);
  controller.elapsed_timer = 0;
  if (controller.widgets.label_elapsed) gtk_widget_hide(controller.widgets.label_elapsed);
  if (was_playing && controller.listener) controller.listener(false);
}

void forget_last_started() {
  if (controller.last_started)
    g_object_remove_weak_pointer(G_OBJECT(controller.last_started),
                                 reinterpret_cast<gpointer*>(&controller.last_started));
  controller.last_started = nullptr;
}

void show_playing(GtkWidget* button, const char* play_text, const char* stop_text) {
  gtk_button_set_label(GTK_BUTTON(button), stop_text);
  controller.playing_button = button;
  controller.playing_button_idle_text = play_text;
  g_object_add_weak_pointer(G_OBJECT(button),
                            reinterpret_cast<gpointer*>(&controller.playing_button));
  forget_last_started();
  controller.last_started = button;
  g_object_add_weak_pointer(G_OBJECT(button),
                            reinterpret_cast<gpointer*>(&controller.last_started));
  show_elapsed();
  if (controller.widgets.label_elapsed) {
    gtk_widget_show(controller.widgets.label_elapsed);
    controller.elapsed_timer = g_timeout_add(elapsed_poll_ms, on_elapsed_tick, nullptr);
  }
  if (controller.listener) controller.listener(true);
}

// On the main loop, some time after a playing thread said its song ended.
// A later Play may have started another song since: only an ended song of
// the current thread turns the button back.
gboolean on_song_end(gpointer) noexcept {
  if (controller.playing_button && spc_song_ended()) play_button_stop();
  return G_SOURCE_REMOVE;
}

// On the playing thread.
void post_song_end(void*) { g_idle_add(on_song_end, nullptr); }

// Plays `image` and labels `button`; false when nothing could play.
bool start(GtkWidget* button, std::shared_ptr<const spc_format> image, const char* play_text,
           const char* stop_text) {
  set_song_end_notifier(post_song_end, nullptr);
  controller.length_seconds = image ? id666_song_seconds(*image) : 0;
  // The Voices page's Mute and Solo are for the song, not a sample alone.
  voice_mute_engine_plays_song(button == controller.widgets.button_play);
  switch (play_spc(std::move(image))) {
    case play_result::playing:
      show_playing(button, play_text, stop_text);
      return true;
    case play_result::no_audio_device:
      stop_spc();  // nothing would be heard
      message_line_show(message_kind::error, "Error opening audio device.");
      return false;
    case play_result::no_thread:
      message_line_show(message_kind::error, "Unable to create thread.");
      return false;
  }
  return false;
}

}  // namespace

const play_button_widgets& play_button_new() {
  play_button_widgets& w = controller.widgets;
  w.box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
  gtk_widget_set_halign(w.box, GTK_ALIGN_START);
  w.button_play = gtk_button_new_with_label(play_label);
  g_signal_connect(w.button_play, "clicked", G_CALLBACK(play_spc_shim), nullptr);
  w.label_elapsed = gtk_label_new("");
  // Digits of one width, so the clock does not jitter as it counts.
  PangoAttrList* attributes = pango_attr_list_new();
  pango_attr_list_insert(attributes, pango_attr_font_features_new("tnum"));
  gtk_label_set_attributes(GTK_LABEL(w.label_elapsed), attributes);
  pango_attr_list_unref(attributes);
  gtk_widget_set_no_show_all(w.label_elapsed, TRUE);
  gtk_box_pack_start(GTK_BOX(w.box), w.button_play, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(w.box), w.label_elapsed, FALSE, FALSE, 0);
  return w;
}

const play_button_widgets& play_button_get_widgets() { return controller.widgets; }

void play_button_set_image(std::shared_ptr<const spc_format> image) {
  play_button_stop();
  forget_last_started();
  controller.image = std::move(image);
}

bool play_button_play(GtkWidget* button, std::shared_ptr<const spc_format> image,
                      const char* play_text, const char* stop_text) {
  play_button_stop();
  return start(button, std::move(image), play_text, stop_text);
}

GtkWidget* play_button_last_started() {
  return controller.last_started ? controller.last_started : controller.widgets.button_play;
}

void play_button_stop() {
  stop_spc();
  show_stopped();
}

bool play_button_is_playing() { return controller.playing_button != nullptr; }

void play_button_set_listener(play_button_listener listener) {
  controller.listener = std::move(listener);
}

void play_spc_shim(GtkWidget* widget, gpointer /*data*/) noexcept {
  const gchar* label = gtk_button_get_label(GTK_BUTTON(widget));
  if (label != nullptr && std::strcmp(label, play_label) == 0) {
    play_button_stop();  // another button may have been playing
    start(widget, controller.image, play_label, stop_label);
  } else {
    play_button_stop();
    gtk_button_set_label(GTK_BUTTON(widget), play_label);
  }
}
