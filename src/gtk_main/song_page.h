// The inspector's "Song" page: the song's trace as lanes of key-ons
// (timeline_view) or as notes on a piano roll (notes_view), switched
// between by "Lanes" and "Notes" above them, built the first time the
// page is shown. While the song plays (the player plays what the Play
// button started) the shown view's playhead follows the frames played; a
// click on the lanes' ruler while it plays starts the song again from its
// start, the emulator here not seeking. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "play_button.h"
#include "song_trace.h"
#include "timeline_view.h"

// Builds the page, empty until first shown; a mark pressed or entered calls
// `on_sample_chosen`; the song plays through `controls`, which outlive the
// page. GTK main thread only.
GtkWidget* song_page_new(play_button& controls, timeline_sample_chosen on_sample_chosen);

// Where the timeline's hover finds a sample's root key for its note names
// (without one, pitches show in hexadecimal alone). GTK main thread only.
void song_page_set_root_key_source(GtkWidget* page, timeline_root_key root_key_of);

// Shows `trace` (null: none yet), now or once the page is built. GTK main
// thread only.
void song_page_show_trace(GtkWidget* page, std::shared_ptr<const song_trace> trace);

// The lanes (timeline view), the notes view and the GtkStack that shows
// one of them; null until the page has first been shown. GTK main thread only.
GtkWidget* song_page_timeline(GtkWidget* page);
GtkWidget* song_page_notes(GtkWidget* page);
GtkWidget* song_page_views(GtkWidget* page);
