// The Song page's "Notes" view: the song as a piano roll, time across under
// the timeline's ruler and key up, each note in its voice's colour
// following its pitch changes (notes_layout.h), muted voices dimmed. The
// whole song fits the width; Ctrl+scroll zooms about the pointer and the
// wheel scrolls. A playhead follows the song, kept in sight. Hovering
// names the note, its sample and its voice; a click on a note asks to
// inspect its sample. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "notes_layout.h"
#include "song_trace.h"
#include "timeline_view.h"

// Builds the view, showing no trace; returns the widget to pack. A note
// clicked calls `on_sample_chosen` with its sample number. GTK main thread
// only.
GtkWidget* notes_view_new(timeline_sample_chosen on_sample_chosen);

// Shows `trace` (null: nothing), fitted to the width; its notes are laid
// out when first needed. GTK main thread only.
void notes_view_set_trace(GtkWidget* view, std::shared_ptr<const song_trace> trace);

// Where the notes' keys find their samples' roots (notes_layout.h). GTK
// main thread only.
void notes_view_set_root_key_source(GtkWidget* view, notes_root_key root_key_of);

// Puts the playhead at `seconds` (negative: none). GTK main thread only.
void notes_view_set_playhead(GtkWidget* view, double seconds);

// Dims the notes of `muted_voices` (bit v: voice v). GTK main thread only.
void notes_view_set_muted(GtkWidget* view, u8 muted_voices);

// The notes as laid out (laying them out now if need be), and where they
// are drawn at the view's present size. GTK main thread only.
const notes_roll& notes_view_roll(GtkWidget* view);
notes_geometry notes_view_geometry(GtkWidget* view);

// The tooltip's text for the note under the pointer's last position; ""
// off the notes. GTK main thread only.
std::string notes_view_hover_text(GtkWidget* view);

// Draws what the view caches (ruler, key rows, notes) into `cr`. Any
// thread, for a `cr` of its own.
void notes_draw(cairo_t* cr, const notes_geometry& geometry, const notes_roll& roll,
                u8 muted_voices);
