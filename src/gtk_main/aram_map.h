// The audio RAM map: 256 x 256 cells, one a byte, coloured by what claims
// it (aram_layout), with a legend below. Hovering names the byte and its
// claims; a press on a sample's byte asks to inspect that entry; the
// inspected entry is outlined. GTK main thread only.
#pragma once

#include <gtk/gtk.h>
#include <cairo.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "aram_layout.h"
#include "background_tasks.h"
#include "live_aram.h"
#include "play_button.h"

// Called with the sample number (directory index + 1) of a pressed byte's entry.
using aram_map_sample_chosen = std::function<void(int sample_number)>;

// Builds the map and its legend, showing nothing yet; returns the box to
// pack. The whole song's trace runs as a job of `tasks`, which outlive the
// map; the live view follows the song played through `controls`.
// GTK main thread only.
GtkWidget* aram_map_new(background_tasks& tasks, aram_map_sample_chosen on_sample_chosen,
                        const play_button* controls = nullptr);

// Shows `layout` (null: an empty map). GTK main thread only.
void aram_map_set_layout(GtkWidget* map, std::shared_ptr<const aram_layout> layout);

// The file whose song the map follows (null: none): a full trace with the
// access record runs off the main loop; when it lands, the "Whole song"
// toggle draws every byte the program executed, read or wrote (executed
// over written over read) over the layout, and the free list below the map
// ("Free: 2A00–33FF (2.5 KiB), …", largest first, as quorlin --free gives
// them: the first eight and how many more) fills in; a click on it copies
// every range. GTK main thread only.
void aram_map_set_song(GtkWidget* map, std::shared_ptr<const spc_format> image);

// The free list's text ("Free: following the song…" until the trace lands),
// the button that copies it, and the "Whole song" toggle. GTK main thread only.
std::string aram_map_free_text(GtkWidget* map);
GtkWidget* aram_map_free_button(GtkWidget* map);
GtkWidget* aram_map_whole_song_toggle(GtkWidget* map);

// While the song plays (Play, from the file aram_map_set_song gave), the map
// draws what the program did over the last second, fading, each sounding
// voice's BRR block boxed with its number, and the echo buffer outlined;
// after Stop it keeps the last picture until the next file. The latest
// picture (null before the first Play of the file); and what the main loop
// spent per frame since the file was given, taking a picture and drawing
// the map with one, mean and longest in microseconds. GTK main thread only.
const live_aram_picture* aram_map_live_picture(GtkWidget* map);
struct aram_map_live_costs {
  std::int64_t take_mean_us, take_longest_us, draw_mean_us, draw_longest_us;
};
aram_map_live_costs aram_map_live_frame_costs(GtkWidget* map);
// For tests: where each Play's heard position comes from (DSP samples since
// Play), instead of the playback engine's count. GTK main thread only.
void aram_map_set_heard_clock(GtkWidget* map, std::function<heard_samples_clock()> make);

// What the song plays, per directory index (null: not known): the blocks
// of entries it never plays are drawn faint, and only entries it plays
// make an overlap. GTK main thread only.
void aram_map_set_played(GtkWidget* map, const std::array<bool, 256>* played_sources);

// The hue of sample `sample_number` in the map, as red, green and blue
// in 0 ... 1: other pictures colour a sample the same way. Any thread.
void aram_map_sample_rgb(int sample_number, double rgb[3]);

// Outlines the blocks of sample `sample_number` (0: none). GTK main thread only.
void aram_map_set_inspected(GtkWidget* map, int sample_number);

// The drawing area inside the box (accessible name "Audio RAM map"). GTK main thread only.
GtkWidget* aram_map_area(GtkWidget* map);

// The tooltip's text for the byte under the pointer's last position over
// the map; "" when it is off the cells or nothing is shown. GTK main thread only.
std::string aram_map_hover_text(GtkWidget* map);

// What the tooltip says of `address`: the address and byte, then one line
// per claim. Any thread.
std::string aram_map_describe(const aram_layout& layout, u16 address);

// Draws the whole map for `layout` into `cr` over `width` x `height`, the
// inspected entry outlined (and, when `played_sources` is given, the
// entries the song never plays faint): what the widget draws, for offscreen
// use. Any thread, for a `cr` of its own.
void aram_map_draw(cairo_t* cr, int width, int height, const aram_layout& layout,
                   int inspected, const std::array<bool, 256>* played_sources = nullptr);
