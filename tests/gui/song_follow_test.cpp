// The song in the real window: the trace lands after a load without the
// window waiting for it; the table, its filter, the status line, the Sample
// page, the map and the timeline then follow it. Traces are built by hand
// and handed over as a landed one would be.

#include "song_follow.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <string>

#include "aram_map.h"
#include "filter_panel.h"
#include "gui_input.h"
#include "gui_support.h"
#include "hex_text.h"
#include "inspector_pane.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "sample_inspector.h"
#include "sample_table.h"
#include "song_length.h"
#include "song_page.h"
#include "spc_builder.h"
#include "table_fixture.h"
#include "timeline_view.h"

namespace {

constexpr int song_page_number = 3;

// A key-on of directory entry `srcn` starting at `start`, as the trace
// records it from the directory at that moment.
trace_event key_on(double seconds, u8 voice, u8 srcn, u16 start) {
  trace_event e;
  e.start = e.loop = start;
  e.sample = static_cast<std::int64_t>(seconds * dsp_sample_rate);
  e.voice = voice;
  e.srcn = srcn;
  e.pitch = 0x1000;
  e.vol_left = e.vol_right = 0x60;
  return e;
}

// Entry 1 on voice 0 at 0 s and 1 s, entry 2 on voice 1 at 0.5 s; entry 3
// never. Ten seconds traced.
std::shared_ptr<const song_trace> two_of_three_played() {
  auto trace = std::make_shared<song_trace>();
  trace->samples = 10 * dsp_sample_rate;
  trace->events = {key_on(0, 0, 0, 0x1000), key_on(0.5, 1, 1, 0x3000), key_on(1, 0, 0, 0x1000)};
  return trace;
}

class SongFollowTest : public testing::Test {
 protected:
  void SetUp() override {
    gui_window();
    gui_focus_window();
  }
  void TearDown() override {
    main_window_load_file(gui_window(), dir.file("missing.spc").c_str());  // stops what plays
    table_fixture_reset();
    show_page(0);
  }

  // The tone's entry 0 (1000, voice 0), entry 1 at 3000, entry 2 inside it.
  std::string three_entries(const std::string& name = "three.spc") {
    spc_builder builder;
    builder.square_wave_tone().dir_entry(1, 0x3000, 0x3000).brr_chain(0x3000, 3, 0x11);
    builder.dir_entry(2, 0x3012, 0x3012);
    return builder.write_to(dir.path(), name);
  }
  // Loads `path`, lets the worker's own trace land, then hands the window
  // `trace` instead.
  void load_with(const std::string& path, std::shared_ptr<const song_trace> trace) {
    ASSERT_TRUE(main_window_load_file(gui_window(), path.c_str()));
    ASSERT_TRUE(gui_wait_until([] { return !main_window_song_follow(gui_window()).running(); }, 30000));
    main_window_song_follow(gui_window()).show(std::move(trace));
    gui_flush();
  }
  std::string status() { return gui_text(w.label_status); }
  std::string facts() { return gui_text(sample_inspector_facts(pane.inspector)); }
  void show_page(int page) {
    gtk_notebook_set_current_page(GTK_NOTEBOOK(pane.notebook), page);
    gui_flush();
  }
  // The Song page shown, its timeline built and given its size.
  GtkWidget* shown_timeline() {
    show_page(song_page_number);
    GtkWidget* timeline = nullptr;
    EXPECT_TRUE(gui_wait_until([&] {
      timeline = song_page_timeline(pane.song);
      return timeline && gtk_widget_get_mapped(timeline_view_area(timeline)) &&
             gtk_widget_get_allocated_width(timeline_view_area(timeline)) > 100;
    }));
    gui_flush();
    return timeline;
  }
  timeline_geometry geometry_of(GtkWidget* timeline) {
    GtkWidget* area = timeline_view_area(timeline);
    const timeline_window window = timeline_view_window(timeline);
    return {gtk_widget_get_allocated_width(area), gtk_widget_get_allocated_height(area),
            window.first_seconds, window.span_seconds};
  }
  // Whether the table's row of `number` is drawn dimmed.
  bool dimmed(int number) {
    GtkTreeModel* model = GTK_TREE_MODEL(sample_table_store(gui_table()));
    GtkTreeIter iter;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
         more = gtk_tree_model_iter_next(model, &iter)) {
      g_autofree char* text = nullptr;
      gboolean lit = TRUE;
      gtk_tree_model_get(model, &iter, SAMPLE_COLUMN_NUMBER, &text, SAMPLE_MODEL_LIT, &lit, -1);
      if (hex_text_parse(text) == number) return !lit;
    }
    ADD_FAILURE() << "no row " << number;
    return false;
  }

  // The window first: the pane builds its pages into it when asked for them.
  GtkWidget* window = GTK_WIDGET(gui_window());
  const main_window_widgets& w = main_window_get_widgets(gui_window());
  const inspector_pane_widgets& pane = inspector_pane_get_widgets(gui_pane());
  temp_dir dir;
};

TEST_F(SongFollowTest, TheTraceLandsAfterTheLoadAndOnlyTheLatestLoadsTrace) {
  // Asked once: gui_window() runs the main loop, which would let a trace land.
  QuorlinWindow* window = gui_window();
  // Two files whose traces differ in length: the tag's 2 s and 1 s fade,
  // and no tag (the default length).
  spc_builder tagged;
  tagged.square_wave_tone().text_tag("Song", "Game", "", "2", "1000");
  const std::string first = tagged.write_to(dir.path(), "tagged.spc");
  const std::string second = three_entries();

  ASSERT_TRUE(main_window_load_file(window, first.c_str()));
  EXPECT_TRUE(main_window_song_follow(window).running()) << "the load returned before the trace";
  EXPECT_EQ(main_window_song_follow(window).trace(), nullptr);
  EXPECT_EQ(status().find("played by the song"), std::string::npos) << status();
  ASSERT_TRUE(main_window_load_file(window, second.c_str()));
  ASSERT_TRUE(gui_wait_until([window] { return main_window_song_follow(window).trace() != nullptr; }, 30000));
  EXPECT_EQ(main_window_song_follow(window).trace()->samples,
            static_cast<std::int64_t>(song_length_default_seconds * dsp_sample_rate))
      << "the tagged file's trace was cancelled";
  EXPECT_NE(status().find(" played by the song"), std::string::npos) << status();

  EXPECT_FALSE(main_window_load_file(window, dir.file("missing.spc").c_str()));
  EXPECT_FALSE(main_window_song_follow(window).running());
  EXPECT_EQ(main_window_song_follow(window).trace(), nullptr);

  // A tag claiming more than an hour counts as none.
  spc_builder endless;
  endless.square_wave_tone().binary_tag("Song", "Game", "", 16777215, 0);
  ASSERT_TRUE(main_window_load_file(window, endless.write_to(dir.path(), "endless.spc").c_str()));
  ASSERT_TRUE(gui_wait_until([window] { return main_window_song_follow(window).trace() != nullptr; }, 30000));
  EXPECT_EQ(main_window_song_follow(window).trace()->samples,
            static_cast<std::int64_t>(song_length_default_seconds * dsp_sample_rate));
}

// The other way round: the first file's trace (the 180 s default) is still
// running when the second's (3 s) lands, and is dropped when it ends.
TEST_F(SongFollowTest, ALoadCancelsTheRunningTraceAndItsResultNeverShows) {
  const std::string untagged = three_entries();
  spc_builder tagged;
  tagged.square_wave_tone().text_tag("Song", "Game", "", "2", "1000");
  const std::string short_song = tagged.write_to(dir.path(), "tagged.spc");
  ASSERT_TRUE(main_window_load_file(gui_window(), untagged.c_str()));
  ASSERT_TRUE(main_window_load_file(gui_window(), short_song.c_str()));
  const background_tasks& tasks = main_window_background_tasks(gui_window());
  ASSERT_TRUE(gui_wait_until([&] { return tasks.all_delivered(); }, 30000));
  ASSERT_NE(main_window_song_follow(gui_window()).trace(), nullptr);
  EXPECT_EQ(main_window_song_follow(gui_window()).trace()->samples, 3 * dsp_sample_rate)
      << "the first file's trace showed over the second's";
}

TEST_F(SongFollowTest, TableFilterStatusAndSamplePageSayWhatTheSongPlays) {
  load_with(three_entries(), two_of_three_played());
  const int rows = sample_table_row_count(gui_table());
  EXPECT_EQ(status(), "Showing " + std::to_string(rows) + " of " + std::to_string(rows) +
                          " entries, 2 played by the song");
  EXPECT_FALSE(dimmed(1));
  EXPECT_FALSE(dimmed(2));
  EXPECT_TRUE(dimmed(3));

  ASSERT_TRUE(sample_table_move_cursor_to(gui_table(), 1));
  EXPECT_NE(facts().find("\nPlayed 2 times on voice 0, first at 0:00.0, pitch 1000"),
            std::string::npos)
      << facts();
  ASSERT_TRUE(sample_table_move_cursor_to(gui_table(), 3));
  EXPECT_NE(facts().find("\nNot played in 0:10"), std::string::npos) << facts();

  filter_panel_set_visible(gui_filter_panel(), true);
  const filter_panel_widgets& filters = filter_panel_get_widgets(gui_filter_panel());
  gui_flush();
  gui_click_button(filters.check_only_played);
  gui_flush();
  ASSERT_EQ(gui_visible_rows().size(), 2u);
  EXPECT_EQ(gui_visible_rows()[1][0], "2");
  filter_panel_set_visible(gui_filter_panel(), false);
  gui_flush();
  EXPECT_EQ(status(), "Showing 2 of " + std::to_string(rows) +
                          " entries (filters active), 2 played by the song");

  // The next file's rows stay lit (and shown) until its own song is known.
  ASSERT_TRUE(main_window_load_file(gui_window(), three_entries("again.spc").c_str()));
  EXPECT_FALSE(dimmed(3));
  EXPECT_EQ(gui_visible_rows().size(), static_cast<std::size_t>(rows));
  EXPECT_EQ(facts().find("Played"), std::string::npos) << facts();
}

// Two entries sharing bytes: junk the song never plays no longer makes an
// overlap over the entry it plays, and shows faint.
TEST_F(SongFollowTest, TheMapDrawsUnplayedEntriesFaintAndOverlapsOnlyOfPlayedOnes) {
  spc_builder builder;
  builder.dir_entry(0, 0x1000, 0x1000).brr_chain(0x1000, 2).dir_entry(1, 0x1009, 0x1009);
  const std::unique_ptr<aram_layout> layout = make_aram_layout(builder.image());
  const auto colour_at = [&](const std::array<bool, 256>* played, u16 address) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 256, 256);
    cairo_t* cr = cairo_create(surface);
    aram_map_draw(cr, 256, 256, *layout, 0, played);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const auto* row = reinterpret_cast<const std::uint32_t*>(
        cairo_image_surface_get_data(surface) +
        (address >> 8) * cairo_image_surface_get_stride(surface));
    const std::uint32_t colour = row[address & 0xFF] & 0xFFFFFF;
    cairo_surface_destroy(surface);
    return colour;
  };
  const auto hue = [](int sample_number) {
    double rgb[3];
    aram_map_sample_rgb(sample_number, rgb);
    const auto channel = [](double v) { return static_cast<std::uint32_t>(std::lround(v * 255)); };
    return channel(rgb[0]) << 16 | channel(rgb[1]) << 8 | channel(rgb[2]);
  };
  std::array<bool, 256> played{};
  played[1] = true;  // entry 1 (sample 2), inside entry 0's second block and on
  EXPECT_EQ(colour_at(nullptr, 0x100A), 0xFFFFFFu) << "not followed yet: an overlap";
  EXPECT_EQ(colour_at(&played, 0x100A), hue(2)) << "the played entry shows through";
  EXPECT_EQ(colour_at(&played, 0x1011), hue(2));
  EXPECT_NE(colour_at(&played, 0x1000), hue(1)) << "entry 0 alone, never played";
  EXPECT_NE(colour_at(&played, 0x1000), colour_at(&played, 0x2000)) << "faint, not gone";
  played[0] = true;
  EXPECT_EQ(colour_at(&played, 0x100A), 0xFFFFFFu) << "two played entries overlap";
}

TEST_F(SongFollowTest, TimelineMarksInspectByPointerAndKeyboardAndNameWhatIsHovered) {
  load_with(three_entries(), two_of_three_played());
  GtkWidget* timeline = shown_timeline();
  ASSERT_NE(timeline, nullptr);
  GtkWidget* area = timeline_view_area(timeline);
  GdkWindow* window = gtk_widget_get_window(area);
  const timeline_geometry g = geometry_of(timeline);
  EXPECT_NEAR(g.span_seconds, 10, 1e-9) << "a new trace is fitted";

  gui_move_to(window, g.x_of(0.25), g.lane_top(0) + g.lane_height() / 2);
  // The tone's 1000 Hz is B5 and 21 cents; the song's one note at pitch
  // 1000 puts the root on the whole key, as the Sample page tunes it.
  EXPECT_EQ(timeline_view_hover_text(timeline),
            "Voice 0 \u00b7 sample 1\nPitch 1000 (B5)\nAt 0:00.0\nVolume 60 left, 60 right");
  gui_press_at(window, g.x_of(0.7), g.lane_top(1) + g.lane_height() / 2);
  gui_flush();
  EXPECT_EQ(inspector_pane_inspected(gui_pane()), 2);
  EXPECT_EQ(sample_table_cursor_sample(gui_table()), 2) << "the table's cursor follows";

  // Tab reaches the timeline from the page's buttons; the arrows then walk
  // its key-ons and Enter inspects.
  ASSERT_TRUE(sample_table_move_cursor_to(gui_table(), 3));
  gtk_widget_grab_focus(timeline_view_fit_button(timeline));
  for (int i = 0; i < 5 && !gtk_widget_has_focus(area); ++i) gui_key(GDK_KEY_Tab);
  ASSERT_TRUE(gtk_widget_has_focus(area));
  gui_key(GDK_KEY_Right);
  gui_key(GDK_KEY_Down);
  gui_key(GDK_KEY_Return);
  gui_flush();
  EXPECT_EQ(timeline_view_cursor(timeline), (timeline_place{1, 0}));
  EXPECT_EQ(inspector_pane_inspected(gui_pane()), 2);

  gui_key(GDK_KEY_plus);
  EXPECT_LT(timeline_view_window(timeline).span_seconds, 10);
  gui_click_button(timeline_view_fit_button(timeline));
  EXPECT_NEAR(timeline_view_window(timeline).span_seconds, 10, 1e-9);
}

TEST_F(SongFollowTest, ThePlayheadIsFollowedAndTheRulerStartsTheSongAgain) {
  load_with(three_entries(), two_of_three_played());
  GtkWidget* timeline = shown_timeline();
  ASSERT_NE(timeline, nullptr);
  GtkWidget* area = timeline_view_area(timeline);
  gtk_widget_grab_focus(area);
  // Zoomed in far, back at the first key-on: the playhead leaves the view
  // within a tenth of a second.
  for (int i = 0; i < 12; ++i) gui_key(GDK_KEY_plus);
  gui_key(GDK_KEY_Home);
  ASSERT_LT(timeline_view_window(timeline).span_seconds, 0.1);
  ASSERT_EQ(timeline_view_window(timeline).first_seconds, 0);

  const timeline_geometry g = geometry_of(timeline);
  gui_press_at(gtk_widget_get_window(area), g.x_of(0.02), 5);
  EXPECT_EQ(gui_text(w.button_play), "Play") << "the ruler starts nothing";

  gtk_button_clicked(GTK_BUTTON(w.button_play));
  ASSERT_EQ(gui_text(w.button_play), "Stop");
  EXPECT_TRUE(gui_wait_until([&] { return timeline_view_window(timeline).first_seconds > 0; }))
      << "the view follows the playhead";

  const timeline_geometry scrolled = geometry_of(timeline);
  gui_press_at(gtk_widget_get_window(area),
               scrolled.x_of(scrolled.first_seconds + scrolled.span_seconds / 2), 5);
  gui_flush();
  EXPECT_EQ(gui_text(w.button_play), "Stop");
  EXPECT_NE(gui_text(w.label_message).find("not supported by the emulator"), std::string::npos)
      << gui_text(w.label_message);
}

// A file named with the command is loaded before the window's first frame:
// its song is followed once that frame is drawn, not beside the drawing,
// and a window not shown follows at once.
TEST(SongFollowFirstFrameTest, AFileLoadedBeforeTheFirstFrameIsFollowedOnceItIsDrawn) {
  temp_dir dir;
  const std::string path = spc_builder().square_wave_tone().write_to(dir.path(), "tone.spc");
  QuorlinWindow* window = gui_new_window();  // shown, its first frame still to come
  song_follow& follow = main_window_song_follow(window);
  ASSERT_TRUE(main_window_load_file(window, path.c_str()));
  EXPECT_FALSE(follow.running()) << "no trace while the first frame is laid out";
  EXPECT_TRUE(gui_wait_until([&] { return follow.trace() != nullptr; })) << "followed once drawn";
  gtk_widget_destroy(GTK_WIDGET(window));

  QuorlinWindow* hidden = quorlin_window_new(GTK_APPLICATION(g_application_get_default()));
  ASSERT_TRUE(main_window_load_file(hidden, path.c_str()));
  EXPECT_TRUE(main_window_song_follow(hidden).running() || main_window_song_follow(hidden).trace());
  gtk_widget_destroy(GTK_WIDGET(hidden));
  gui_flush();
}

}  // namespace
