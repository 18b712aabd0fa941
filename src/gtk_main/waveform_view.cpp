// As a load graph does, the view renders its background (envelope, loop
// shading, markers) once into a surface like the window's and repaints from
// it; only the pointer's line is drawn anew. The surface is made again when
// the size or the sample changes.

#include "waveform_view.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "hex_text.h"

namespace {

struct surface_deleter {
  void operator()(cairo_surface_t* surface) const noexcept { cairo_surface_destroy(surface); }
};
using surface_ptr = std::unique_ptr<cairo_surface_t, surface_deleter>;

struct waveform_view_state {
  std::shared_ptr<const waveform_data> data;
  surface_ptr background;
  int background_width = 0;
  int background_height = 0;
  double pointer_x = -1;  // the pointer's line; none when negative
  std::string hover_text;
};

constexpr const char* state_key = "quorlin-waveform-view";

waveform_view_state& state_of(GtkWidget* view) {
  return *static_cast<waveform_view_state*>(g_object_get_data(G_OBJECT(view), state_key));
}

double y_of(std::int16_t sample, int height) {
  return (0.5 - sample / 65536.0) * (height - 1) + 0.5;
}

std::string header_text(u8 header) {
  std::string text = "header " + hex_text_format(header) + ": range " +
                     hex_text_format(header >> 4) + ", filter " +
                     std::to_string(header >> 2 & 3);
  if (header & 0x02) text += ", loop";
  if (header & 0x01) text += ", end";
  return text;
}

gboolean draw_view(GtkWidget* view, cairo_t* cr, gpointer) noexcept {
  waveform_view_state& state = state_of(view);
  const int width = gtk_widget_get_allocated_width(view);
  const int height = gtk_widget_get_allocated_height(view);
  if (!state.data || state.data->size() == 0 || width <= 0 || height <= 0) return FALSE;
  if (!state.background || state.background_width != width ||
      state.background_height != height) {
    state.background.reset(cairo_surface_create_similar(cairo_get_target(cr),
                                                        CAIRO_CONTENT_COLOR, width, height));
    cairo_t* background = cairo_create(state.background.get());
    waveform_draw(background, width, height, *state.data);
    cairo_destroy(background);
    state.background_width = width;
    state.background_height = height;
  }
  cairo_set_source_surface(cr, state.background.get(), 0, 0);
  cairo_paint(cr);
  if (state.pointer_x >= 0) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, std::floor(state.pointer_x) + 0.5, 0);
    cairo_line_to(cr, std::floor(state.pointer_x) + 0.5, height);
    cairo_stroke(cr);
  }
  return FALSE;
}

std::string text_at(GtkWidget* view, double x) {
  const waveform_view_state& state = state_of(view);
  const int width = gtk_widget_get_allocated_width(view);
  if (!state.data || state.data->size() == 0 || x < 0 || x >= width) return {};
  return waveform_describe(*state.data, waveform_geometry{state.data->size(), width}.sample_at(x));
}

gboolean pointer_moved(GtkWidget* view, GdkEventMotion* event, gpointer) noexcept {
  waveform_view_state& state = state_of(view);
  state.hover_text = text_at(view, event->x);
  state.pointer_x = state.hover_text.empty() ? -1 : event->x;
  gtk_widget_queue_draw(view);
  return FALSE;
}

gboolean pointer_left(GtkWidget* view, GdkEventCrossing*, gpointer) noexcept {
  waveform_view_state& state = state_of(view);
  state.hover_text.clear();
  state.pointer_x = -1;
  gtk_widget_queue_draw(view);
  return FALSE;
}

gboolean tooltip_wanted(GtkWidget* view, gint x, gint, gboolean keyboard, GtkTooltip* tooltip,
                        gpointer) noexcept {
  if (keyboard) return FALSE;
  const std::string text = text_at(view, x);
  if (text.empty()) return FALSE;
  gtk_tooltip_set_text(tooltip, text.c_str());
  return TRUE;
}

}  // namespace

std::size_t waveform_geometry::sample_at(double x) const {
  // Within the column under x, as far along its samples as x is across it.
  const double clamped = std::clamp(x, 0.0, std::nextafter(static_cast<double>(width), 0.0));
  const int column = static_cast<int>(clamped);
  const std::size_t first = first_in_column(column);
  const std::size_t span = last_in_column(column) - first + 1;
  return first + std::min(span - 1, static_cast<std::size_t>((clamped - column) * static_cast<double>(span)));
}

std::size_t waveform_geometry::first_in_column(int column) const {
  return std::min(count - 1, static_cast<std::size_t>(column) * count / static_cast<std::size_t>(width));
}

std::size_t waveform_geometry::last_in_column(int column) const {
  const std::size_t next = static_cast<std::size_t>(column + 1) * count / static_cast<std::size_t>(width);
  return std::max(first_in_column(column), std::min(count, next) - (next > 0 ? 1 : 0));
}

double waveform_geometry::x_of(std::size_t index) const {
  return static_cast<double>(index) * width / static_cast<double>(count);
}

GtkWidget* waveform_view_new() {
  GtkWidget* view = gtk_drawing_area_new();
  gtk_widget_set_size_request(view, 256, 96);
  gtk_widget_set_hexpand(view, TRUE);
  gtk_widget_add_events(view, GDK_POINTER_MOTION_MASK | GDK_LEAVE_NOTIFY_MASK);
  gtk_widget_set_has_tooltip(view, TRUE);
  atk_object_set_name(gtk_widget_get_accessible(view), "Waveform");
  g_object_set_data_full(G_OBJECT(view), state_key, new waveform_view_state,
                         [](gpointer data) { delete static_cast<waveform_view_state*>(data); });
  g_signal_connect(view, "draw", G_CALLBACK(draw_view), nullptr);
  g_signal_connect(view, "motion-notify-event", G_CALLBACK(pointer_moved), nullptr);
  g_signal_connect(view, "leave-notify-event", G_CALLBACK(pointer_left), nullptr);
  g_signal_connect(view, "query-tooltip", G_CALLBACK(tooltip_wanted), nullptr);
  return view;
}

void waveform_view_set_data(GtkWidget* view, std::shared_ptr<const waveform_data> data) {
  waveform_view_state& state = state_of(view);
  state.data = std::move(data);
  state.background.reset();
  state.hover_text.clear();
  state.pointer_x = -1;
  gtk_widget_queue_draw(view);
}

std::string waveform_view_hover_text(GtkWidget* view) { return state_of(view).hover_text; }

std::string waveform_describe(const waveform_data& data, std::size_t index) {
  const std::size_t first_size = data.first_pass.size();
  std::string text;
  if (index < first_size || data.loop_start < 0)
    text = "Sample " + hex_text_format(index);
  else
    text = "Sample " + hex_text_format(static_cast<std::size_t>(data.loop_start) + index - first_size) +
           " (loop, second pass)";
  const std::size_t block = index < first_size
                                ? index / waveform_samples_per_block
                                : (first_size + waveform_samples_per_block - 1) /
                                          waveform_samples_per_block +
                                      (index - first_size) / waveform_samples_per_block;
  if (block < data.blocks.size())
    text += "\nBlock " + hex_text_format(data.blocks[block].address) + " · " +
            header_text(data.blocks[block].header);
  return text;
}

void waveform_draw(cairo_t* cr, int width, int height, const waveform_data& data) {
  cairo_set_source_rgb(cr, 0.10, 0.11, 0.13);
  cairo_paint(cr);
  if (data.size() == 0 || width <= 0) return;
  const waveform_geometry geometry{data.size(), width};

  if (data.loop_start >= 0) {
    const double loop_x = geometry.x_of(static_cast<std::size_t>(data.loop_start));
    cairo_set_source_rgb(cr, 0.16, 0.24, 0.18);
    cairo_rectangle(cr, loop_x, 0, width - loop_x, height);
    cairo_fill(cr);
  }
  cairo_set_line_width(cr, 1);
  cairo_set_source_rgb(cr, 0.35, 0.35, 0.38);
  cairo_move_to(cr, 0, std::floor(y_of(0, height)) + 0.5);
  cairo_line_to(cr, width, std::floor(y_of(0, height)) + 0.5);
  cairo_stroke(cr);

  // The envelope: one rectangle per column, from its highest to its lowest
  // sample, all in one path. Whole pixels need no smoothing, and filling
  // them without it costs a fifth of stroking smoothed lines.
  for (int column = 0; column < width; ++column) {
    std::int16_t low = std::numeric_limits<std::int16_t>::max();
    std::int16_t high = std::numeric_limits<std::int16_t>::min();
    // Reaching to the next column's first sample joins the columns into one
    // trace where a sample spans several of them.
    const std::size_t last = std::min(geometry.last_in_column(column) + 1, data.size() - 1);
    for (std::size_t i = geometry.first_in_column(column); i <= last; ++i) {
      const std::int16_t s = data.at(i);
      low = std::min(low, s);
      high = std::max(high, s);
    }
    const double top = std::floor(y_of(high, height));
    cairo_rectangle(cr, column, top, 1, std::floor(y_of(low, height)) + 1 - top);
  }
  cairo_set_source_rgb(cr, 0.45, 0.80, 0.95);
  cairo_save(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_fill(cr);
  cairo_restore(cr);

  if (!data.loop_pass.empty()) {
    // Where the later pass begins: the loop start's second arrival.
    const double pass_x = std::floor(geometry.x_of(data.first_pass.size())) + 0.5;
    const double dashes[] = {3, 3};
    cairo_set_dash(cr, dashes, 2, 0);
    cairo_set_source_rgb(cr, 0.95, 0.60, 0.20);
    cairo_move_to(cr, pass_x, 0);
    cairo_line_to(cr, pass_x, height);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
  }
  if (data.loop_start >= 0) {
    const double loop_x =
        std::floor(geometry.x_of(static_cast<std::size_t>(data.loop_start))) + 0.5;
    cairo_set_source_rgb(cr, 0.95, 0.60, 0.20);
    cairo_move_to(cr, loop_x, 0);
    cairo_line_to(cr, loop_x, height);
    cairo_stroke(cr);
    cairo_move_to(cr, loop_x - 5, 0);
    cairo_line_to(cr, loop_x + 5, 0);
    cairo_line_to(cr, loop_x, 7);
    cairo_close_path(cr);
    cairo_fill(cr);
  }
}
