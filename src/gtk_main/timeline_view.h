// The song's timeline: eight lanes, one per voice, each headed in its
// voice's colour, time running left to right under a ruler in m:ss; each
// key-on a mark in its sample's hue from the audio RAM map, as tall as the
// key-on is loud, numbered where it fits.
// "−", "+" and "Fit" buttons, Ctrl+scroll, + and − zoom; a scroll bar and the
// wheel scroll. A playhead follows the song, the view keeping it in sight
// unless the user has scrolled away. Hovering names the key-on; a click on
// a mark or Enter on the keyboard's mark asks to inspect its sample; the
// arrows move between key-ons. GTK main thread only.
#pragma once

#include <gtk/gtk.h>
#include <cairo.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "song_trace.h"
#include "timeline_layout.h"

// Called with the sample number (SRCN + 1) of a pressed or entered mark.
using timeline_sample_chosen = std::function<void(int sample_number)>;
// Called with the time under a press on the ruler, in seconds.
using timeline_time_chosen = std::function<void(double seconds)>;
// The root key of sample `sample_number` (timeline_layout.h), when its
// tuning is known.
using timeline_root_key = std::function<std::optional<double>(int sample_number)>;

// What a view's pointer is over (one of its marks, or none) and the text
// that names it, for the lanes and the notes alike. GTK main thread only.
template <class Place>
struct pointer_hover {
  std::optional<Place> place;
  std::string text;
  // Points at `at`, named by `describe`; returns whether it moved, when
  // the view draws again.
  template <class Describe>
  bool point_at(std::optional<Place> at, Describe&& describe) {
    if (at == place) return false;
    place = at;
    text = at ? describe(*at) : std::string();
    return true;
  }
  void clear() {
    place.reset();
    text.clear();
  }
};

// Builds the view, showing no trace; returns the box to pack. GTK main
// thread only.
GtkWidget* timeline_view_new(timeline_sample_chosen on_sample_chosen,
                             timeline_time_chosen on_time_chosen);

// Shows `trace` (null: nothing), fitted to the width. GTK main thread only.
void timeline_view_set_trace(GtkWidget* view, std::shared_ptr<const song_trace> trace);

// Puts the playhead at `seconds` (negative: none). GTK main thread only.
void timeline_view_set_playhead(GtkWidget* view, double seconds);

// Marks the voices of `muted_voices` (bit v: voice v) muted in their lane
// headers. GTK main thread only.
void timeline_view_set_muted(GtkWidget* view, u8 muted_voices);

// Where the hover finds a sample's root key for its note names; without
// one the pitch shows in hexadecimal alone. GTK main thread only.
void timeline_view_set_root_key_source(GtkWidget* view, timeline_root_key root_key_of);

// Zooms about the middle of the view (below 1 zooms in), or fits the whole
// trace. GTK main thread only.
void timeline_view_zoom(GtkWidget* view, double factor);
void timeline_view_fit(GtkWidget* view);

// The stretch shown, and the keyboard's mark. GTK main thread only.
timeline_window timeline_view_window(GtkWidget* view);
std::optional<timeline_place> timeline_view_cursor(GtkWidget* view);

// The tooltip's text for the mark under the pointer's last position; ""
// off the marks. GTK main thread only.
std::string timeline_view_hover_text(GtkWidget* view);

// The drawing area (accessible name "Timeline") and the buttons. GTK main
// thread only.
GtkWidget* timeline_view_area(GtkWidget* view);
GtkWidget* timeline_view_fit_button(GtkWidget* view);

// What the lanes and the Notes view share.

// The shortest stretch either view shows.
inline constexpr double timeline_min_span_seconds = 0.05;

// A view's background, drawn once into a surface like the window's and
// painted from it at each draw until dropped (a change of what it shows)
// or the size changes. GTK main thread only.
class timeline_background {
 public:
  void paint(cairo_t* cr, int width, int height, const std::function<void(cairo_t*)>& draw);
  void drop() { surface_.reset(); }

 private:
  struct surface_deleter {
    void operator()(cairo_surface_t* surface) const noexcept { cairo_surface_destroy(surface); }
  };
  std::unique_ptr<cairo_surface_t, surface_deleter> surface_;
  int width_ = 0;
  int height_ = 0;
};

// The stretch shown after `event` over a view of `total` seconds: with
// Ctrl the wheel zooms about `anchor` (seconds), alone it scrolls. None
// when it moves nothing. GTK main thread only.
std::optional<timeline_window> timeline_scrolled(timeline_window window,
                                                 const GdkEventScroll* event, double anchor,
                                                 double total);

// Whether the playhead moving from `from` to `to` seconds (negative: none)
// changes what `g` shows of it. Any thread.
bool timeline_playhead_moves(const timeline_geometry& g, double from, double to);

// Draws the ruler across the top of `g`, in m:ss. Any thread, for a `cr`
// of its own.
void timeline_draw_ruler(cairo_t* cr, const timeline_geometry& g);

// Draws what the view caches (ruler, headers, lanes, marks) for `window`
// into `cr` over `width` x `height`. Any thread, for a `cr` of its own.
void timeline_draw(cairo_t* cr, int width, int height, const song_trace& trace,
                   const timeline_lanes& lanes, timeline_window window, u8 muted_voices);
