// The playback position: libao says nothing of the device's latency, so the
// heard position is worked out from what the engine knows. The playing
// thread hands the device a quarter second (8000 frames) at a time and
// counts those frames once ao_play has taken them (frames played); the
// device queue it asks for is 120 ms. So when the count moves, the listener
// hears about 120 ms before its end, and while the next quarter second is
// handed over, the sound goes on at 32000 frames a second from there.

#include "aram_live.h"

#include <glib.h>

#include <algorithm>
#include <bitset>
#include <chrono>
#include <cstdio>
#include <utility>
#include <vector>

#include "aram_layout.h"
#include "aram_regions.h"
#include "playback.h"
#include "play_button.h"
#include "song_length.h"
#include "song_trace.h"

namespace {

constexpr std::int64_t handed_over_samples = dsp_sample_rate / 4;  // one ao_play
constexpr std::int64_t device_queue_samples = dsp_sample_rate * 120 / 1000;
// 24 pictures a second: a fade over a second needs no more, and each one
// costs the main loop a draw of the rows that changed.
constexpr guint playing_interval_ms = 42;
constexpr std::int64_t fade_samples = dsp_sample_rate;  // a touch fades out over 1 s
// A write at full strength (alpha 230), premultiplied, as paint_overlay draws it.
constexpr std::uint32_t echo_written_pixel = 230u << 24 | (255u * 230 / 255) << 16 |
                                             (115u * 230 / 255) << 8 | (26u * 230 / 255);

// The live overlay fades out in this many steps over fade_samples.
constexpr std::int64_t fade_steps = 8;

// A voice's number is a square picture: the glyph at font size
// number_font_size, its baseline a pixel above the voice's box, and
// number_pad pixels around for its dark outline.
constexpr int number_pad = 2;
int number_font_size(int cell) { return std::max(9, 3 * cell); }
struct number_place {
  int x, y;
};
number_place number_place_of(const aram_map_geometry& geometry, std::uint32_t block) {
  return {geometry.cell_x(block) - number_pad,
          geometry.cell_y(block) - 1 - number_font_size(geometry.cell) - number_pad};
}

// The nine bytes of a BRR block from `block` on, as runs within rows
// (first, last address): one, or two where it runs on to the next row or
// past FFFF to 0.
std::vector<std::pair<std::uint32_t, std::uint32_t>> block_rows(std::uint32_t block) {
  const std::uint32_t last = (block + 8) & 0xFFFF;
  if (last >> 8 == block >> 8 && last >= block) return {{block, last}};
  return {{block, block | 0xFF}, {last & 0xFF00, last}};
}

// What a voice's mark covers, added to `area`: its box, whose stroke
// reaches a pixel past the cells, and its number.
void add_mark_area(std::vector<cairo_rectangle_int_t>& area, const aram_map_geometry& geometry,
                   std::uint32_t block) {
  for (const auto& [first, last] : block_rows(block))
    area.push_back({geometry.cell_x(first) - 1, geometry.cell_y(first) - 1,
                    int(last - first + 1) * geometry.cell + 2, geometry.cell + 2});
  const number_place place = number_place_of(geometry, block);
  const int size = number_font_size(geometry.cell) + 2 * number_pad;
  area.push_back({place.x, place.y, size, size});
}

// One region of `rectangles` made at once: a union per rectangle costs a
// region's worth of copying each.
cairo_region_t* region_of(const std::vector<cairo_rectangle_int_t>& rectangles) {
  return cairo_region_create_rectangles(rectangles.data(), int(rectangles.size()));
}

// The heard position, in DSP samples since Play (see the top of the file).
// The tracer's thread only.
class heard_position {
 public:
  // Holds `player` (a reference of its own: the tracer's thread may outlive
  // the window's controls by a slice).
  explicit heard_position(QuorlinPlayer* player)
      : player_(QUORLIN_PLAYER(g_object_ref(player)), g_object_unref) {}

  std::int64_t operator()() {
    const auto now = std::chrono::steady_clock::now();
    const std::int64_t handed = std::int64_t(quorlin_player_get_frames_played(player_.get()));
    if (handed != handed_) {
      handed_ = handed;
      moved_ = now;
    }
    const std::int64_t since =
        std::chrono::duration_cast<std::chrono::microseconds>(now - moved_).count() *
        dsp_sample_rate / 1000000;
    return std::max<std::int64_t>(
        0, handed_ - device_queue_samples + std::min(since, handed_over_samples));
  }

 private:
  std::shared_ptr<QuorlinPlayer> player_;
  std::int64_t handed_ = 0;
  std::chrono::steady_clock::time_point moved_ = std::chrono::steady_clock::now();
};

// Whether the song plays through `controls` (not a sample played alone:
// that one the Sample page's button started).
bool song_playing(const play_button* controls) {
  return controls &&
         play_button_playing(*controls) == play_button_get_widgets(*controls).button_play;
}

}  // namespace

std::string sample_time_text(std::int64_t sample) {
  const std::int64_t ms = sample * 1000 / dsp_sample_rate;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
  return text;
}

aram_live_view::aram_live_view(GtkWidget* area, const play_button* controls)
    : area_(area), controls_(controls) {
  if (controls)
    make_clock_ = [player = play_button_player(*controls)] {
      return heard_samples_clock(heard_position{player});
    };
  overlay_.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 256, 256));
  g_signal_connect(area, "map", G_CALLBACK(on_map), this);
  g_signal_connect(area, "unmap", G_CALLBACK(on_unmap), this);
  if (controls)
    state_handler_ = g_signal_connect(play_button_player(*controls), "state-changed",
                                      G_CALLBACK(on_player_state), this);
}

aram_live_view::~aram_live_view() {
  if (timer_) g_source_remove(timer_);
  if (state_handler_) g_signal_handler_disconnect(play_button_player(*controls_), state_handler_);
}

void aram_live_view::set_song(std::shared_ptr<const spc_format> image) {
  tracer_.reset();
  image_ = std::move(image);
  shown_ = false;
  picture_->clear();
  boxed_.fill(-1);
  if (overlay_) {
    cairo_surface_flush(overlay_.get());
    if (unsigned char* data = cairo_image_surface_get_data(overlay_.get()))
      std::fill_n(data, std::size_t(cairo_image_surface_get_stride(overlay_.get())) * 256, 0);
    lit_pages_.reset();
    cairo_surface_mark_dirty(overlay_.get());
  }
  changed_pixels_.reset(cairo_region_create());
  echo_start_ = echo_size_ = 0;
  echo_pages_.reset();
  if (image_) {
    if (const auto echo = echo_region(*image_)) echo_start_ = echo->start, echo_size_ = echo->size;
  }
  for (std::uint32_t offset = 0; offset < echo_size_; offset += 0x100)
    echo_pages_.set((echo_start_ + offset) >> 8 & 0xFF);
  if (echo_size_ > 0) echo_pages_.set((echo_start_ + echo_size_ - 1) >> 8 & 0xFF);
  take_costs_ = draw_costs_ = {};
  disarm();
}

void aram_live_view::arm() {
  if (!timer_) timer_ = g_timeout_add(playing_interval_ms, on_poll, this);
}

void aram_live_view::disarm() {
  if (timer_) g_source_remove(timer_);
  timer_ = 0;
}

// A tracer starts with the song's Play (or when the map comes on screen
// while it plays) and ends with its Stop or end, which keep the last picture.
void aram_live_view::follow_player() {
  const bool playing = image_ && make_clock_ && song_playing(controls_);
  if (!playing) {
    tracer_.reset();
    disarm();
    return;
  }
  if (!gtk_widget_get_mapped(area_)) return;
  if (!tracer_) {
    try {
      tracer_ = std::make_unique<live_aram_tracer>(
          image_, song_length_of(*image_, std::nullopt).seconds, make_clock_());
    } catch (const std::exception&) {
      return;  // no thread to be had: the map goes on with the layout
    }
  }
  arm();
}

// Every Play starts the song over, from a new tracer: Play while playing
// stops first, which passes through idle.
void aram_live_view::on_player_state(QuorlinPlayer*, int state, gpointer self) noexcept {
  auto& view = *static_cast<aram_live_view*>(self);
  if (state != QUORLIN_PLAYER_PLAYING) view.tracer_.reset();
  view.follow_player();
}

gboolean aram_live_view::on_poll(gpointer self) noexcept {
  static_cast<aram_live_view*>(self)->poll();
  return G_SOURCE_CONTINUE;
}

void aram_live_view::on_map(GtkWidget*, gpointer self) noexcept {
  static_cast<aram_live_view*>(self)->follow_player();
}

// Off screen nothing is drawn; a tracer running goes on, its pictures
// waiting for the page to come back.
void aram_live_view::on_unmap(GtkWidget*, gpointer self) noexcept {
  static_cast<aram_live_view*>(self)->disarm();
}

void aram_live_view::poll() {
  const std::int64_t began = g_get_monotonic_time();
  if (tracer_ && tracer_->take(picture_)) {
    shown_ = true;
    const changed_cells cells = paint_overlay();
    const std::array<std::int32_t, 8> boxes_before = boxed_;
    boxed_ = picture_->voice_block;
    queue_changes(cells, boxes_before);
    take_costs_.add(g_get_monotonic_time() - began);
  }
}

// Only what changed is drawn again: the cells whose colour moved a step,
// and the boxes of the voices that moved on. A driver's loop keeps its code
// and variables at full strength, so most frames change a few cells and
// the voices' boxes; drawing is most of what the live map costs.
void aram_live_view::queue_changes(const changed_cells& cells,
                                   const std::array<std::int32_t, 8>& boxes_before) {
  const aram_map_geometry geometry = aram_map_geometry::fit(gtk_widget_get_allocated_width(area_),
                                                            gtk_widget_get_allocated_height(area_));
  const int cell = geometry.cell;
  std::vector<cairo_rectangle_int_t> area;
  for (int row = 0; row < 256; ++row) {
    const int first = cells.first[std::size_t(row)], last = cells.last[std::size_t(row)];
    if (first > last) continue;
    const cairo_rectangle_int_t changed{first * cell, row * cell, (last - first + 1) * cell, cell};
    // Rows changed over the same columns make one rectangle.
    if (!area.empty() && area.back().x == changed.x && area.back().width == changed.width &&
        area.back().y + area.back().height == changed.y)
      area.back().height += cell;
    else
      area.push_back(changed);
  }
  if (!area.empty()) {
    cairo_region_t* changed = region_of(area);
    cairo_region_union(changed_pixels_.get(), changed);
    cairo_region_destroy(changed);
  }
  for (int v = 0; v < 8; ++v) {
    if (boxes_before[std::size_t(v)] == boxed_[std::size_t(v)]) continue;
    for (const std::int32_t block : {boxes_before[std::size_t(v)], boxed_[std::size_t(v)]})
      if (block >= 0) add_mark_area(area, geometry, std::uint32_t(block));
  }
  if (area.empty()) return;
  cairo_region_t* region = region_of(area);
  gtk_widget_queue_draw_region(area_, region);
  cairo_region_destroy(region);
}

// Premultiplied: each colour channel scaled by the alpha, which falls in
// fade_steps steps from 0.9 for a touch in the last eighth of a second to
// 0 a second on. Steps, not a ramp: a byte the driver touches all the time
// keeps its colour, and only bytes it left change.
aram_live_view::changed_cells aram_live_view::paint_overlay() {
  changed_cells changed;
  cairo_surface_flush(overlay_.get());
  unsigned char* data = cairo_image_surface_get_data(overlay_.get());
  if (!data) {
    for (std::uint32_t row = 0; row < 256; ++row) changed.add(row << 8), changed.add(row << 8 | 0xFF);
    return changed;
  }
  const int stride = cairo_image_surface_get_stride(overlay_.get());
  // Executed green, written orange, read light blue: as the whole song's.
  static constexpr std::uint8_t colours[4][3] = {{0, 0, 0}, {89, 217, 255}, {255, 115, 26},
                                                 {38, 242, 89}};
  const live_aram_picture& p = *picture_;
  for (std::uint32_t a = 0; a < 0x10000; ++a) {
    // A page neither touched within the fade nor still showing a touch
    // stays as it is: all clear.
    const std::size_t page = a >> 8;
    if ((a & 0xFF) == 0 && !lit_pages_[page] && !echo_pages_[page] &&
        p.sample - p.page_last_sample[page] >= fade_samples) {
      a += 0xFF;
      continue;
    }
    std::uint32_t pixel = 0;
    const std::int64_t age = p.sample - p.last_sample[a];
    if (p.last_kind[a] != live_aram_picture::none && age < fade_samples) {
      const std::int64_t step = age * fade_steps / fade_samples;
      const std::uint32_t alpha = std::uint32_t(230 * (fade_steps - step) / fade_steps);
      const std::uint8_t* c = colours[p.last_kind[a]];
      pixel = alpha << 24 | (c[0] * alpha / 255) << 16 | (c[1] * alpha / 255) << 8 |
              (c[2] * alpha / 255);
    }
    // The DSP writes four bytes of the echo buffer every sample, round and
    // round: at 24 pictures a second every byte of it is freshly written.
    if (pixel == 0 && p.sample >= 0 && in_echo(a)) pixel = echo_written_pixel;
    auto* row = reinterpret_cast<std::uint32_t*>(data + std::ptrdiff_t(page) * stride);
    std::uint32_t& cell = row[a & 0xFF];
    if (cell != pixel) changed.add(a);
    cell = pixel;
    if ((a & 0xFF) == 0) lit_pages_.reset(page);
    if (pixel != 0) lit_pages_.set(page);
  }
  cairo_surface_mark_dirty(overlay_.get());
  return changed;
}

void aram_live_view::take_changed_pixels(cairo_region_t* into) {
  cairo_region_union(into, changed_pixels_.get());
  changed_pixels_.reset(cairo_region_create());
}

cairo_surface_t* aram_live_view::voice_number(cairo_surface_t* target, int voice, int cell) {
  if (numbers_cell_ != cell || numbers_type_ != cairo_surface_get_type(target)) {
    for (auto& number : numbers_) number.reset();
    numbers_cell_ = cell;
    numbers_type_ = cairo_surface_get_type(target);
  }
  auto& number = numbers_[std::size_t(voice)];
  if (!number) {
    const int size = number_font_size(cell);
    // Of the target's kind: an X server keeps it, and a draw only names it.
    number.reset(cairo_surface_create_similar(target, CAIRO_CONTENT_COLOR_ALPHA,
                                              size + 2 * number_pad, size + 2 * number_pad));
    cairo_t* cr = cairo_create(number.get());
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, number_pad, number_pad + size);
    const char digit[2] = {char('0' + voice), 0};
    cairo_text_path(cr, digit);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 3.0);
    cairo_stroke_preserve(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill(cr);
    cairo_destroy(cr);
  }
  return number.get();
}

void aram_live_view::draw_voice_marks(cairo_t* cr, const aram_map_geometry& geometry) {
  const live_aram_picture* p = picture();
  if (!p) return;
  for (int v = 0; v < 8; ++v) {
    const std::int32_t block = p->voice_block[std::size_t(v)];
    if (block < 0) continue;
    cairo_set_line_width(cr, 2.0);
    for (const auto& [first, last] : block_rows(std::uint32_t(block))) {
      cairo_rectangle(cr, geometry.cell_x(first), geometry.cell_y(first),
                      (last - first + 1) * geometry.cell, geometry.cell);
    }
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_stroke(cr);
    const number_place place = number_place_of(geometry, std::uint32_t(block));
    cairo_set_source_surface(cr, voice_number(cairo_get_target(cr), v, geometry.cell), place.x, place.y);
    cairo_paint(cr);
  }
}

std::string aram_live_view::describe(u16 address) const {
  const live_aram_picture* p = picture();
  if (!p) return "";
  const live_aram_picture::access_kind kind = p->last_kind[address];
  // The program's own touch while it still shows; else the DSP's echo.
  const bool touch_shown =
      kind != live_aram_picture::none && p->sample - p->last_sample[address] < fade_samples;
  if (!touch_shown && in_echo(address))
    return "Live: written by the DSP's echo at " + sample_time_text(p->sample);
  if (kind == live_aram_picture::none) return "";
  // Characters, not pointers: read-only data with nothing to relocate.
  static constexpr char kinds[][9] = {"", "read", "written", "executed"};
  return std::string("Live: ") + kinds[kind] + " at " +
         sample_time_text(p->last_sample[address]);
}
