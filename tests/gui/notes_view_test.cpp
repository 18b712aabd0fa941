// The Song page's Notes view in the real window: "Lanes" and "Notes" switch
// views, every key-on is one note at the key the MIDI export gives it, a
// slide is drawn where it goes, hover names the note and a click inspects
// its sample. The trace is built by hand and handed over as a landed one.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "gui_input.h"
#include "gui_support.h"
#include "inspector_pane.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "notes_view.h"
#include "song_follow.h"
#include "song_page.h"
#include "spc_builder.h"
#include "table_fixture.h"
#include "timeline_view.h"

namespace {

constexpr int song_page_number = 3;

trace_event event_at(double seconds, trace_event_kind kind, u8 voice, u8 srcn, u16 pitch) {
  trace_event e;
  e.kind = kind;
  e.sample = static_cast<std::int64_t>(seconds * dsp_sample_rate);
  e.voice = voice;
  e.srcn = srcn;
  e.start = e.loop = srcn == 0 ? 0x1000 : 0x3000;
  e.pitch = pitch;
  e.vol_left = e.vol_right = 0x60;
  return e;
}

// Entry 1 on voice 0 at 0 s and at 1 s, the second sliding an octave up at
// 1.5 s; entry 2 on voice 1 at 0.5 s. Four seconds traced.
std::shared_ptr<const song_trace> three_notes_one_sliding() {
  using kind = trace_event_kind;
  auto trace = std::make_shared<song_trace>();
  trace->samples = 4 * dsp_sample_rate;
  trace->events = {event_at(0, kind::key_on, 0, 0, 0x1000), event_at(0.5, kind::key_on, 1, 1, 0x1000),
                   event_at(1, kind::key_on, 0, 0, 0x1000), event_at(1.5, kind::pitch, 0, 0, 0x2000)};
  return trace;
}

class NotesViewTest : public testing::Test {
 protected:
  void SetUp() override {
    gui_window();
    spc_builder builder;
    builder.square_wave_tone().dir_entry(1, 0x3000, 0x3000).brr_chain(0x3000, 3, 0x11);
    const std::string path = builder.write_to(dir.path(), "notes.spc");
    ASSERT_TRUE(main_window_load_file(gui_window(), path.c_str()));
    ASSERT_TRUE(gui_wait_until([] { return !main_window_song_follow(gui_window()).running(); }, 30000));
    main_window_song_follow(gui_window()).show(three_notes_one_sliding());
    gtk_notebook_set_current_page(GTK_NOTEBOOK(pane.notebook), song_page_number);
    ASSERT_TRUE(gui_wait_until([this] { return song_page_views(pane.song) != nullptr; }));
  }
  void TearDown() override {
    main_window_load_file(gui_window(), dir.file("missing.spc").c_str());
    table_fixture_reset();
    gtk_notebook_set_current_page(GTK_NOTEBOOK(pane.notebook), 0);
    gui_flush();
  }
  // Clicks the switcher's button titled `title` and waits for its view.
  void switch_to(const char* title, GtkWidget* view) {
    GtkWidget* switcher = nullptr;
    g_autoptr(GList) children = gtk_container_get_children(GTK_CONTAINER(pane.song));
    for (GList* at = children; at; at = at->next)
      if (GTK_IS_STACK_SWITCHER(at->data)) switcher = GTK_WIDGET(at->data);
    ASSERT_NE(switcher, nullptr);
    g_autoptr(GList) buttons = gtk_container_get_children(GTK_CONTAINER(switcher));
    for (GList* at = buttons; at; at = at->next)
      if (gui_text(gtk_bin_get_child(GTK_BIN(at->data))) == title)
        gui_click_button(GTK_WIDGET(at->data));
    ASSERT_TRUE(gui_wait_until([view] {
      return gtk_widget_get_mapped(view) && gtk_widget_get_allocated_width(view) > 100;
    }));
    gui_flush();
  }

  const inspector_pane_widgets& pane = inspector_pane_get_widgets(gui_pane());
  temp_dir dir;
};

TEST_F(NotesViewTest, TheToggleSwitchesViews) {
  GtkWidget* lanes = timeline_view_area(song_page_timeline(pane.song));
  GtkWidget* notes = song_page_notes(pane.song);
  switch_to("Notes", notes);
  EXPECT_FALSE(gtk_widget_get_mapped(lanes));
  switch_to("Lanes", lanes);
  EXPECT_FALSE(gtk_widget_get_mapped(notes));
}

TEST_F(NotesViewTest, ANoteAKeyOnFollowingItsSlideNamedOnHoverInspectedOnClick) {
  GtkWidget* view = song_page_notes(pane.song);
  switch_to("Notes", view);
  const notes_roll& roll = notes_view_roll(view);
  ASSERT_EQ(roll.notes.size(), 3u) << "one note per key-on";
  // The tone's 1000 Hz is B5 at pitch 0x1000 (the Sample page's root);
  // the slide doubles the pitch: an octave up.
  EXPECT_EQ(roll.notes[0].key(), 83);
  ASSERT_EQ(roll.notes[2].path.size(), 2u);
  EXPECT_NEAR(roll.notes[2].path[1].key - roll.notes[2].path[0].key, 12, 1e-9);

  const notes_geometry g = notes_view_geometry(view);
  GdkWindow* window = gtk_widget_get_window(view);
  gui_move_to(window, g.time.x_of(0.25), g.y_of(83));
  EXPECT_EQ(notes_view_hover_text(view), "B5 \u00b7 sample 1 \u00b7 voice 0\nAt 0:00.0");
  gui_move_to(window, g.time.x_of(1.75), g.y_of(95));
  EXPECT_EQ(notes_view_hover_text(view), "B5 \u00b7 sample 1 \u00b7 voice 0\nAt 0:01.0")
      << "the slid part is the note's";
  gui_move_to(window, g.time.x_of(1.75), g.y_of(83));
  EXPECT_EQ(notes_view_hover_text(view), "") << "the note left its first key";

  const notes_note& second = roll.notes[1];
  gui_press_at(window, g.time.x_of(0.75), g.y_of(second.path[0].key));
  gui_flush();
  EXPECT_EQ(inspector_pane_inspected(gui_pane()), 2);
}

}  // namespace
