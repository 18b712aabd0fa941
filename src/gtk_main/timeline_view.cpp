// As the waveform does, the view draws its background (ruler, headers,
// lanes and marks) once into a surface like the window's and repaints from
// it; the hover, the keyboard's mark and the playhead go on top at each
// draw. The background is made again when the size, the stretch shown, the
// trace or the muted voices change. Only the marks inside the stretch are
// visited: each lane's marks are in time order, found by binary search.

#include "timeline_view.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

#include "aram_map.h"
#include "hex_text.h"

namespace {

constexpr double min_span_seconds = timeline_min_span_seconds;
constexpr double zoom_step = 1.5;
constexpr double scroll_step = 0.1;  // of the span, per wheel notch
constexpr double ruler_min_label_pixels = 56;

struct timeline_view_state {
  GtkWidget* area = nullptr;
  GtkAdjustment* adjustment = nullptr;  // value: first second shown; page: the span
  GtkWidget* fit_button = nullptr;
  std::shared_ptr<const song_trace> trace;
  timeline_lanes lanes;
  timeline_window window{0, 1};
  u8 muted = 0;
  timeline_background background;
  double playhead = -1;
  // Whether the view follows the playhead: it did not leave the user
  // looking elsewhere (the playhead, or the song's start while nothing
  // plays, out of sight) when the user last moved it.
  bool following = true;
  bool moving_adjustment = false;  // the view, not the user, is scrolling
  pointer_hover<timeline_place> hover;
  std::optional<timeline_place> cursor;
  timeline_sample_chosen on_sample_chosen;
  timeline_time_chosen on_time_chosen;
  timeline_root_key root_key_of;
};

constexpr const char* state_key = "quorlin-timeline-view";

timeline_view_state& state_of(GtkWidget* widget) {
  return *static_cast<timeline_view_state*>(g_object_get_data(G_OBJECT(widget), state_key));
}

double total_seconds(const timeline_view_state& state) {
  return std::max(state.trace ? state.trace->seconds() : 0.0, min_span_seconds);
}

timeline_geometry geometry_of(const timeline_view_state& state) {
  return {gtk_widget_get_allocated_width(state.area), gtk_widget_get_allocated_height(state.area),
          state.window.first_seconds, state.window.span_seconds};
}

const trace_event& key_on_of(const timeline_view_state& state, timeline_place place) {
  return state.trace->events[state.lanes.lanes[place.voice][place.index].event];
}

std::string describe(const timeline_view_state& state, timeline_place place) {
  const trace_event& key_on = key_on_of(state, place);
  const std::optional<double> root =
      state.root_key_of ? state.root_key_of(key_on.srcn + 1) : std::nullopt;
  return timeline_describe(key_on, root);
}

// Every change of the stretch shown passes here: the scroll bar follows.
void show_window(timeline_view_state& state, timeline_window window) {
  const double total = total_seconds(state);
  window.span_seconds = std::clamp(window.span_seconds, min_span_seconds, total);
  window.first_seconds = std::clamp(window.first_seconds, 0.0, total - window.span_seconds);
  state.window = window;
  state.background.drop();
  state.moving_adjustment = true;
  gtk_adjustment_configure(state.adjustment, window.first_seconds, 0, total,
                           window.span_seconds * scroll_step, window.span_seconds * 0.9,
                           window.span_seconds);
  state.moving_adjustment = false;
  gtk_widget_queue_draw(state.area);
}

// After the user scrolled or zoomed (or moved the keyboard's mark).
void user_moved_view(timeline_view_state& state) {
  state.following = state.window.shows(std::max(state.playhead, 0.0));
}

void set_colour(cairo_t* cr, double r, double g, double b) { cairo_set_source_rgb(cr, r, g, b); }

}  // namespace

void timeline_draw_ruler(cairo_t* cr, const timeline_geometry& g) {
  set_colour(cr, 0.16, 0.17, 0.20);
  cairo_rectangle(cr, 0, 0, g.width, timeline_geometry::ruler_height);
  cairo_fill(cr);
  const double pixels = std::max(1, g.width - timeline_geometry::header_width);
  const double step = timeline_ruler_step(g.span_seconds, pixels, ruler_min_label_pixels);
  cairo_set_font_size(cr, 10);
  cairo_set_line_width(cr, 1);
  for (double t = std::floor(g.first_seconds / step) * step;
       t <= g.first_seconds + g.span_seconds; t += step) {
    const double x = std::floor(g.x_of(t)) + 0.5;
    if (x < timeline_geometry::header_width) continue;
    set_colour(cr, 0.55, 0.56, 0.60);
    cairo_move_to(cr, x, timeline_geometry::ruler_height - 6);
    cairo_line_to(cr, x, timeline_geometry::ruler_height);
    cairo_stroke(cr);
    set_colour(cr, 0.85, 0.86, 0.88);
    cairo_move_to(cr, x + 3, timeline_geometry::ruler_height - 7);
    cairo_show_text(cr, timeline_time_text(t, step).c_str());
  }
}

namespace {

void draw_headers(cairo_t* cr, const timeline_geometry& g, u8 muted) {
  cairo_set_font_size(cr, 11);
  for (int voice = 0; voice < dsp_voice_count; ++voice) {
    const double top = g.lane_top(voice);
    const bool is_muted = muted & (1u << voice);
    set_colour(cr, 0.16, 0.17, 0.20);
    cairo_rectangle(cr, 0, top, timeline_geometry::header_width - 1, g.lane_height());
    cairo_fill(cr);
    double rgb[3];
    timeline_voice_rgb(voice, rgb);
    cairo_set_source_rgba(cr, rgb[0], rgb[1], rgb[2], is_muted ? 0.3 : 1.0);
    cairo_rectangle(cr, 0, top + 1, 3, std::max(1.0, g.lane_height() - 2));
    cairo_fill(cr);
    if (is_muted)
      set_colour(cr, 0.50, 0.50, 0.52);
    else
      set_colour(cr, 0.85, 0.86, 0.88);
    const std::string name =
        "Voice " + std::to_string(voice) + (is_muted ? " \u00b7 M" : "");
    cairo_move_to(cr, 6, top + g.lane_height() / 2 + 4);
    cairo_show_text(cr, name.c_str());
  }
}

// One mark's rectangle, in whole pixels, and its directory index.
struct mark_box {
  double x, y, width, height;
  u8 srcn;
};

// The marks in sight, lane by lane; a mark that would only repaint the
// pixel columns of the one before it on its lane is left out.
std::vector<mark_box> boxes_in_sight(const timeline_geometry& g, const song_trace& trace,
                                     const timeline_lanes& lanes) {
  const auto first = static_cast<std::int64_t>(std::floor(g.first_seconds * dsp_sample_rate));
  const auto last =
      static_cast<std::int64_t>(std::ceil((g.first_seconds + g.span_seconds) * dsp_sample_rate)) + 1;
  const double lane = g.lane_height();
  std::vector<mark_box> boxes;
  for (int voice = 0; voice < dsp_voice_count; ++voice) {
    const double top = g.lane_top(voice);
    const auto [begin, end] = timeline_marks_between(lanes, voice, first, last);
    double last_right = -1;
    for (std::size_t i = begin; i < end; ++i) {
      const timeline_mark& mark = lanes.lanes[voice][i];
      const trace_event& key_on = trace.events[mark.event];
      const double x0 = std::floor(g.x_of(double(mark.start) / dsp_sample_rate));
      const double x1 = std::max(std::floor(g.x_of(double(mark.end) / dsp_sample_rate)), x0 + 1);
      if (x1 <= last_right) continue;
      last_right = x1;
      const int loudness = std::max(std::abs(int{key_on.vol_left}), std::abs(int{key_on.vol_right}));
      const double share = 0.35 + 0.65 * std::min(loudness, 127) / 127.0;
      const double height = std::max(2.0, std::floor((lane - 4) * share));
      boxes.push_back({x0, std::floor(top + lane - 2 - height), x1 - x0, height, key_on.srcn});
    }
  }
  return boxes;
}

// Marks are filled a colour at a time, one path per sample: thousands of
// them cost a few hundred fills, not thousands.
void draw_marks(cairo_t* cr, const timeline_geometry& g, const song_trace& trace,
                const timeline_lanes& lanes, u8 muted) {
  const double lane = g.lane_height();
  cairo_save(cr);
  cairo_rectangle(cr, timeline_geometry::header_width, timeline_geometry::ruler_height,
                  g.width - timeline_geometry::header_width, g.height);
  cairo_clip(cr);
  // Whole pixels: no smoothing to pay for, and neighbouring marks stay apart.
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  set_colour(cr, 0.12, 0.13, 0.15);
  for (int voice = 1; voice < dsp_voice_count; voice += 2)
    cairo_rectangle(cr, timeline_geometry::header_width, g.lane_top(voice), g.width, lane);
  cairo_fill(cr);

  std::vector<mark_box> boxes = boxes_in_sight(g, trace, lanes);
  std::stable_sort(boxes.begin(), boxes.end(),
                   [](const mark_box& a, const mark_box& b) { return a.srcn < b.srcn; });
  for (std::size_t i = 0; i < boxes.size();) {
    const u8 srcn = boxes[i].srcn;
    for (; i < boxes.size() && boxes[i].srcn == srcn; ++i)
      cairo_rectangle(cr, boxes[i].x, boxes[i].y, boxes[i].width, boxes[i].height);
    double rgb[3];
    aram_map_sample_rgb(srcn + 1, rgb);
    set_colour(cr, rgb[0], rgb[1], rgb[2]);
    cairo_fill(cr);
  }
  // Where the next key-on follows at once, a gap at its start shows it.
  for (const mark_box& box : boxes)
    if (box.width >= 3) cairo_rectangle(cr, box.x, box.y, 1, box.height);
  set_colour(cr, 0.05, 0.05, 0.06);
  cairo_fill(cr);
  cairo_set_font_size(cr, 10);
  for (const mark_box& box : boxes) {
    const std::string number = hex_text_format(box.srcn + 1u);
    if (box.width < 7.0 * number.size() + 5 || box.height < 12) continue;
    cairo_move_to(cr, box.x + 3, box.y + box.height - 3);
    cairo_show_text(cr, number.c_str());
  }

  cairo_set_source_rgba(cr, 0.10, 0.11, 0.13, 0.6);
  for (int voice = 0; voice < dsp_voice_count; ++voice)
    if (muted & (1u << voice))
      cairo_rectangle(cr, timeline_geometry::header_width, g.lane_top(voice), g.width, lane);
  cairo_fill(cr);
  cairo_restore(cr);
}

void outline_mark(cairo_t* cr, const timeline_view_state& state, const timeline_geometry& g,
                  timeline_place place, double line_width) {
  const timeline_mark& mark = state.lanes.lanes[place.voice][place.index];
  const double x0 = std::floor(g.x_of(double(mark.start) / dsp_sample_rate));
  const double x1 = std::max(std::floor(g.x_of(double(mark.end) / dsp_sample_rate)), x0 + 3);
  cairo_set_line_width(cr, line_width);
  cairo_rectangle(cr, x0 + 0.5, g.lane_top(place.voice) + 0.5, x1 - x0 - 1, g.lane_height() - 1);
  cairo_stroke(cr);
}

gboolean draw_view(GtkWidget* area, cairo_t* cr, gpointer) noexcept {
  timeline_view_state& state = state_of(area);
  const timeline_geometry g = geometry_of(state);
  if (g.width <= 0 || g.height <= 0) return FALSE;
  state.background.paint(cr, g.width, g.height, [&state, &g](cairo_t* background) {
    if (state.trace)
      timeline_draw(background, g.width, g.height, *state.trace, state.lanes, state.window,
                    state.muted);
    else
      timeline_draw(background, g.width, g.height, song_trace{}, state.lanes, state.window,
                    state.muted);
  });

  cairo_save(cr);
  cairo_rectangle(cr, timeline_geometry::header_width, 0, g.width, g.height);
  cairo_clip(cr);
  if (state.trace && state.hover.place) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    outline_mark(cr, state, g, *state.hover.place, 1);
  }
  if (state.trace && state.cursor) {
    cairo_set_source_rgb(cr, 1.0, 1.0, 0.0);
    if (!gtk_widget_has_focus(area)) {
      const double dashes[] = {3, 3};
      cairo_set_dash(cr, dashes, 2, 0);
    }
    outline_mark(cr, state, g, *state.cursor, 2);
    cairo_set_dash(cr, nullptr, 0, 0);
  }
  if (state.playhead >= 0 && state.window.shows(state.playhead)) {
    const double x = std::floor(g.x_of(state.playhead)) + 0.5;
    cairo_set_source_rgb(cr, 1.0, 0.25, 0.25);
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, x, 0);
    cairo_line_to(cr, x, g.height);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
  return FALSE;
}

std::optional<timeline_place> mark_at(const timeline_view_state& state, double x, double y) {
  if (!state.trace) return std::nullopt;
  return timeline_mark_at(state.lanes, geometry_of(state), x, y);
}

gboolean pointer_moved(GtkWidget* area, GdkEventMotion* event, gpointer) noexcept {
  timeline_view_state& state = state_of(area);
  const auto name = [&state](const timeline_place& at) { return describe(state, at); };
  if (state.hover.point_at(mark_at(state, event->x, event->y), name)) gtk_widget_queue_draw(area);
  return FALSE;
}

gboolean pointer_left(GtkWidget* area, GdkEventCrossing*, gpointer) noexcept {
  timeline_view_state& state = state_of(area);
  state.hover.clear();
  gtk_widget_queue_draw(area);
  return FALSE;
}

gboolean tooltip_wanted(GtkWidget* area, gint x, gint y, gboolean keyboard, GtkTooltip* tooltip,
                        gpointer) noexcept {
  const timeline_view_state& state = state_of(area);
  std::optional<timeline_place> place = keyboard ? state.cursor : mark_at(state, x, y);
  if (!state.trace || !place) return FALSE;
  gtk_tooltip_set_text(tooltip, describe(state, *place).c_str());
  return TRUE;
}

// The keyboard's mark moves to `place`, kept in sight; a screen reader
// hears what the hover would show.
void move_cursor(timeline_view_state& state, timeline_place place) {
  state.cursor = place;
  const timeline_mark& mark = state.lanes.lanes[place.voice][place.index];
  const timeline_window window =
      timeline_keep_in_sight(state.window, double(mark.start) / dsp_sample_rate, total_seconds(state));
  if (window.first_seconds != state.window.first_seconds) {
    show_window(state, window);
    user_moved_view(state);
  }
  atk_object_set_description(gtk_widget_get_accessible(state.area), describe(state, place).c_str());
  gtk_widget_queue_draw(state.area);
}

void choose(timeline_view_state& state, timeline_place place) {
  if (state.on_sample_chosen) state.on_sample_chosen(key_on_of(state, place).srcn + 1);
}

gboolean pressed(GtkWidget* area, GdkEventButton* event, gpointer) noexcept {
  timeline_view_state& state = state_of(area);
  if (event->button != GDK_BUTTON_PRIMARY || event->type != GDK_BUTTON_PRESS) return FALSE;
  gtk_widget_grab_focus(area);
  const timeline_geometry g = geometry_of(state);
  if (state.trace && g.on_ruler(event->x, event->y)) {
    if (state.on_time_chosen)
      state.on_time_chosen(std::clamp(g.seconds_at(event->x), 0.0, total_seconds(state)));
    return TRUE;
  }
  const std::optional<timeline_place> place = mark_at(state, event->x, event->y);
  if (!place) return FALSE;
  move_cursor(state, *place);
  choose(state, *place);
  return TRUE;
}

void zoom_about(timeline_view_state& state, double factor, double anchor) {
  show_window(state, timeline_zoom(state.window, factor, anchor, total_seconds(state),
                                   min_span_seconds));
  user_moved_view(state);
}

gboolean scrolled(GtkWidget* area, GdkEventScroll* event, gpointer) noexcept {
  timeline_view_state& state = state_of(area);
  const std::optional<timeline_window> moved =
      timeline_scrolled(state.window, event, geometry_of(state).seconds_at(event->x),
                        total_seconds(state));
  if (!moved || !state.trace) return FALSE;
  show_window(state, *moved);
  user_moved_view(state);
  return TRUE;
}

gboolean key_pressed(GtkWidget* area, GdkEventKey* event, gpointer) noexcept {
  timeline_view_state& state = state_of(area);
  if (!state.trace) return FALSE;
  const double middle = state.window.first_seconds + state.window.span_seconds / 2;
  switch (event->keyval) {
    case GDK_KEY_plus:
    case GDK_KEY_equal:
    case GDK_KEY_KP_Add: zoom_about(state, 1 / zoom_step, middle); return TRUE;
    case GDK_KEY_minus:
    case GDK_KEY_KP_Subtract: zoom_about(state, zoom_step, middle); return TRUE;
    default: break;
  }
  if (!state.cursor) {
    const std::optional<timeline_place> first = timeline_first_mark(state.lanes);
    if (!first) return FALSE;
    state.cursor = first;
  }
  std::optional<timeline_place> next;
  switch (event->keyval) {
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left: next = timeline_step_in_lane(state.lanes, *state.cursor, -1); break;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right: next = timeline_step_in_lane(state.lanes, *state.cursor, 1); break;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up: next = timeline_step_lane(state.lanes, *state.cursor, -1); break;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down: next = timeline_step_lane(state.lanes, *state.cursor, 1); break;
    case GDK_KEY_Home: next = timeline_place{state.cursor->voice, 0}; break;
    case GDK_KEY_End:
      next = timeline_place{state.cursor->voice, state.lanes.lanes[state.cursor->voice].size() - 1};
      break;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
      choose(state, *state.cursor);
      return TRUE;
    default: return FALSE;
  }
  // At either end the keyboard's mark stays, and the key is still ours:
  // an arrow would otherwise move the focus out of the timeline.
  move_cursor(state, next.value_or(*state.cursor));
  return TRUE;
}

gboolean focus_changed(GtkWidget* area, GdkEventFocus* event, gpointer) noexcept {
  timeline_view_state& state = state_of(area);
  // Tabbed in, the keyboard starts at the first key-on in sight.
  if (event->in && state.trace && !state.cursor) {
    const auto first = static_cast<std::int64_t>(state.window.first_seconds * dsp_sample_rate);
    std::optional<timeline_place> start;
    for (int voice = 0; voice < dsp_voice_count; ++voice) {
      const auto [begin, end] = timeline_marks_between(state.lanes, voice, first,
                                                       std::numeric_limits<std::int64_t>::max());
      if (begin == end) continue;
      const timeline_mark& mark = state.lanes.lanes[voice][begin];
      if (!start || mark.start < state.lanes.lanes[start->voice][start->index].start)
        start = timeline_place{voice, begin};
    }
    if (start) move_cursor(state, *start);
  }
  gtk_widget_queue_draw(area);
  return FALSE;
}

void adjustment_moved(GtkAdjustment* adjustment, gpointer data) noexcept {
  timeline_view_state& state = *static_cast<timeline_view_state*>(data);
  if (state.moving_adjustment) return;
  state.window.first_seconds = gtk_adjustment_get_value(adjustment);
  state.background.drop();
  user_moved_view(state);
  gtk_widget_queue_draw(state.area);
}

GtkWidget* tool_button(const char* label, const char* tooltip, GCallback clicked, GtkWidget* view) {
  GtkWidget* button = gtk_button_new_with_label(label);
  gtk_widget_set_tooltip_text(button, tooltip);
  g_signal_connect_swapped(button, "clicked", clicked, view);
  return button;
}

void zoom_in_clicked(GtkWidget* view) noexcept { timeline_view_zoom(view, 1 / zoom_step); }
void zoom_out_clicked(GtkWidget* view) noexcept { timeline_view_zoom(view, zoom_step); }
void fit_clicked(GtkWidget* view) noexcept { timeline_view_fit(view); }

}  // namespace

GtkWidget* timeline_view_new(timeline_sample_chosen on_sample_chosen,
                             timeline_time_chosen on_time_chosen) {
  GtkWidget* view = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
  auto owned = std::make_unique<timeline_view_state>();
  timeline_view_state& state = *owned;
  state.on_sample_chosen = std::move(on_sample_chosen);
  state.on_time_chosen = std::move(on_time_chosen);

  state.area = gtk_drawing_area_new();
  gtk_widget_set_size_request(state.area, 320, 200);
  gtk_widget_set_hexpand(state.area, TRUE);
  gtk_widget_set_vexpand(state.area, TRUE);
  gtk_widget_set_can_focus(state.area, TRUE);
  gtk_widget_add_events(state.area, GDK_POINTER_MOTION_MASK | GDK_LEAVE_NOTIFY_MASK |
                                        GDK_BUTTON_PRESS_MASK | GDK_SCROLL_MASK |
                                        GDK_SMOOTH_SCROLL_MASK | GDK_KEY_PRESS_MASK |
                                        GDK_FOCUS_CHANGE_MASK);
  gtk_widget_set_has_tooltip(state.area, TRUE);
  atk_object_set_name(gtk_widget_get_accessible(state.area), "Timeline");

  state.adjustment = gtk_adjustment_new(0, 0, 1, 0.1, 0.9, 1);
  GtkWidget* scrollbar = gtk_scrollbar_new(GTK_ORIENTATION_HORIZONTAL, state.adjustment);

  GtkWidget* tools = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
  gtk_box_pack_start(GTK_BOX(tools), tool_button("\u2212", "Zoom out (\u2212)",
                                                 G_CALLBACK(zoom_out_clicked), view),
                     FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(tools), tool_button("+", "Zoom in (+)", G_CALLBACK(zoom_in_clicked), view),
                     FALSE, FALSE, 0);
  state.fit_button = tool_button("Fit", "Show the whole song", G_CALLBACK(fit_clicked), view);
  gtk_box_pack_start(GTK_BOX(tools), state.fit_button, FALSE, FALSE, 0);

  gtk_box_pack_start(GTK_BOX(view), tools, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(view), state.area, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(view), scrollbar, FALSE, FALSE, 0);

  g_signal_connect(state.adjustment, "value-changed", G_CALLBACK(adjustment_moved), &state);
  g_signal_connect(state.area, "draw", G_CALLBACK(draw_view), nullptr);
  g_signal_connect(state.area, "motion-notify-event", G_CALLBACK(pointer_moved), nullptr);
  g_signal_connect(state.area, "leave-notify-event", G_CALLBACK(pointer_left), nullptr);
  g_signal_connect(state.area, "query-tooltip", G_CALLBACK(tooltip_wanted), nullptr);
  g_signal_connect(state.area, "button-press-event", G_CALLBACK(pressed), nullptr);
  g_signal_connect(state.area, "scroll-event", G_CALLBACK(scrolled), nullptr);
  g_signal_connect(state.area, "key-press-event", G_CALLBACK(key_pressed), nullptr);
  g_signal_connect(state.area, "focus-in-event", G_CALLBACK(focus_changed), nullptr);
  g_signal_connect(state.area, "focus-out-event", G_CALLBACK(focus_changed), nullptr);

  // The area and the box share the one state; the box owns it, and the
  // adjustment (held by the scroll bar inside the box) goes with it.
  g_object_set_data(G_OBJECT(state.area), state_key, &state);
  g_object_set_data_full(G_OBJECT(view), state_key, owned.release(),
                         [](gpointer data) { delete static_cast<timeline_view_state*>(data); });
  show_window(state, {0, total_seconds(state)});
  return view;
}

void timeline_view_set_trace(GtkWidget* view, std::shared_ptr<const song_trace> trace) {
  timeline_view_state& state = state_of(view);
  state.trace = std::move(trace);
  state.lanes = state.trace ? make_timeline_lanes(*state.trace) : timeline_lanes{};
  state.hover.clear();
  state.cursor.reset();
  state.following = true;
  show_window(state, {0, total_seconds(state)});
}

void timeline_view_set_playhead(GtkWidget* view, double seconds) {
  timeline_view_state& state = state_of(view);
  const bool moved_a_pixel = timeline_playhead_moves(geometry_of(state), state.playhead, seconds);
  state.playhead = seconds;
  if (seconds >= 0 && state.following && !state.window.shows(seconds))
    show_window(state, timeline_keep_in_sight(state.window, seconds, total_seconds(state)));
  else if (moved_a_pixel)
    gtk_widget_queue_draw(state.area);
}

void timeline_view_set_muted(GtkWidget* view, u8 muted_voices) {
  timeline_view_state& state = state_of(view);
  if (state.muted == muted_voices) return;
  state.muted = muted_voices;
  state.background.drop();
  gtk_widget_queue_draw(state.area);
}

void timeline_view_set_root_key_source(GtkWidget* view, timeline_root_key root_key_of) {
  state_of(view).root_key_of = std::move(root_key_of);
}

void timeline_view_zoom(GtkWidget* view, double factor) {
  timeline_view_state& state = state_of(view);
  zoom_about(state, factor, state.window.first_seconds + state.window.span_seconds / 2);
}

void timeline_view_fit(GtkWidget* view) {
  timeline_view_state& state = state_of(view);
  show_window(state, {0, total_seconds(state)});
  state.following = true;
}

timeline_window timeline_view_window(GtkWidget* view) { return state_of(view).window; }

std::optional<timeline_place> timeline_view_cursor(GtkWidget* view) {
  return state_of(view).cursor;
}

std::string timeline_view_hover_text(GtkWidget* view) { return state_of(view).hover.text; }

GtkWidget* timeline_view_area(GtkWidget* view) { return state_of(view).area; }

GtkWidget* timeline_view_fit_button(GtkWidget* view) { return state_of(view).fit_button; }

void timeline_background::paint(cairo_t* cr, int width, int height,
                                const std::function<void(cairo_t*)>& draw) {
  if (!surface_ || width_ != width || height_ != height) {
    surface_.reset(cairo_surface_create_similar(cairo_get_target(cr), CAIRO_CONTENT_COLOR, width,
                                                height));
    cairo_t* background = cairo_create(surface_.get());
    draw(background);
    cairo_destroy(background);
    width_ = width;
    height_ = height;
  }
  cairo_set_source_surface(cr, surface_.get(), 0, 0);
  cairo_paint(cr);
}

// Ctrl with the wheel zooms about the pointer; the wheel alone scrolls.
std::optional<timeline_window> timeline_scrolled(timeline_window window,
                                                 const GdkEventScroll* event, double anchor,
                                                 double total) {
  double delta = 0;
  if (event->direction == GDK_SCROLL_SMOOTH) {
    delta = std::abs(event->delta_x) > std::abs(event->delta_y) ? event->delta_x : event->delta_y;
  } else {
    delta = event->direction == GDK_SCROLL_UP || event->direction == GDK_SCROLL_LEFT ? -1 : 1;
  }
  if (delta == 0) return std::nullopt;
  if (event->state & GDK_CONTROL_MASK)
    return timeline_zoom(window, std::pow(zoom_step, delta), anchor, total, min_span_seconds);
  return timeline_window{window.first_seconds + delta * scroll_step * window.span_seconds,
                         window.span_seconds};
}

bool timeline_playhead_moves(const timeline_geometry& g, double from, double to) {
  return (from < 0) != (to < 0) || std::floor(g.x_of(from)) != std::floor(g.x_of(to));
}

void timeline_draw(cairo_t* cr, int width, int height, const song_trace& trace,
                   const timeline_lanes& lanes, timeline_window window, u8 muted_voices) {
  set_colour(cr, 0.10, 0.11, 0.13);
  cairo_paint(cr);
  const timeline_geometry g{width, height, window.first_seconds, window.span_seconds};
  cairo_select_font_face(cr, "Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  timeline_draw_ruler(cr, g);
  draw_headers(cr, g, muted_voices);
  if (!trace.events.empty()) draw_marks(cr, g, trace, lanes, muted_voices);
}
