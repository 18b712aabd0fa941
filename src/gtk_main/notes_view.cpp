// As the lane view does, the view draws its background (ruler, key rows
// and notes) once into a surface like the window's and repaints from it;
// the hover and the playhead go on top at each draw, so a frame in which
// only the playhead moves costs one copy. The background is made again
// when the size, the stretch shown, the trace or the muted voices change.

#include "notes_view.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "sample_tuning.h"

namespace {

constexpr double min_span_seconds = timeline_min_span_seconds;

struct notes_view_state {
  GtkWidget* area = nullptr;
  std::shared_ptr<const song_trace> trace;
  notes_root_key root_key_of;
  notes_roll roll;
  bool roll_stale = false;  // the trace or the roots changed since it was laid out
  timeline_window window{0, 1};
  bool following = true;  // the user has not zoomed or scrolled away from the playhead
  u8 muted = 0;
  timeline_background background;
  double playhead = -1;
  pointer_hover<std::size_t> hover;
  timeline_sample_chosen on_sample_chosen;
};

constexpr const char* state_key = "quorlin-notes-view";

notes_view_state& state_of(GtkWidget* widget) {
  return *static_cast<notes_view_state*>(g_object_get_data(G_OBJECT(widget), state_key));
}

double total_seconds(const notes_view_state& state) {
  return std::max(state.trace ? state.trace->seconds() : 0.0, min_span_seconds);
}

const notes_roll& roll_of(notes_view_state& state) {
  if (state.roll_stale) {
    state.roll = state.trace ? make_notes_roll(*state.trace, state.root_key_of) : notes_roll{};
    state.roll_stale = false;
  }
  return state.roll;
}

notes_geometry geometry_of(notes_view_state& state) {
  const notes_roll& roll = roll_of(state);
  return {{gtk_widget_get_allocated_width(state.area), gtk_widget_get_allocated_height(state.area),
           state.window.first_seconds, state.window.span_seconds},
          roll.low_key,
          roll.high_key};
}

void show_window(notes_view_state& state, timeline_window window) {
  const double total = total_seconds(state);
  window.span_seconds = std::clamp(window.span_seconds, min_span_seconds, total);
  window.first_seconds = std::clamp(window.first_seconds, 0.0, total - window.span_seconds);
  state.window = window;
  state.background.drop();
  gtk_widget_queue_draw(state.area);
}

bool is_black_key(int key) {
  const int in_octave = ((key % 12) + 12) % 12;
  return in_octave == 1 || in_octave == 3 || in_octave == 6 || in_octave == 8 || in_octave == 10;
}

void draw_key_rows(cairo_t* cr, const notes_geometry& g) {
  const double row = g.key_height();
  const int width = g.time.width;
  cairo_set_font_size(cr, 10);
  for (int key = g.low_key; key <= g.high_key; ++key) {
    const double top = g.y_of(key) - row / 2;
    if (is_black_key(key)) {
      cairo_set_source_rgb(cr, 0.08, 0.09, 0.10);
      cairo_rectangle(cr, timeline_geometry::header_width, top, width, row);
      cairo_fill(cr);
    }
    if (((key % 12) + 12) % 12 != 0) continue;
    // A line under each C, named in the header where there is room.
    cairo_set_source_rgb(cr, 0.22, 0.23, 0.26);
    cairo_rectangle(cr, timeline_geometry::header_width, std::floor(top + row), width, 1);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.85, 0.86, 0.88);
    cairo_move_to(cr, 6, top + row / 2 + 4);
    cairo_show_text(cr, midi_note_name(key).c_str());
  }
}

// A note as steps: a bar at each key it sounds at, from one pitch change
// to the next, and a line joining a step to the next.
void draw_note(cairo_t* cr, const notes_geometry& g, const notes_note& note) {
  const double bar = std::max(2.0, std::floor(g.key_height() * 0.8));
  double last_y = std::nan("");
  for (std::size_t i = 0; i < note.path.size(); ++i) {
    const notes_point& point = note.path[i];
    const std::int64_t to = i + 1 < note.path.size() ? note.path[i + 1].sample : note.end;
    if (!std::isfinite(point.key)) {
      last_y = std::nan("");
      continue;
    }
    const double x0 = std::floor(g.time.x_of(double(point.sample) / dsp_sample_rate));
    const double x1 = std::max(std::floor(g.time.x_of(double(to) / dsp_sample_rate)), x0 + 1);
    const double y = std::floor(g.y_of(point.key) - bar / 2);
    cairo_rectangle(cr, x0, y, i + 1 == note.path.size() ? std::max(x1 - x0, 2.0) : x1 - x0, bar);
    if (std::isfinite(last_y) && last_y != y)
      cairo_rectangle(cr, x0, std::min(last_y, y), 1, std::abs(last_y - y) + bar);
    last_y = y;
  }
}

void draw_notes(cairo_t* cr, const notes_geometry& g, const notes_roll& roll, u8 muted) {
  cairo_save(cr);
  cairo_rectangle(cr, timeline_geometry::header_width, timeline_geometry::ruler_height,
                  g.time.width - timeline_geometry::header_width, g.time.height);
  cairo_clip(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  const auto first = static_cast<std::int64_t>(std::floor(g.time.first_seconds * dsp_sample_rate));
  const auto last = static_cast<std::int64_t>(
      std::ceil((g.time.first_seconds + g.time.span_seconds) * dsp_sample_rate));
  // A voice at a time, one fill per voice.
  for (int voice = 0; voice < dsp_voice_count; ++voice) {
    for (const notes_note& note : roll.notes)
      if (note.voice == voice && note.end >= first && note.start <= last) draw_note(cr, g, note);
    double rgb[3];
    timeline_voice_rgb(voice, rgb);
    cairo_set_source_rgba(cr, rgb[0], rgb[1], rgb[2], muted & (1u << voice) ? 0.25 : 1.0);
    cairo_fill(cr);
  }
  cairo_restore(cr);
}

gboolean draw_view(GtkWidget* area, cairo_t* cr, gpointer) noexcept {
  notes_view_state& state = state_of(area);
  const notes_geometry g = geometry_of(state);
  if (g.time.width <= 0 || g.time.height <= 0) return FALSE;
  state.background.paint(cr, g.time.width, g.time.height, [&state, &g](cairo_t* background) {
    notes_draw(background, g, state.roll, state.muted);
  });
  cairo_save(cr);
  cairo_rectangle(cr, timeline_geometry::header_width, 0, g.time.width, g.time.height);
  cairo_clip(cr);
  if (state.hover.place && *state.hover.place < state.roll.notes.size()) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    draw_note(cr, g, state.roll.notes[*state.hover.place]);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
  }
  if (state.playhead >= 0 && state.window.shows(state.playhead)) {
    const double x = std::floor(g.time.x_of(state.playhead)) + 0.5;
    cairo_set_source_rgb(cr, 1.0, 0.25, 0.25);
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, x, 0);
    cairo_line_to(cr, x, g.time.height);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
  return FALSE;
}

std::optional<std::size_t> note_at(notes_view_state& state, double x, double y) {
  if (!state.trace) return std::nullopt;
  const notes_geometry g = geometry_of(state);
  return notes_note_at(state.roll, g, x, y);
}

std::string describe(const notes_view_state& state, std::size_t index) {
  const notes_note& note = state.roll.notes[index];
  return notes_describe(note, state.trace->events[note.event]);
}

gboolean pointer_moved(GtkWidget* area, GdkEventMotion* event, gpointer) noexcept {
  notes_view_state& state = state_of(area);
  const auto name = [&state](const std::size_t& at) { return describe(state, at); };
  if (state.hover.point_at(note_at(state, event->x, event->y), name)) gtk_widget_queue_draw(area);
  return FALSE;
}

gboolean pointer_left(GtkWidget* area, GdkEventCrossing*, gpointer) noexcept {
  notes_view_state& state = state_of(area);
  state.hover.clear();
  gtk_widget_queue_draw(area);
  return FALSE;
}

gboolean tooltip_wanted(GtkWidget* area, gint x, gint y, gboolean, GtkTooltip* tooltip,
                        gpointer) noexcept {
  notes_view_state& state = state_of(area);
  const std::optional<std::size_t> note = note_at(state, x, y);
  if (!note) return FALSE;
  gtk_tooltip_set_text(tooltip, describe(state, *note).c_str());
  return TRUE;
}

gboolean pressed(GtkWidget* area, GdkEventButton* event, gpointer) noexcept {
  notes_view_state& state = state_of(area);
  if (event->button != GDK_BUTTON_PRIMARY || event->type != GDK_BUTTON_PRESS) return FALSE;
  const std::optional<std::size_t> note = note_at(state, event->x, event->y);
  if (!note) return FALSE;
  if (state.on_sample_chosen)
    state.on_sample_chosen(state.trace->events[state.roll.notes[*note].event].srcn + 1);
  return TRUE;
}

gboolean scrolled(GtkWidget* area, GdkEventScroll* event, gpointer) noexcept {
  notes_view_state& state = state_of(area);
  const std::optional<timeline_window> moved =
      timeline_scrolled(state.window, event, geometry_of(state).time.seconds_at(event->x),
                        total_seconds(state));
  if (!moved || !state.trace) return FALSE;
  show_window(state, *moved);
  state.following = state.window.shows(std::max(state.playhead, 0.0));
  return TRUE;
}

}  // namespace

GtkWidget* notes_view_new(timeline_sample_chosen on_sample_chosen) {
  auto owned = std::make_unique<notes_view_state>();
  notes_view_state& state = *owned;
  state.on_sample_chosen = std::move(on_sample_chosen);
  state.area = gtk_drawing_area_new();
  gtk_widget_set_size_request(state.area, 320, 200);
  gtk_widget_set_hexpand(state.area, TRUE);
  gtk_widget_set_vexpand(state.area, TRUE);
  gtk_widget_add_events(state.area, GDK_POINTER_MOTION_MASK | GDK_LEAVE_NOTIFY_MASK |
                                        GDK_BUTTON_PRESS_MASK | GDK_SCROLL_MASK |
                                        GDK_SMOOTH_SCROLL_MASK);
  gtk_widget_set_has_tooltip(state.area, TRUE);
  atk_object_set_name(gtk_widget_get_accessible(state.area), "Notes");
  g_signal_connect(state.area, "draw", G_CALLBACK(draw_view), nullptr);
  g_signal_connect(state.area, "motion-notify-event", G_CALLBACK(pointer_moved), nullptr);
  g_signal_connect(state.area, "leave-notify-event", G_CALLBACK(pointer_left), nullptr);
  g_signal_connect(state.area, "query-tooltip", G_CALLBACK(tooltip_wanted), nullptr);
  g_signal_connect(state.area, "button-press-event", G_CALLBACK(pressed), nullptr);
  g_signal_connect(state.area, "scroll-event", G_CALLBACK(scrolled), nullptr);
  GtkWidget* area = state.area;
  g_object_set_data_full(G_OBJECT(area), state_key, owned.release(),
                         [](gpointer data) { delete static_cast<notes_view_state*>(data); });
  return area;
}

void notes_view_set_trace(GtkWidget* view, std::shared_ptr<const song_trace> trace) {
  notes_view_state& state = state_of(view);
  state.trace = std::move(trace);
  state.roll_stale = true;
  state.hover.clear();
  state.following = true;
  show_window(state, {0, total_seconds(state)});
}

void notes_view_set_root_key_source(GtkWidget* view, notes_root_key root_key_of) {
  notes_view_state& state = state_of(view);
  state.root_key_of = std::move(root_key_of);
  state.roll_stale = true;
  state.background.drop();
  gtk_widget_queue_draw(state.area);
}

void notes_view_set_playhead(GtkWidget* view, double seconds) {
  notes_view_state& state = state_of(view);
  const bool moved_a_pixel =
      timeline_playhead_moves(geometry_of(state).time, state.playhead, seconds);
  state.playhead = seconds;
  if (seconds >= 0 && state.following && !state.window.shows(seconds))
    show_window(state, timeline_keep_in_sight(state.window, seconds, total_seconds(state)));
  else if (moved_a_pixel)
    gtk_widget_queue_draw(state.area);
}

void notes_view_set_muted(GtkWidget* view, u8 muted_voices) {
  notes_view_state& state = state_of(view);
  if (state.muted == muted_voices) return;
  state.muted = muted_voices;
  state.background.drop();
  gtk_widget_queue_draw(state.area);
}

const notes_roll& notes_view_roll(GtkWidget* view) { return roll_of(state_of(view)); }

notes_geometry notes_view_geometry(GtkWidget* view) { return geometry_of(state_of(view)); }

std::string notes_view_hover_text(GtkWidget* view) { return state_of(view).hover.text; }

void notes_draw(cairo_t* cr, const notes_geometry& geometry, const notes_roll& roll,
                u8 muted_voices) {
  cairo_set_source_rgb(cr, 0.10, 0.11, 0.13);
  cairo_paint(cr);
  cairo_select_font_face(cr, "Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_source_rgb(cr, 0.16, 0.17, 0.20);
  cairo_rectangle(cr, 0, timeline_geometry::ruler_height, timeline_geometry::header_width - 1,
                  geometry.time.height);
  cairo_fill(cr);
  draw_key_rows(cr, geometry);
  timeline_draw_ruler(cr, geometry.time);
  draw_notes(cr, geometry, roll, muted_voices);
}
