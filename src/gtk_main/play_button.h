// The playback controller: the Play/Stop button, the elapsed-time label
// beside it, and what plays: the song, or anything another button hands it,
// one at a time. A button's label is the state: "Play" when nothing plays,
// "Stop" while its song does; a song that ends by itself turns it back to
// "Play". GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>

#include "spc.h"

// The controller's widgets: the button and label, in a box to pack.
struct play_button_widgets {
  GtkWidget* box;
  GtkWidget* button_play;
  GtkWidget* label_elapsed;  // shown only while something plays
};

// Builds the button ("Play") and the label beside it, at their natural
// width. Call once. GTK main thread only.
const play_button_widgets& play_button_new();

// The widgets play_button_new built (all null before). GTK main thread only.
const play_button_widgets& play_button_get_widgets();

// Stops whatever plays and makes `image` what the next "Play" plays (null:
// nothing). GTK main thread only.
void play_button_set_image(std::shared_ptr<const spc_format> image);

// Stops and joins whatever plays; the button reads "Play". GTK main thread only.
void play_button_stop();

// Stops whatever plays, then plays `image` and labels `button` `stop_text`
// until it stops, when it reads `play_text` again: how any other button
// (Play Sample) plays through the one engine. Returns whether it plays; a
// failure is reported as for Play. GTK main thread only.
bool play_button_play(GtkWidget* button, std::shared_ptr<const spc_format> image,
                      const char* play_text, const char* stop_text);

// The button that started the last play since the image was last set, or
// the Play button: what Space presses. GTK main thread only.
GtkWidget* play_button_last_started();

// Whether something plays (the button reads "Stop"). GTK main thread only.
bool play_button_is_playing();

// Called with true when something starts to play and with false when it
// stops, however it stops (Stop, its end, a load, quit); one listener, null:
// none. GTK main thread only.
using play_button_listener = std::function<void(bool playing)>;
void play_button_set_listener(play_button_listener listener);

// "clicked" handler of the Play button: label "Play" plays the image last
// set from its start, any other label stops; the clicked button's label
// follows. A device that cannot be opened or a thread that cannot start is
// reported in the message line too, and leaves the label at "Play".
// GTK main thread only.
void play_spc_shim(GtkWidget* widget, gpointer data) noexcept;
