// The waveform view: its columns cover every sample once, and hovering
// names the sample and block drawn under the pointer.

#include "waveform_view.h"

#include <gtest/gtest.h>

#include "gui_input.h"
#include "gui_support.h"

namespace {

TEST(waveform_view, ColumnsDrawEverySampleAndFindTheSampleTheyDraw) {
  for (const std::size_t count : {std::size_t{40}, std::size_t{999}, std::size_t{100000}}) {
    for (const int width : {37, 640}) {
      SCOPED_TRACE(testing::Message() << count << " samples, " << width << " columns");
      const waveform_geometry geometry{count, width};
      std::size_t next = 0;
      for (int column = 0; column < width; ++column) {
        const std::size_t first = geometry.first_in_column(column);
        const std::size_t last = geometry.last_in_column(column);
        ASSERT_LE(first, last);
        ASSERT_LE(first, next) << "a gap before column " << column;
        next = std::max(next, last + 1);
        EXPECT_GE(geometry.sample_at(column + 0.5), first);
        EXPECT_LE(geometry.sample_at(column + 0.5), last);
      }
      EXPECT_EQ(next, count);
    }
  }
}

TEST(waveform_view, HoverNamesTheSampleItsBlockAndTheBlocksHeader) {
  auto data = std::make_shared<waveform_data>();
  data->first_pass.assign(64, 0);
  data->loop_start = 32;
  data->loop_pass.assign(32, 0);
  data->blocks = {{0x0800, 0xC0}, {0x0809, 0xC4}, {0x0812, 0xC2}, {0x081B, 0xCB},
                  {0x0812, 0xC2}, {0x081B, 0xCB}};
  GtkWidget* view = waveform_view_new();
  const gui_lone_window window(view, 960, 120);
  waveform_view_set_data(view, data);
  gui_flush();
  EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(view)), "Waveform");

  const waveform_geometry geometry{data->size(), gtk_widget_get_allocated_width(view)};
  const auto hover = [&](std::size_t index) {
    gui_move_to(gtk_widget_get_window(view), geometry.x_of(index) + 1.0, 60);
    return waveform_view_hover_text(view);
  };
  EXPECT_EQ(hover(0), "Sample 0\nBlock 800 · header C0: range C, filter 0");
  EXPECT_EQ(hover(0x14), "Sample 14\nBlock 809 · header C4: range C, filter 1");
  EXPECT_EQ(hover(0x3F), "Sample 3F\nBlock 81B · header CB: range C, filter 2, loop, end");
  EXPECT_EQ(hover(0x40 + 0x12),
            "Sample 32 (loop, second pass)\nBlock 81B · header CB: range C, filter 2, loop, end");
}

}  // namespace
