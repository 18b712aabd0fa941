// The map keeps one 256 x 256 picture of the layout's colours, a pixel a
// byte, composes what the program did over it, and keeps that scaled by the
// cell size without smoothing in a surface of the window's kind; the
// program counter's ring, the inspected entry's outline and the voices'
// boxes go on top at each draw. Hit-testing asks the same
// aram_map_geometry the draw uses.

#include "aram_map.h"

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "aram_live.h"
#include "hex_text.h"
#include "whole_song_trace.h"

namespace {

struct rgb {
  double r, g, b;
};

constexpr rgb directory_colour{0.96, 0.78, 0.20};
constexpr rgb echo_colour{0.20, 0.50, 0.95};
constexpr rgb low_ram_colour{0.60, 0.40, 0.85};
constexpr rgb ipl_rom_colour{0.75, 0.25, 0.25};
constexpr rgb overlap_colour{1.0, 1.0, 1.0};
constexpr rgb program_counter_colour{1.0, 0.15, 0.15};
constexpr rgb outline_colour{1.0, 1.0, 0.0};
// What the program did to a byte, drawn over the layout.
constexpr rgb executed_colour{0.15, 0.95, 0.35};
constexpr rgb read_colour{0.35, 0.85, 1.0};
constexpr rgb written_colour{1.0, 0.45, 0.10};
constexpr double golden_hue_step = 0.381966;  // neighbouring entries get distant hues

rgb sample_colour(int sample_number) {
  const double hue = std::fmod((sample_number - 1) * golden_hue_step, 1.0);
  rgb c{};
  gtk_hsv_to_rgb(hue, 0.65, 0.9, &c.r, &c.g, &c.b);
  return c;
}

// An entry the song never plays: its hue, dimmed towards the dark greys of
// unclaimed bytes, so that the played entries stand out.
rgb faint(const rgb& c) { return {0.10 + 0.28 * c.r, 0.10 + 0.28 * c.g, 0.10 + 0.28 * c.b}; }

// Dark to mid grey, so that every claim's colour stands out against it.
rgb value_colour(u8 value) {
  const double level = 0.08 + 0.42 * value / 255.0;
  return {level, level, level};
}

std::uint32_t pixel(const rgb& c) {
  const auto channel = [](double v) { return static_cast<std::uint32_t>(std::lround(v * 255)); };
  return channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b);
}

struct surface_deleter {
  void operator()(cairo_surface_t* surface) const noexcept { cairo_surface_destroy(surface); }
};
using surface_ptr = std::unique_ptr<cairo_surface_t, surface_deleter>;

using played_sources_t = std::array<bool, 256>;

bool is_played(const played_sources_t& played, int sample_number) {
  return sample_number >= 1 && sample_number <= 256 &&
         played[static_cast<std::size_t>(sample_number - 1)];
}

// Per byte, how many played entries cover it and the first of them (an
// index into layout.samples, -1 for none).
struct played_cover {
  std::vector<u8> count = std::vector<u8>(aram_size, 0);
  std::vector<std::int16_t> first = std::vector<std::int16_t>(aram_size, -1);
};

played_cover cover_of_played(const aram_layout& layout, const played_sources_t& played) {
  played_cover cover;
  for (std::size_t i = 0; i < layout.samples.size(); ++i) {
    const aram_sample_span& span = layout.samples[i];
    if (!is_played(played, span.sample_number)) continue;
    const std::uint32_t size = std::min(span.blocks.size, aram_size);
    for (std::uint32_t k = 0; k < size; ++k) {
      const std::uint32_t a = (span.blocks.start + k) & 0xFFFF;
      if (cover.count[a] < 255) ++cover.count[a];
      if (cover.first[a] < 0) cover.first[a] = static_cast<std::int16_t>(i);
    }
  }
  return cover;
}

surface_ptr paint_cells(const aram_layout& layout, const played_sources_t* played) {
  surface_ptr cells(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 256, 256));
  cairo_surface_flush(cells.get());
  unsigned char* data = cairo_image_surface_get_data(cells.get());
  const int stride = cairo_image_surface_get_stride(cells.get());
  if (!data) return cells;  // out of memory: the surface is in an error state and paints nothing

  std::vector<std::uint32_t> sample_pixels;
  std::vector<std::uint32_t> faint_pixels;
  for (const aram_sample_span& span : layout.samples) {
    sample_pixels.push_back(pixel(sample_colour(span.sample_number)));
    faint_pixels.push_back(pixel(faint(sample_colour(span.sample_number))));
  }
  const played_cover cover = played ? cover_of_played(layout, *played) : played_cover{};
  std::uint32_t value_pixels[256];
  for (int v = 0; v < 256; ++v) value_pixels[v] = pixel(value_colour(static_cast<u8>(v)));
  const std::uint32_t area_pixels[] = {
      0, 0, pixel(overlap_colour), pixel(directory_colour), pixel(echo_colour),
      pixel(low_ram_colour), pixel(ipl_rom_colour)};

  for (std::uint32_t a = 0; a < aram_size; ++a) {
    const aram_fill fill = layout.fill_at(a);
    std::uint32_t p = area_pixels[static_cast<int>(fill)];
    if (fill == aram_fill::value) p = value_pixels[layout.value[a]];
    if (fill == aram_fill::sample) p = sample_pixels[static_cast<std::size_t>(layout.first_sample[a])];
    // Once the song is known, entries it never plays neither hide the ones
    // it plays nor make overlaps of their own: an overlap is two played
    // entries, or a played one over the directory or the echo buffer.
    if (played && layout.sample_count[a] > 0) {
      const u8 areas = layout.areas[a] & (aram_area_directory | aram_area_echo);
      if (cover.count[a] > 1 || (cover.count[a] == 1 && areas)) {
        p = area_pixels[static_cast<int>(aram_fill::overlap)];
      } else if (cover.count[a] == 1) {
        p = sample_pixels[static_cast<std::size_t>(cover.first[a])];
      } else if (areas & aram_area_directory) {
        p = area_pixels[static_cast<int>(aram_fill::directory)];
      } else if (areas & aram_area_echo) {
        p = area_pixels[static_cast<int>(aram_fill::echo)];
      } else {
        p = faint_pixels[static_cast<std::size_t>(layout.first_sample[a])];
      }
    }
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(a >> 8) * stride);
    row[a & 0xFF] = p;
  }
  cairo_surface_mark_dirty(cells.get());
  return cells;
}

// The whole song's accesses, a pixel a byte: executed over written over
// read (code is rarely written, variables rarely executed), nothing where
// the program never went, so that the layout shows through.
surface_ptr paint_access_cells(const aram_access_record& access) {
  surface_ptr cells(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 256, 256));
  cairo_surface_flush(cells.get());
  unsigned char* data = cairo_image_surface_get_data(cells.get());
  const int stride = cairo_image_surface_get_stride(cells.get());
  if (!data) return cells;  // out of memory: paints nothing
  constexpr std::uint32_t opaque = 0xFF000000u;
  const std::uint32_t executed = opaque | pixel(executed_colour);
  const std::uint32_t written = opaque | pixel(written_colour);
  const std::uint32_t read = opaque | pixel(read_colour);
  for (std::uint32_t a = 0; a < aram_size; ++a) {
    std::uint32_t p = 0;
    if (access.executes[a]) p = executed;
    else if (access.writes[a]) p = written;
    else if (access.reads[a]) p = read;
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(a >> 8) * stride);
    row[a & 0xFF] = p;
  }
  cairo_surface_mark_dirty(cells.get());
  return cells;
}

void set_colour(cairo_t* cr, const rgb& c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

// The border of the cells from `first` to `last` (row-major, no wrap): one
// polygon that runs along the first row's top from `first` on, down the
// right edge, along the last row's bottom and back up the left edge.
void outline_range(cairo_t* cr, int cell, std::uint32_t first, std::uint32_t last) {
  const double c0 = first & 0xFF, r0 = first >> 8;
  const double c1 = (last & 0xFF) + 1, r1 = last >> 8;
  const auto to = [&](double column, double row) { cairo_line_to(cr, column * cell, row * cell); };
  cairo_move_to(cr, c0 * cell, r0 * cell);
  if (r0 == r1) {
    to(c1, r0), to(c1, r0 + 1), to(c0, r0 + 1);
  } else {
    to(256, r0), to(256, r1), to(c1, r1), to(c1, r1 + 1), to(0, r1 + 1), to(0, r0 + 1),
        to(c0, r0 + 1);
  }
  cairo_close_path(cr);
}

// Blocks running past FFFF go on at 0: two outlines.
void outline_blocks(cairo_t* cr, const aram_map_geometry& geometry, const aram_region& blocks) {
  const std::uint32_t size = std::min(blocks.size, aram_size);
  const std::uint32_t end = blocks.start + size;
  outline_range(cr, geometry.cell, blocks.start, std::min(end, aram_size) - 1);
  if (end > aram_size) outline_range(cr, geometry.cell, 0, end - aram_size - 1);
}

// Paints a 256 x 256 picture scaled to the cells, without smoothing.
void paint_scaled(cairo_t* cr, const aram_map_geometry& geometry, cairo_surface_t* picture) {
  cairo_save(cr);
  cairo_scale(cr, geometry.cell, geometry.cell);
  cairo_set_source_surface(cr, picture, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_rectangle(cr, 0, 0, 256, 256);
  cairo_fill(cr);
  cairo_restore(cr);
}

// The inspected entry's outline and the program counter's ring.
void draw_marks(cairo_t* cr, const aram_map_geometry& geometry, const aram_layout& layout,
                int inspected) {
  cairo_set_line_width(cr, 2.0);
  for (const aram_sample_span& span : layout.samples)
    if (span.sample_number == inspected) outline_blocks(cr, geometry, span.blocks);
  set_colour(cr, outline_colour);
  cairo_stroke(cr);

  const double half = geometry.cell / 2.0;
  const double x = geometry.cell_x(layout.program_counter) + half;
  const double y = geometry.cell_y(layout.program_counter) + half;
  cairo_set_line_width(cr, 2.0);
  cairo_arc(cr, x, y, std::max(4.0, 3.0 * half), 0, 2 * G_PI);
  set_colour(cr, program_counter_colour);
  cairo_stroke(cr);
}

void draw_over_cells(cairo_t* cr, const aram_map_geometry& geometry, cairo_surface_t* cells,
                     const aram_layout& layout, int inspected) {
  paint_scaled(cr, geometry, cells);
  draw_marks(cr, geometry, layout, inspected);
}

// While the song plays: the echo buffer outlined, and each sounding voice's
// BRR block boxed with its number.
void draw_live_marks(cairo_t* cr, const aram_map_geometry& geometry, aram_live_view& live) {
  if (!live.picture()) return;
  if (live.echo_size() > 0) {
    cairo_set_line_width(cr, 1.0);
    outline_blocks(cr, geometry, {live.echo_start(), live.echo_size()});
    set_colour(cr, echo_colour);
    cairo_stroke(cr);
  }
  live.draw_voice_marks(cr, geometry);
}

struct aram_map_state {
  std::shared_ptr<const aram_layout> layout;
  std::optional<played_sources_t> played;  // none until the song has been followed
  surface_ptr cells;  // the layout's colours; made at the first draw after a change
  int inspected = 0;
  std::string hover_text;
  aram_map_sample_chosen on_sample_chosen;
  // The whole song: traced per file when the map is given the image.
  std::unique_ptr<whole_song_tracer> tracer;
  std::shared_ptr<const whole_song_access> whole;  // null until its trace lands
  surface_ptr access_cells;  // whole->access drawn; made at the first draw that shows it
  surface_ptr composed;      // the layout's colours with accesses over them, 256 x 256
  // `composed` (or `cells`) scaled to the cells, in the window's own kind of
  // surface, so that a frame while the song plays copies it and scales only
  // the cells that changed (`stale`). Made again, whole, for another cell
  // size or picture; dropped when `cells` or `access_cells` are.
  surface_ptr scaled;
  int scaled_cell = 0;
  cairo_surface_t* scaled_over = nullptr;  // which picture went over the layout
  std::unique_ptr<cairo_region_t, decltype(&cairo_region_destroy)> stale{cairo_region_create(),
                                                                         cairo_region_destroy};
  GtkWidget* whole_toggle = nullptr;
  GtkWidget* free_label = nullptr;
  std::unique_ptr<aram_live_view> live;  // while the song plays
};

constexpr const char* state_key = "quorlin-aram-map";
constexpr const char* area_key = "quorlin-aram-map-area";

aram_map_state& state_of(GtkWidget* area) {
  return *static_cast<aram_map_state*>(g_object_get_data(G_OBJECT(area), state_key));
}

aram_map_geometry geometry_of(GtkWidget* area) {
  return aram_map_geometry::fit(gtk_widget_get_allocated_width(area),
                                gtk_widget_get_allocated_height(area));
}

bool whole_song_shown(const aram_map_state& state) {
  return state.whole && state.whole_toggle &&
         gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(state.whole_toggle));
}

// What the whole song did to `address`, and the last touch.
std::string whole_song_line(const aram_access_record& access, u16 address) {
  if (!access.touched(address)) return "\nWhole song: never touched";
  const std::pair<const char*, std::int64_t> lasts[] = {{"executed", access.last_execute[address]},
                                                        {"read", access.last_read[address]},
                                                        {"written", access.last_write[address]}};
  const auto& last = *std::max_element(std::begin(lasts), std::end(lasts),
                                       [](const auto& x, const auto& y) { return x.second < y.second; });
  return "\nWhole song: executed " + std::to_string(access.executes[address]) + "×, read " +
         std::to_string(access.reads[address]) + "×, written " +
         std::to_string(access.writes[address]) + "×; last " + last.first + " at " +
         sample_time_text(last.second / cpu_cycles_per_sample);
}

std::string text_at(GtkWidget* area, double x, double y) {
  const aram_map_state& state = state_of(area);
  const std::optional<u16> address = geometry_of(area).address_at(x, y);
  if (!state.layout || !address) return {};
  std::string text = aram_map_describe(*state.layout, *address);
  if (whole_song_shown(state)) text += whole_song_line(state.whole->access, *address);
  if (const std::string live = state.live->describe(*address); !live.empty()) text += "\n" + live;
  return text;
}

// Brings `state.scaled` up to date: where the layout or the picture over
// it changed, composes the two at 256 x 256 and scales them in.
void update_scaled(GtkWidget* area, aram_map_state& state, const aram_map_geometry& geometry,
                   cairo_surface_t* over) {
  state.live->take_changed_pixels(state.stale.get());
  if (!state.scaled || state.scaled_cell != geometry.cell || state.scaled_over != over) {
    state.scaled.reset(gdk_window_create_similar_surface(
        gtk_widget_get_window(area), CAIRO_CONTENT_COLOR, geometry.side(), geometry.side()));
    state.scaled_cell = geometry.cell;
    state.scaled_over = over;
    const cairo_rectangle_int_t all{0, 0, geometry.side(), geometry.side()};
    cairo_region_union_rectangle(state.stale.get(), &all);
  }
  // Rectangle by rectangle: each composes and sends the X server only its
  // own cells, where the region's extents would span most of the map.
  cairo_t* cr = cairo_create(state.scaled.get());
  for (int i = 0; i < cairo_region_num_rectangles(state.stale.get()); ++i) {
    cairo_rectangle_int_t r;
    cairo_region_get_rectangle(state.stale.get(), i, &r);
    cairo_surface_t* shown = state.cells.get();
    if (over) {
      if (!state.composed)
        state.composed.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 256, 256));
      cairo_t* compose = cairo_create(state.composed.get());
      const double cell = geometry.cell;
      cairo_rectangle(compose, std::floor(r.x / cell), std::floor(r.y / cell),
                      std::ceil((r.x + r.width) / cell) - std::floor(r.x / cell),
                      std::ceil((r.y + r.height) / cell) - std::floor(r.y / cell));
      cairo_clip(compose);
      for (cairo_surface_t* layer : {shown, over}) {
        cairo_set_source_surface(compose, layer, 0, 0);
        cairo_paint(compose);
      }
      cairo_destroy(compose);
      shown = state.composed.get();
    }
    cairo_save(cr);
    cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    cairo_clip(cr);
    paint_scaled(cr, geometry, shown);
    cairo_restore(cr);
  }
  cairo_destroy(cr);
  state.stale.reset(cairo_region_create());
}

// The layout (with what the program did over it) is scaled into a surface
// of its own when it changes; a draw copies it, then marks what moves.
gboolean draw_map(GtkWidget* area, cairo_t* cr, gpointer) noexcept {
  aram_map_state& state = state_of(area);
  // The map's own window shows nothing of the page behind it: the theme's
  // view background (the page's, in the usual themes) beside and below
  // the cells.
  const int width = gtk_widget_get_allocated_width(area);
  const int height = gtk_widget_get_allocated_height(area);
  const int side = state.layout ? geometry_of(area).side() : 0;
  GtkStyleContext* style = gtk_widget_get_style_context(area);
  gtk_render_background(style, cr, side, 0, width - side, height);
  gtk_render_background(style, cr, 0, side, side, height - side);
  if (!state.layout) return FALSE;
  const std::int64_t began = g_get_monotonic_time();
  if (!state.cells) {
    state.cells = paint_cells(*state.layout, state.played ? &*state.played : nullptr);
    state.scaled.reset();
  }
  const bool whole = whole_song_shown(state);
  if (whole && !state.access_cells) {
    state.access_cells = paint_access_cells(state.whole->access);
    state.scaled.reset();
  }
  const aram_map_geometry geometry = geometry_of(area);
  update_scaled(area, state, geometry, whole ? state.access_cells.get() : state.live->overlay());
  cairo_set_source_surface(cr, state.scaled.get(), 0, 0);
  cairo_paint(cr);
  draw_marks(cr, geometry, *state.layout, state.inspected);
  if (!whole) draw_live_marks(cr, geometry, *state.live);
  if (state.live->picture()) state.live->note_draw_us(g_get_monotonic_time() - began);
  return FALSE;
}

// On X11 the map's window is the X server's own: 24 times a second while
// the song plays, a frame then draws the map alone, not the notebook and
// the window around it. (Wayland has no such child windows in GTK 3.)
void realized(GtkWidget* area, gpointer) noexcept {
#ifdef GDK_WINDOWING_X11
  GdkWindow* window = gtk_widget_get_window(area);
  if (GDK_IS_X11_WINDOW(window)) gdk_window_ensure_native(window);
#else
  (void)area;
#endif
}

gboolean pointer_moved(GtkWidget* area, GdkEventMotion* event, gpointer) noexcept {
  state_of(area).hover_text = text_at(area, event->x, event->y);
  return FALSE;
}

gboolean pointer_left(GtkWidget* area, GdkEventCrossing*, gpointer) noexcept {
  state_of(area).hover_text.clear();
  return FALSE;
}

gboolean tooltip_wanted(GtkWidget* area, gint x, gint y, gboolean keyboard, GtkTooltip* tooltip,
                        gpointer) noexcept {
  if (keyboard) return FALSE;
  const std::string text = text_at(area, x, y);
  if (text.empty()) return FALSE;
  gtk_tooltip_set_text(tooltip, text.c_str());
  return TRUE;
}

// Where entries overlap, pressing again moves on to the next one there.
gboolean pressed(GtkWidget* area, GdkEventButton* event, gpointer) noexcept {
  aram_map_state& state = state_of(area);
  const std::optional<u16> address = geometry_of(area).address_at(event->x, event->y);
  if (event->button != GDK_BUTTON_PRIMARY || !state.layout || !address) return FALSE;
  const std::vector<int> numbers = state.layout->samples_at(*address);
  if (numbers.empty() || !state.on_sample_chosen) return FALSE;
  const auto current = std::find(numbers.begin(), numbers.end(), state.inspected);
  const int chosen =
      current == numbers.end() || current + 1 == numbers.end() ? numbers.front() : *(current + 1);
  state.on_sample_chosen(chosen);
  return TRUE;
}

// The legend: a swatch and a name per colour.
enum class swatch {
  directory, samples, unplayed, overlap, echo, low_ram, ipl_rom, program_counter, value,
  executed, read, written
};

gboolean draw_swatch(GtkWidget* widget, cairo_t* cr, gpointer data) noexcept {
  const double w = gtk_widget_get_allocated_width(widget);
  const double h = gtk_widget_get_allocated_height(widget);
  switch (static_cast<swatch>(GPOINTER_TO_INT(data))) {
    case swatch::samples:
      for (int i = 0; i < 4; ++i) {
        set_colour(cr, sample_colour(i + 1));
        cairo_rectangle(cr, i * w / 4, 0, w / 4, h);
        cairo_fill(cr);
      }
      return FALSE;
    case swatch::unplayed:
      for (int i = 0; i < 4; ++i) {
        set_colour(cr, faint(sample_colour(i + 1)));
        cairo_rectangle(cr, i * w / 4, 0, w / 4, h);
        cairo_fill(cr);
      }
      return FALSE;
    case swatch::value:
      for (int i = 0; i < 4; ++i) {
        set_colour(cr, value_colour(static_cast<u8>(i * 85)));
        cairo_rectangle(cr, i * w / 4, 0, w / 4, h);
        cairo_fill(cr);
      }
      return FALSE;
    case swatch::program_counter:
      set_colour(cr, program_counter_colour);
      cairo_set_line_width(cr, 2.0);
      cairo_arc(cr, w / 2, h / 2, std::min(w, h) / 2 - 1, 0, 2 * G_PI);
      cairo_stroke(cr);
      return FALSE;
    case swatch::directory: set_colour(cr, directory_colour); break;
    case swatch::overlap: set_colour(cr, overlap_colour); break;
    case swatch::echo: set_colour(cr, echo_colour); break;
    case swatch::low_ram: set_colour(cr, low_ram_colour); break;
    case swatch::ipl_rom: set_colour(cr, ipl_rom_colour); break;
    case swatch::executed: set_colour(cr, executed_colour); break;
    case swatch::read: set_colour(cr, read_colour); break;
    case swatch::written: set_colour(cr, written_colour); break;
  }
  cairo_paint(cr);
  return FALSE;
}

GtkWidget* legend_new() {
  const std::pair<swatch, const char*> entries[] = {
      {swatch::directory, "Sample directory"},
      {swatch::samples, "Sample blocks (a hue per entry)"},
      {swatch::unplayed, "Samples the song never plays"},
      {swatch::overlap, "Overlap"},
      {swatch::echo, "Echo buffer"},
      {swatch::low_ram, "Zero page, I/O, stack"},
      {swatch::ipl_rom, "IPL ROM"},
      {swatch::program_counter, "Program counter"},
      {swatch::value, "Other bytes, by value"},
      {swatch::executed, "Executed"},
      {swatch::read, "Read"},
      {swatch::written, "Written"},
  };
  GtkWidget* legend = gtk_flow_box_new();
  gtk_flow_box_set_selection_mode(GTK_FLOW_BOX(legend), GTK_SELECTION_NONE);
  gtk_flow_box_set_max_children_per_line(GTK_FLOW_BOX(legend), 4);
  for (const auto& [kind, name] : entries) {
    GtkWidget* item = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    GtkWidget* colour = gtk_drawing_area_new();
    gtk_widget_set_size_request(colour, 16, 12);
    gtk_widget_set_valign(colour, GTK_ALIGN_CENTER);
    g_signal_connect(colour, "draw", G_CALLBACK(draw_swatch),
                     GINT_TO_POINTER(static_cast<int>(kind)));
    gtk_box_pack_start(GTK_BOX(item), colour, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(item), gtk_label_new(name), FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(legend), item);
  }
  return legend;
}

// The free list shows this many ranges; a click copies them all.
constexpr std::size_t free_ranges_shown = 8;

// "Free: 2A00–33FF (2.5 KiB), …", largest first: all of them, or the first
// `shown` and how many more.
std::string free_list_text(const std::vector<free_range>& ranges, std::size_t shown) {
  if (ranges.empty()) return "Free: none";
  std::string text = "Free: ";
  for (std::size_t i = 0; i < ranges.size() && i < shown; ++i)
    text += (i ? ", " : "") + free_range_text(ranges[i]);
  if (ranges.size() > shown) text += ", and " + std::to_string(ranges.size() - shown) + " more";
  return text;
}

void whole_song_landed_on(GtkWidget* area, std::shared_ptr<const whole_song_access> whole) {
  aram_map_state& state = state_of(area);
  state.whole = std::move(whole);
  state.access_cells.reset();
  gtk_label_set_text(GTK_LABEL(state.free_label),
                     free_list_text(state.whole->free, free_ranges_shown).c_str());
  gtk_widget_queue_draw(area);
}

void whole_song_toggled(GtkToggleButton*, gpointer area) noexcept {
  gtk_widget_queue_draw(GTK_WIDGET(area));
}

// A click on the list puts it on the clipboard.
void free_list_clicked(GtkButton*, gpointer area) noexcept {
  const aram_map_state& state = state_of(GTK_WIDGET(area));
  if (!state.whole) return;
  GtkClipboard* clipboard =
      gtk_clipboard_get_for_display(gtk_widget_get_display(GTK_WIDGET(area)), GDK_SELECTION_CLIPBOARD);
  gtk_clipboard_set_text(clipboard, free_list_text(state.whole->free, SIZE_MAX).c_str(), -1);
}

// The "Whole song" toggle and the free list, between the map and its legend.
GtkWidget* whole_song_row_new(GtkWidget* area, aram_map_state& state) {
  state.whole_toggle = gtk_check_button_new_with_label("Whole song");
  gtk_widget_set_tooltip_text(state.whole_toggle,
                              "Draw every byte the song ever executes, reads or writes");
  g_signal_connect(state.whole_toggle, "toggled", G_CALLBACK(whole_song_toggled), area);
  gtk_widget_set_valign(state.whole_toggle, GTK_ALIGN_START);
  state.free_label = gtk_label_new("");
  gtk_label_set_line_wrap(GTK_LABEL(state.free_label), TRUE);
  gtk_label_set_xalign(GTK_LABEL(state.free_label), 0);
  GtkWidget* free_button = gtk_button_new();
  gtk_button_set_relief(GTK_BUTTON(free_button), GTK_RELIEF_NONE);
  gtk_widget_set_tooltip_text(free_button,
                              "Ranges the song never touches, largest first: click to copy them all");
  gtk_container_add(GTK_CONTAINER(free_button), state.free_label);
  g_signal_connect(free_button, "clicked", G_CALLBACK(free_list_clicked), area);
  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
  gtk_box_pack_start(GTK_BOX(row), state.whole_toggle, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(row), free_button, TRUE, TRUE, 0);
  return row;
}

}  // namespace

GtkWidget* aram_map_new(background_tasks& tasks, aram_map_sample_chosen on_sample_chosen,
                        const play_button* controls) {
  GtkWidget* area = gtk_drawing_area_new();
  gtk_widget_set_size_request(area, 256, 256);
  gtk_widget_set_hexpand(area, TRUE);
  gtk_widget_set_vexpand(area, TRUE);
  gtk_widget_add_events(area, GDK_POINTER_MOTION_MASK | GDK_LEAVE_NOTIFY_MASK |
                                  GDK_BUTTON_PRESS_MASK);
  gtk_widget_set_has_tooltip(area, TRUE);
  gtk_style_context_add_class(gtk_widget_get_style_context(area), GTK_STYLE_CLASS_VIEW);
  atk_object_set_name(gtk_widget_get_accessible(area), "Audio RAM map");

  auto state = std::make_unique<aram_map_state>();
  state->on_sample_chosen = std::move(on_sample_chosen);
  // The tracer goes with the state, so it never calls into a map that is gone.
  state->tracer = std::make_unique<whole_song_tracer>(
      tasks, [area](std::shared_ptr<const whole_song_access> whole) {
        whole_song_landed_on(area, std::move(whole));
      });
  GtkWidget* whole_row = whole_song_row_new(area, *state);
  state->live = std::make_unique<aram_live_view>(area, controls);
  g_object_set_data_full(G_OBJECT(area), state_key, state.release(),
                         [](gpointer data) { delete static_cast<aram_map_state*>(data); });
  g_signal_connect(area, "draw", G_CALLBACK(draw_map), nullptr);
  g_signal_connect_after(area, "realize", G_CALLBACK(realized), nullptr);
  g_signal_connect(area, "motion-notify-event", G_CALLBACK(pointer_moved), nullptr);
  g_signal_connect(area, "leave-notify-event", G_CALLBACK(pointer_left), nullptr);
  g_signal_connect(area, "query-tooltip", G_CALLBACK(tooltip_wanted), nullptr);
  g_signal_connect(area, "button-press-event", G_CALLBACK(pressed), nullptr);

  GtkWidget* map = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
  gtk_box_pack_start(GTK_BOX(map), area, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(map), whole_row, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(map), legend_new(), FALSE, FALSE, 0);
  g_object_set_data(G_OBJECT(map), area_key, area);
  return map;
}

void aram_map_set_layout(GtkWidget* map, std::shared_ptr<const aram_layout> layout) {
  GtkWidget* area = aram_map_area(map);
  aram_map_state& state = state_of(area);
  state.layout = std::move(layout);
  state.played.reset();  // a new file's song is not known yet
  state.cells.reset();
  state.hover_text.clear();
  gtk_widget_queue_draw(area);
}

void aram_map_set_song(GtkWidget* map, std::shared_ptr<const spc_format> image) {
  GtkWidget* area = aram_map_area(map);
  aram_map_state& state = state_of(area);
  state.whole.reset();
  state.access_cells.reset();
  gtk_label_set_text(GTK_LABEL(state.free_label), image ? "Free: following the song…" : "");
  state.live->set_song(image);
  state.tracer->start(std::move(image));
  gtk_widget_queue_draw(area);
}

std::string aram_map_free_text(GtkWidget* map) {
  return gtk_label_get_text(GTK_LABEL(state_of(aram_map_area(map)).free_label));
}

GtkWidget* aram_map_free_button(GtkWidget* map) {
  return gtk_widget_get_parent(state_of(aram_map_area(map)).free_label);
}

const live_aram_picture* aram_map_live_picture(GtkWidget* map) {
  return state_of(aram_map_area(map)).live->picture();
}

aram_map_live_costs aram_map_live_frame_costs(GtkWidget* map) {
  const aram_live_view& live = *state_of(aram_map_area(map)).live;
  return {live.take_costs().mean_us(), live.take_costs().longest_us,
          live.draw_costs().mean_us(), live.draw_costs().longest_us};
}

void aram_map_set_heard_clock(GtkWidget* map, std::function<heard_samples_clock()> make) {
  state_of(aram_map_area(map)).live->set_clock_maker(std::move(make));
}

GtkWidget* aram_map_whole_song_toggle(GtkWidget* map) {
  return state_of(aram_map_area(map)).whole_toggle;
}

void aram_map_set_played(GtkWidget* map, const std::array<bool, 256>* played_sources) {
  GtkWidget* area = aram_map_area(map);
  aram_map_state& state = state_of(area);
  if (played_sources)
    state.played = *played_sources;
  else
    state.played.reset();
  state.cells.reset();
  gtk_widget_queue_draw(area);
}

void aram_map_sample_rgb(int sample_number, double rgb[3]) {
  const struct rgb c = sample_colour(sample_number);
  rgb[0] = c.r, rgb[1] = c.g, rgb[2] = c.b;
}

void aram_map_set_inspected(GtkWidget* map, int sample_number) {
  GtkWidget* area = aram_map_area(map);
  state_of(area).inspected = sample_number;
  gtk_widget_queue_draw(area);
}

GtkWidget* aram_map_area(GtkWidget* map) {
  return static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(map), area_key));
}

std::string aram_map_hover_text(GtkWidget* map) { return state_of(aram_map_area(map)).hover_text; }

std::string aram_map_describe(const aram_layout& layout, u16 address) {
  std::string text =
      "Address " + hex_text_format(address) + " · byte " + hex_text_format(layout.value[address]);
  const std::size_t bare = text.size();
  for (const int number : layout.samples_at(address))
    text += "\nSample " + hex_text_format(static_cast<unsigned>(number)) + " · SRCN " +
            hex_text_format(static_cast<unsigned>(number - 1));
  const u8 areas = layout.areas[address];
  if (areas & aram_area_directory) text += "\nSample directory";
  if (areas & aram_area_echo) text += "\nEcho buffer";
  if (areas & aram_area_low_ram) text += "\nZero page, I/O registers and stack";
  if (areas & aram_area_ipl_rom) text += "\nIPL ROM";
  if (address == layout.program_counter) text += "\nProgram counter";
  if (text.size() == bare) text += "\nNothing claims it";
  return text;
}

void aram_map_draw(cairo_t* cr, int width, int height, const aram_layout& layout, int inspected,
                   const std::array<bool, 256>* played_sources) {
  const surface_ptr cells = paint_cells(layout, played_sources);
  draw_over_cells(cr, aram_map_geometry::fit(width, height), cells.get(), layout, inspected);
}
