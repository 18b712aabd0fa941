// The Audio RAM page while the song plays, in the real window: Play brings
// the program's accesses onto the map within a second, voice 0's box moves
// through its sample's blocks, Stop keeps the last picture and a new file
// clears it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>

#include "aram_map.h"
#include "gui_input.h"
#include "gui_support.h"
#include "inspector_pane.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "dsp_registers.h"
#include "spc_builder.h"
#include "table_fixture.h"

namespace {

TEST(AramLiveTest, PlayDrawsTheProgramAndTheVoicesAndStopKeepsTheLastPicture) {
  gui_window();
  temp_dir dir;
  // The program loops on BRA at 0400; voice 0 plays entry 0's two blocks
  // (1000, 1009) at one BRR sample per output sample, a block every 0.5 ms.
  // The DSP writes its echo into 6000-67FF.
  spc_builder echoing;
  echoing.square_wave_tone().dsp(r_echo_start, 0x60).dsp(r_echo_delay, 1).dsp(r_flags, 0);
  ASSERT_TRUE(main_window_load_file(gui_window(), echoing.write_to(dir.path(), "tone.spc").c_str()));
  const inspector_pane_widgets& pane = inspector_pane_get_widgets(gui_pane());
  gtk_notebook_set_current_page(GTK_NOTEBOOK(pane.notebook), 2);
  ASSERT_TRUE(gui_wait_laid_out(aram_map_area(pane.map)));
  EXPECT_EQ(aram_map_live_picture(pane.map), nullptr) << "nothing played yet";
  // The test's sound double runs far ahead of real time: the song is heard
  // here as the wall clock goes, from Play on.
  aram_map_set_heard_clock(pane.map, [] {
    return [start = g_get_monotonic_time()] {
      return (g_get_monotonic_time() - start) * 32000 / 1000000;
    };
  });

  GtkWidget* play = main_window_get_widgets(gui_window()).button_play;
  gtk_button_clicked(GTK_BUTTON(play));
  const auto executed_loop = [&] {
    const live_aram_picture* p = aram_map_live_picture(pane.map);
    return p && p->last_kind[0x0400] == live_aram_picture::executed &&
           p->last_kind[0x0401] == live_aram_picture::executed;
  };
  EXPECT_TRUE(gui_wait_until(executed_loop, 1000)) << "the driver's loop within a second of Play";

  std::set<std::int32_t> blocks;
  EXPECT_TRUE(gui_wait_until([&] {
    if (const live_aram_picture* p = aram_map_live_picture(pane.map)) blocks.insert(p->voice_block[0]);
    return blocks.count(0x1000) && blocks.count(0x1009);
  })) << "voice 0 seen in " << blocks.size() << " places";
  EXPECT_EQ(blocks, (std::set<std::int32_t>{0x1000, 0x1009})) << "only its own blocks";
  const live_aram_picture* last = aram_map_live_picture(pane.map);
  EXPECT_EQ(last->voice_block[1], -1) << "voice 1 is silent";
  GtkWidget* area = aram_map_area(pane.map);
  const auto geometry = aram_map_geometry::fit(gtk_widget_get_allocated_width(area),
                                               gtk_widget_get_allocated_height(area));
  {
    // Voice 0's box is white on its block's top edge, and its number, white
    // in a dark outline, stands above it.
    cairo_surface_t* drawn = cairo_image_surface_create(
        CAIRO_FORMAT_RGB24, gtk_widget_get_allocated_width(area), gtk_widget_get_allocated_height(area));
    cairo_t* cr = cairo_create(drawn);
    gtk_widget_draw(area, cr);
    cairo_destroy(cr);
    cairo_surface_flush(drawn);
    const auto rgb_at = [&](int x, int y) {
      const unsigned char* row = cairo_image_surface_get_data(drawn) + y * cairo_image_surface_get_stride(drawn);
      return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xFFFFFF;
    };
    const std::uint32_t block = std::uint32_t(aram_map_live_picture(pane.map)->voice_block[0]);
    EXPECT_EQ(rgb_at(geometry.cell_x(block + 8), geometry.cell_y(block)), 0xFFFFFFu);
    const int size = std::max(9, 3 * geometry.cell);  // the number's font size
    int light = 0, black = 0;  // a small glyph's strokes are antialiased greys
    for (int y = geometry.cell_y(block) - 1 - size; y < geometry.cell_y(block) - 1; ++y)
      for (int x = geometry.cell_x(block); x < geometry.cell_x(block) + size; ++x) {
        const std::uint32_t c = rgb_at(x, y);
        light += c == (c & 0xFF) * 0x010101u && (c & 0xFF) >= 0xC0;
        black += c == 0;
      }
    EXPECT_TRUE(light > 0 && black > 0) << "the number 0 above its box";
    cairo_surface_destroy(drawn);
  }
  gui_move_to(gtk_widget_get_window(area), geometry.cell_x(0x6404) + geometry.cell / 2.0,
              geometry.cell_y(0x6404) + geometry.cell / 2.0);
  EXPECT_NE(aram_map_hover_text(pane.map).find("written by the DSP's echo"), std::string::npos)
      << aram_map_hover_text(pane.map);
  // What the main loop spends per frame drawn, for docs/performance.md.
  const aram_map_live_costs costs = aram_map_live_frame_costs(pane.map);
  RecordProperty("take_mean_us", static_cast<int>(costs.take_mean_us));
  RecordProperty("take_longest_us", static_cast<int>(costs.take_longest_us));
  RecordProperty("draw_mean_us", static_cast<int>(costs.draw_mean_us));
  RecordProperty("draw_longest_us", static_cast<int>(costs.draw_longest_us));

  gtk_button_clicked(GTK_BUTTON(play));
  ASSERT_EQ(gui_text(play), "Play");
  gui_flush();
  EXPECT_TRUE(executed_loop()) << "Stop keeps the last picture";

  ASSERT_TRUE(main_window_load_file(gui_window(), 
      spc_builder().square_wave_tone().write_to(dir.path(), "again.spc").c_str()));
  EXPECT_EQ(aram_map_live_picture(pane.map), nullptr) << "a new file starts with its layout";
  gtk_notebook_set_current_page(GTK_NOTEBOOK(pane.notebook), 0);
  table_fixture_reset();
}

}  // namespace
