// The Audio RAM map while the song plays: a live_aram_tracer kept in step
// with the playback position, and the picture of what the program did in
// the last second, ready to draw over the layout. Started by Play (the song,
// not a sample played alone), ended by Stop, which keeps the last picture
// until the next file. GTK main thread only.
#pragma once

#include <gtk/gtk.h>
#include <cairo.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "aram_layout.h"
#include "live_aram.h"
#include "play_button.h"
#include "spc.h"

class aram_live_view {
 public:
  // `area` is redrawn when a new picture comes, while it is on screen. The
  // view follows the state of the player of `controls` (the window's, which
  // outlive the map; null: the view never goes live).
  aram_live_view(GtkWidget* area, const play_button* controls);
  // Goes with `area` (its signals are gone by then); ends the tracer.
  ~aram_live_view();
  aram_live_view(const aram_live_view&) = delete;
  aram_live_view& operator=(const aram_live_view&) = delete;

  // Where the heard position comes from: a fresh clock per Play. By
  // default the playback engine's frames (see aram_live.cpp); tests give
  // their own.
  using clock_maker = std::function<heard_samples_clock()>;
  void set_clock_maker(clock_maker make) { make_clock_ = std::move(make); }

  // The song Play plays (null: none); forgets the picture.
  void set_song(std::shared_ptr<const spc_format> image);

  // The latest picture, null before the first Play of this song.
  const live_aram_picture* picture() const { return shown_ ? picture_.get() : nullptr; }
  // The picture's bytes of the last second as 256 x 256 premultiplied ARGB,
  // fading with age (null with no picture).
  cairo_surface_t* overlay() const { return shown_ ? overlay_.get() : nullptr; }
  // The echo buffer while echo writes are on (size 0: none).
  std::uint32_t echo_start() const { return echo_start_; }
  std::uint32_t echo_size() const { return echo_size_; }
  bool in_echo(std::uint32_t address) const {
    return ((address - echo_start_) & 0xFFFF) < echo_size_;
  }
  // "Live: written at 0:12.345" for `address`, "" with no picture or touch.
  std::string describe(u16 address) const;
  // What the main loop spends per frame on the live map since the song was
  // set, in microseconds: taking and painting a picture (starting and
  // ending a tracer left out), and drawing the map with one (as the map
  // reports its draws, note_draw_us). Longest and mean.
  struct frame_costs {
    std::int64_t count = 0, total_us = 0, longest_us = 0;
    void add(std::int64_t us) {
      ++count, total_us += us, longest_us = std::max(longest_us, us);
    }
    std::int64_t mean_us() const { return count ? total_us / count : 0; }
  };
  const frame_costs& take_costs() const { return take_costs_; }
  const frame_costs& draw_costs() const { return draw_costs_; }
  void note_draw_us(std::int64_t us) { draw_costs_.add(us); }

  // Adds to `into` the map's pixels whose overlay cells changed since the
  // last call, and forgets them.
  void take_changed_pixels(cairo_region_t* into);

  // Each sounding voice's BRR block boxed, its number above (the map draws
  // the echo outline).
  void draw_voice_marks(cairo_t* cr, const aram_map_geometry& geometry);

 private:
  struct surface_deleter {
    void operator()(cairo_surface_t* s) const noexcept { cairo_surface_destroy(s); }
  };
  struct region_deleter {
    void operator()(cairo_region_t* r) const noexcept { cairo_region_destroy(r); }
  };

  static gboolean on_poll(gpointer self) noexcept;
  static void on_map(GtkWidget*, gpointer self) noexcept;
  static void on_unmap(GtkWidget*, gpointer self) noexcept;
  static void on_player_state(QuorlinPlayer* player, int state, gpointer self) noexcept;
  void follow_player();
  void poll();
  void arm();
  void disarm();
  // The cells whose pixels changed, per row of 256: first and last column
  // (first > last: none).
  struct changed_cells {
    std::array<u8, 256> first, last;
    changed_cells() { first.fill(255), last.fill(0); }
    void add(std::uint32_t address) {
      const std::size_t row = address >> 8;
      first[row] = std::min<u8>(first[row], u8(address));
      last[row] = std::max<u8>(last[row], u8(address));
    }
  };
  changed_cells paint_overlay();
  void queue_changes(const changed_cells& cells, const std::array<std::int32_t, 8>& boxes_before);
  // The voice numbers as pictures like `target`, made once per cell size:
  // a text path every frame cost more than the rest of the map's draw.
  cairo_surface_t* voice_number(cairo_surface_t* target, int voice, int cell);

  GtkWidget* area_;
  const play_button* controls_;
  clock_maker make_clock_;
  std::shared_ptr<const spc_format> image_;
  std::unique_ptr<live_aram_tracer> tracer_;
  std::unique_ptr<live_aram_picture> picture_ = std::make_unique<live_aram_picture>();
  std::unique_ptr<cairo_surface_t, surface_deleter> overlay_;
  std::array<std::int32_t, 8> boxed_{-1, -1, -1, -1, -1, -1, -1, -1};  // voice blocks drawn
  std::array<std::unique_ptr<cairo_surface_t, surface_deleter>, 8> numbers_;
  int numbers_cell_ = 0;  // the cell size and kind of surface numbers_ were made for
  cairo_surface_type_t numbers_type_ = CAIRO_SURFACE_TYPE_IMAGE;
  std::unique_ptr<cairo_region_t, region_deleter> changed_pixels_{cairo_region_create()};
  std::bitset<256> lit_pages_;   // pages of the overlay with a pixel not clear
  std::bitset<256> echo_pages_;  // pages the echo buffer covers
  bool shown_ = false;  // picture_ holds a picture of this song
  std::uint32_t echo_start_ = 0, echo_size_ = 0;
  guint timer_ = 0;       // taking pictures while the song plays on screen
  gulong state_handler_ = 0;
  frame_costs take_costs_, draw_costs_;
};

// "0:01.234": DSP sample `sample` (32000 a second) as minutes, seconds and
// milliseconds. Any thread.
std::string sample_time_text(std::int64_t sample);
