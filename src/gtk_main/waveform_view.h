// The waveform of one decoded sample: a min/max envelope per pixel column
// of the first pass and one later pass of its loop, the loop shaded and its
// first sample marked. Hovering names the sample, its block's address and
// that block's header. GTK main thread only.
#pragma once

#include <gtk/gtk.h>
#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "spc.h"

// A BRR block as the decoder read it.
struct waveform_block {
  u16 address;  // ARAM address of its header byte
  u8 header;    // range (bits 7-4), filter (3-2), loop (1), end (0)
};

inline constexpr std::size_t waveform_samples_per_block = 16;

struct waveform_data {
  std::vector<std::int16_t> first_pass;  // from the start to the end block
  int loop_start = -1;                   // index into first_pass; -1 when it does not loop
  std::vector<std::int16_t> loop_pass;   // one later pass of the loop, as the DSP plays it
  // One per 16 samples of first_pass, then of loop_pass.
  std::vector<waveform_block> blocks;

  std::size_t size() const { return first_pass.size() + loop_pass.size(); }
  std::int16_t at(std::size_t index) const {
    return index < first_pass.size() ? first_pass[index] : loop_pass[index - first_pass.size()];
  }
};

// Samples spread evenly over `width` pixel columns: what each column draws
// and which sample the pointer is over. Every member: any thread.
struct waveform_geometry {
  std::size_t count;
  int width;

  // The sample under x: one that x's column draws (x clamped to the
  // columns); count must not be 0.
  std::size_t sample_at(double x) const;
  // Column `column` draws samples [first, last], at least one.
  std::size_t first_in_column(int column) const;
  std::size_t last_in_column(int column) const;
  // The x where sample `index` begins.
  double x_of(std::size_t index) const;
};

// Builds the view, showing nothing yet. GTK main thread only.
GtkWidget* waveform_view_new();

// Shows `data` (null: nothing). GTK main thread only.
void waveform_view_set_data(GtkWidget* view, std::shared_ptr<const waveform_data> data);

// The tooltip's text for the sample under the pointer's last position; ""
// when off the samples. GTK main thread only.
std::string waveform_view_hover_text(GtkWidget* view);

// What the tooltip says of sample `index` (first pass, then loop pass). Any thread.
std::string waveform_describe(const waveform_data& data, std::size_t index);

// Draws the background the view caches (everything but the pointer's line)
// into `cr` over `width` x `height`. Any thread, for a `cr` of its own.
void waveform_draw(cairo_t* cr, int width, int height, const waveform_data& data);
