// The audio RAM map through real pointer input: what hovering and pressing
// find is what the map drew at that spot.

#include "aram_map.h"
#include "background_tasks.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>
#include <sstream>
#include <utility>
#include <vector>

#include "command_run.h"
#include "gui_input.h"
#include "gui_support.h"
#include "spc_builder.h"

namespace {

class AramMapTest : public testing::Test {
 protected:
  void SetUp() override {
    // The tone image's entry 0 at 1000 (two blocks; PC at 0400) with its
    // directory moved to 2000, entry 3 on its second block, entry 4 three
    // blocks at 3000, then a byte FF.
    builder.square_wave_tone().dir_page(0x20).dir_entry(0, 0x1000, 0x1000);
    builder.dir_entry(3, 0x1009, 0x1009).dir_entry(4, 0x3000, 0x3000);
    builder.brr_chain(0x3000, 3, 0x11).aram(0x301C, {0xFF});
    layout = make_aram_layout(builder.image());
    ASSERT_TRUE(layout);
    map = aram_map_new(tasks, [this](int number) { chosen.push_back(number); });
    window = std::make_unique<gui_lone_window>(map, 700, 800);
    aram_map_set_layout(map, layout);
    area = aram_map_area(map);
    gui_flush();
    geometry = aram_map_geometry::fit(gtk_widget_get_allocated_width(area),
                                      gtk_widget_get_allocated_height(area));
  }

  // The middle of the cell the map draws `address` in.
  double middle_x(u16 address) const { return geometry.cell_x(address) + geometry.cell / 2.0; }
  double middle_y(u16 address) const { return geometry.cell_y(address) + geometry.cell / 2.0; }
  std::string hover(u16 address) {
    gui_move_to(gtk_widget_get_window(area), middle_x(address), middle_y(address));
    return aram_map_hover_text(map);
  }
  void press(u16 address) {
    gui_press_at(gtk_widget_get_window(area), middle_x(address), middle_y(address));
  }

  spc_builder builder;
  background_tasks tasks;  // the map's whole-song trace runs here; outlives the map
  std::shared_ptr<const aram_layout> layout;
  std::vector<int> chosen;
  GtkWidget* map = nullptr;
  GtkWidget* area = nullptr;
  std::unique_ptr<gui_lone_window> window;
  aram_map_geometry geometry;
};

TEST_F(AramMapTest, HoverNamesWhatTheCellUnderThePointerShows) {
  ASSERT_GE(geometry.cell, 2) << "700 x 800 leaves room for cells of two pixels and more";
  EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(area)), "Audio RAM map");
  EXPECT_EQ(hover(0x1000), "Address 1000 · byte C0\nSample 1 · SRCN 0");
  EXPECT_EQ(hover(0x1011), "Address 1011 · byte 88\nSample 1 · SRCN 0\nSample 4 · SRCN 3");
  EXPECT_EQ(hover(0x2003), "Address 2003 · byte 10\nSample directory");
  EXPECT_EQ(hover(0x0400), "Address 400 · byte 2F\nProgram counter");
  EXPECT_EQ(hover(0x00F0), "Address F0 · byte A\nZero page, I/O registers and stack");
  EXPECT_EQ(hover(0xFFFF), "Address FFFF · byte 0\nNothing claims it");
  gui_move_to(gtk_widget_get_window(area), geometry.side() + 2.0, 10);
  EXPECT_EQ(aram_map_hover_text(map), "") << "right of the cells";

  // The same spots in a picture the map draws offscreen at the widget's size.
  const int width = gtk_widget_get_allocated_width(area);
  const int height = gtk_widget_get_allocated_height(area);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  aram_map_draw(cr, width, height, *layout, 0);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  const auto colour_at = [&](u16 address) {
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const auto* row = reinterpret_cast<const std::uint32_t*>(
        data + static_cast<int>(middle_y(address)) * cairo_image_surface_get_stride(surface));
    return row[static_cast<int>(middle_x(address))] & 0xFFFFFF;
  };
  const auto is_grey = [](std::uint32_t c) {
    return (c >> 16 & 0xFF) == (c >> 8 & 0xFF) && (c >> 8 & 0xFF) == (c & 0xFF);
  };
  EXPECT_FALSE(is_grey(colour_at(0x3000))) << "entry 4's hue";
  EXPECT_EQ(colour_at(0x3000), colour_at(0x301A)) << "one hue for all its blocks";
  EXPECT_NE(colour_at(0x3000), colour_at(0x1000)) << "another entry, another hue";
  EXPECT_EQ(colour_at(0x1011), 0xFFFFFFu) << "overlap";
  EXPECT_TRUE(is_grey(colour_at(0x301B))) << "just past entry 4's end";
  EXPECT_NE(colour_at(0x301B), colour_at(0x301C)) << "bytes 0 and FF in different greys";
  cairo_surface_destroy(surface);
}

TEST_F(AramMapTest, PressInspectsTheEntryThereAndStepsThroughOverlaps) {
  press(0x301A);
  press(0x1000);
  press(0x8000);  // nothing there
  press(0x2000);  // the directory is no sample
  EXPECT_EQ(chosen, (std::vector<int>{5, 1}));

  chosen.clear();
  aram_map_set_inspected(map, 1);
  press(0x100A);
  aram_map_set_inspected(map, 4);
  press(0x100A);
  EXPECT_EQ(chosen, (std::vector<int>{4, 1})) << "from 1 on to 4, and round to 1";
}

// The map follows the song: a click on its free list copies the ranges
// `quorlin --free` prints, in its order; "Whole song" names what the
// program did to each byte.
TEST_F(AramMapTest, FreeListIsWhatFreePrintsAndWholeSongNamesTheAccesses) {
  temp_dir dir;
  const std::string path = builder.write_to(dir.path(), "a.spc");
  aram_map_set_song(map, std::make_shared<spc_format>(builder.image()));
  ASSERT_TRUE(gui_wait_until(
      [this] { return aram_map_free_text(map).find("following") == std::string::npos; }, 60000))
      << aram_map_free_text(map);

  const run_result free = run_without_display({QUORLIN_BINARY, "--free", path});
  ASSERT_EQ(free.status, 0) << free.err;
  std::vector<std::pair<unsigned, unsigned>> printed, listed;
  std::istringstream lines(free.out);
  for (std::string line; std::getline(lines, line);) {
    unsigned start = 0, end = 0;
    if (std::sscanf(line.c_str(), "%x\t%x", &start, &end) == 2) printed.emplace_back(start, end);
  }
  gui_set_clipboard_text("");
  gui_click_button(aram_map_free_button(map));
  ASSERT_TRUE(gui_wait_until([&] { return !gui_clipboard_text().empty(); }));
  const std::string text = gui_clipboard_text();  // every range; the label shows eight
  ASSERT_EQ(text.rfind("Free: ", 0), 0u) << text;
  EXPECT_EQ(aram_map_free_text(map).substr(0, 60), text.substr(0, 60));
  for (std::size_t at = 0; (at = text.find(" (", at)) != std::string::npos; ++at) {
    // "2A00–33FF (2.5 KiB)": the en dash is three bytes.
    const std::size_t from = text.rfind(' ', at - 1) + 1;
    listed.emplace_back(std::stoul(text.substr(from, 4), nullptr, 16),
                        std::stoul(text.substr(at - 4, 4), nullptr, 16));
  }
  EXPECT_FALSE(printed.empty());
  EXPECT_EQ(listed, printed) << text << "\n" << free.out;


  EXPECT_EQ(hover(0x0400), "Address 400 · byte 2F\nProgram counter") << "off: the layout alone";
  gui_click_button(aram_map_whole_song_toggle(map));
  EXPECT_EQ(hover(0x0400).rfind("Address 400 · byte 2F\nProgram counter\nWhole song: executed ", 0),
            0u)
      << hover(0x0400);
  EXPECT_EQ(hover(0x1000), "Address 1000 · byte C0\nSample 1 · SRCN 0\nWhole song: never touched");
}

// The window keeps the map scaled between draws: after each change it
// still draws what the map draws offscreen from scratch.
TEST_F(AramMapTest, TheWindowDrawsWhatTheMapDrawsAfterEachChange) {
  const int width = gtk_widget_get_allocated_width(area);
  const int height = gtk_widget_get_allocated_height(area);
  const auto picture = [&](const std::function<void(cairo_t*)>& draw) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    draw(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const auto* data = cairo_image_surface_get_data(surface);
    std::vector<unsigned char> bytes;
    for (int y = 0; y < geometry.side(); ++y) {
      const auto* row = data + y * cairo_image_surface_get_stride(surface);
      bytes.insert(bytes.end(), row, row + 4 * geometry.side());
    }
    cairo_surface_destroy(surface);
    return bytes;
  };
  const auto in_window = [&] { return picture([&](cairo_t* cr) { gtk_widget_draw(area, cr); }); };
  std::array<bool, 256> played{};
  played[4] = true;
  spc_builder other;
  other.square_wave_tone().dir_entry(1, 0x5000, 0x5000).brr_chain(0x5000, 2, 0x22);
  const std::shared_ptr<const aram_layout> other_layout = make_aram_layout(other.image());
  ASSERT_TRUE(other_layout);

  EXPECT_TRUE(in_window() == picture([&](cairo_t* cr) { aram_map_draw(cr, width, height, *layout, 0); }));
  {
    // The map has a window of its own: beside the cells it paints the
    // page's background itself, or old pixels would show there.
    ASSERT_GT(width, geometry.side());
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(area, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const auto* row = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface));
    EXPECT_NE(row[geometry.side() + 1] & 0xFFFFFF, 0u) << "nothing drawn right of the cells";
    cairo_surface_destroy(surface);
  }
  aram_map_set_played(map, &played);
  EXPECT_TRUE(in_window() ==
              picture([&](cairo_t* cr) { aram_map_draw(cr, width, height, *layout, 0, &played); }))
      << "entries never played are faint";
  aram_map_set_inspected(map, 5);
  EXPECT_TRUE(in_window() ==
              picture([&](cairo_t* cr) { aram_map_draw(cr, width, height, *layout, 5, &played); }))
      << "entry 4 outlined";
  aram_map_set_layout(map, other_layout);
  EXPECT_TRUE(in_window() ==
              picture([&](cairo_t* cr) { aram_map_draw(cr, width, height, *other_layout, 5); }))
      << "another file";
}

}  // namespace
