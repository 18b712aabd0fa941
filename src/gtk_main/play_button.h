// The playback controls: the Play/Stop button, the elapsed-time label beside
// it, and what plays through the window's player (player.h): the song, or
// anything another button hands it, one at a time. The player's state is
// the truth: the button that started what plays reads its stop text
// ("Stop") while the player plays and its play text ("Play") otherwise, and
// labels are never read back. The window owns one play_button. GTK main
// thread only.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>

#include "player.h"
#include "spc.h"
#include "voice_mute.h"

// The controls' widgets: the button and label, in a box to pack.
struct play_button_widgets {
  GtkWidget* box;
  GtkWidget* button_play;
  GtkWidget* label_elapsed;  // shown only while something plays
};

struct play_button;
struct play_button_free {
  void operator()(play_button* controls) const noexcept;
};
// Freeing the controls stops what plays and joins its thread.
using play_button_ptr = std::unique_ptr<play_button, play_button_free>;

// Builds the button ("Play"), the label beside it at their natural width,
// and a player. GTK main thread only.
play_button_ptr play_button_new();

// The widgets play_button_new built. GTK main thread only.
const play_button_widgets& play_button_get_widgets(const play_button& controls);

// The player every button plays through. GTK main thread only.
QuorlinPlayer* play_button_player(const play_button& controls);

// Stops whatever plays and makes `image` what the next "Play" plays (null:
// nothing). GTK main thread only.
void play_button_set_image(play_button& controls, std::shared_ptr<const spc_format> image);

// Stops and joins whatever plays; the button reads "Play". GTK main thread only.
void play_button_stop(play_button& controls);

// Stops whatever plays, then plays `image` and labels `button` `stop_text`
// until it stops, when it reads `play_text` again: how any other button
// (Play Sample) plays through the one player. Returns whether it plays; a
// failure is reported as for Play. GTK main thread only.
bool play_button_play(play_button& controls, GtkWidget* button,
                      std::shared_ptr<const spc_format> image, const char* play_text,
                      const char* stop_text);

// The button that started the last play since the image was last set, or
// the Play button: what Space presses. GTK main thread only.
GtkWidget* play_button_last_started(const play_button& controls);

// The button whose song plays now; null when nothing plays. GTK main thread only.
GtkWidget* play_button_playing(const play_button& controls);

// Whether something plays. GTK main thread only.
bool play_button_is_playing(const play_button& controls);

// "clicked" handler of the Play button, `data` the play_button: the button
// whose song plays stops it; otherwise the image last set plays from its
// start. A device that cannot be opened or a thread that cannot start is
// reported in the message line too, and leaves the label at "Play".
// GTK main thread only.
void play_spc_shim(GtkWidget* widget, gpointer data) noexcept;

// The voices' Mute and Solo switches, which Play hands the engine. GTK main
// thread only.
voice_switches& play_button_voices(play_button& controls);
