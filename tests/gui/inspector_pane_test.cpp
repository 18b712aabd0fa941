// The inspector pane in the real window, through real input: the table's
// cursor picks what is inspected, the map and the voices pick it too, and
// Play Sample shares the one playback engine with the song.

#include "inspector_pane.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "aram_map.h"
#include "gui_input.h"
#include "gui_support.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "sample_table.h"
#include "spc_builder.h"
#include "table_fixture.h"
#include "voice_table.h"
#include "waveform_view.h"

namespace {

class InspectorPaneTest : public testing::Test {
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

  // The tone's entry 0 (1000, two blocks, voice 0), entry 1 three blocks at
  // 3000 played by voice 1, and entry 2 the tail of entry 1.
  std::string three_entries(const std::string& name = "three.spc") {
    spc_builder builder;
    builder.square_wave_tone().dir_entry(1, 0x3000, 0x3000).brr_chain(0x3000, 3, 0x11);
    builder.dsp(0x14, 0x01).dir_entry(2, 0x3012, 0x3012);
    return builder.write_to(dir.path(), name);
  }
  std::string first_fact() {
    const std::string facts = gui_text(sample_inspector_facts(pane.inspector));
    return facts.substr(0, facts.find('\n'));
  }
  // What the waveform's tooltip says of its first sample.
  std::string waveform_hover() {
    GtkWidget* view = sample_inspector_waveform(pane.inspector);
    gui_move_to(gtk_widget_get_window(view), 1, 10);
    return waveform_view_hover_text(view);
  }
  GtkWidget* play_sample() { return sample_inspector_play_button(pane.inspector); }
  // Presses Play Sample once the pane has laid it out after a load, so that
  // no late crossing or configure event falls between press and release.
  void press_play_sample() {
    GtkWidget* button = play_sample();
    gui_wait_until([button] {
      return gtk_widget_get_mapped(button) && gtk_widget_is_sensitive(button) &&
             gtk_widget_get_allocated_width(button) > 1;
    });
    gui_flush();
    gui_click_button(button);
  }
  void show_page(int page) {
    gtk_notebook_set_current_page(GTK_NOTEBOOK(pane.notebook), page);
    gui_flush();
  }
  void press_voice(int voice) {
    show_page(1);
    gui_click_cell(GTK_TREE_VIEW(pane.voice_table), voice,
                   voice_table_column(pane.voice_table, VOICE_COLUMN_SOURCE));
  }

  // The window first: the pane builds its pages into it when asked for them.
  GtkWidget* window = GTK_WIDGET(gui_window());
  const main_window_widgets& w = main_window_get_widgets(gui_window());
  const inspector_pane_widgets& pane = inspector_pane_get_widgets(gui_pane());
  temp_dir dir;
};

TEST_F(InspectorPaneTest, ClickedRowIsInspectedAndTheArrowKeysMoveOn) {
  ASSERT_TRUE(main_window_load_file(gui_window(), three_entries().c_str()));
  EXPECT_EQ(gui_text(w.label_directory), "0200");
  EXPECT_EQ(inspector_pane_inspected(gui_pane()), 1) << "a new file inspects its first row";

  gui_flush();
  gui_click_cell(sample_table_view(gui_table()), 1, sample_table_column(gui_table(), SAMPLE_COLUMN_START));
  gui_flush();
  EXPECT_EQ(gui_clipboard_text(), "3000") << "the click still copies the cell";
  EXPECT_EQ(first_fact(), "Sample 2 · SRCN 1");
  EXPECT_NE(gui_text(sample_inspector_facts(pane.inspector)).find("Voices 1"), std::string::npos);
  EXPECT_NE(waveform_hover().find("3000"), std::string::npos) << waveform_hover();
  EXPECT_TRUE(gtk_widget_is_sensitive(play_sample()));

  gui_key(GDK_KEY_Down);
  gui_flush();
  EXPECT_EQ(first_fact(), "Sample 3 · SRCN 2");
  gui_key(GDK_KEY_Up);
  gui_key(GDK_KEY_Up);
  gui_flush();
  EXPECT_EQ(first_fact(), "Sample 1 · SRCN 0");
  EXPECT_NE(waveform_hover().find("1000"), std::string::npos) << waveform_hover();

  // Audio RAM without an odd byte: the chain never meets an end flag, and
  // the default filters hide its row; voice 0 (source 0) still reaches it.
  const std::string endless =
      spc_builder().dir_entry(0, 0x1000, 0x1000).write_to(dir.path(), "e.spc");
  ASSERT_TRUE(main_window_load_file(gui_window(), endless.c_str()));
  EXPECT_EQ(inspector_pane_inspected(gui_pane()), 0) << "no row shown, none inspected";
  press_voice(0);
  EXPECT_EQ(first_fact(), "Sample 1 · SRCN 0");
  EXPECT_FALSE(gtk_widget_is_sensitive(play_sample())) << "a chain without end cannot play alone";
  EXPECT_FALSE(gui_text(sample_inspector_reason(pane.inspector)).empty());

  // A failed load shows no entry of the file before.
  EXPECT_FALSE(main_window_load_file(gui_window(), dir.file("missing.spc").c_str()));
  EXPECT_EQ(inspector_pane_inspected(gui_pane()), 0);
  EXPECT_EQ(waveform_hover(), "");
}

TEST_F(InspectorPaneTest, MapAndVoicePressesInspectTheirSampleAndMoveTheCursor) {
  ASSERT_TRUE(main_window_load_file(gui_window(), three_entries().c_str()));
  show_page(2);
  GtkWidget* area = aram_map_area(pane.map);
  const auto geometry = aram_map_geometry::fit(gtk_widget_get_allocated_width(area),
                                               gtk_widget_get_allocated_height(area));
  gui_press_at(gtk_widget_get_window(area), geometry.cell_x(0x3009) + geometry.cell / 2.0,
               geometry.cell_y(0x3009) + geometry.cell / 2.0);
  gui_flush();
  EXPECT_EQ(inspector_pane_inspected(gui_pane()), 2);
  EXPECT_EQ(sample_table_cursor_sample(gui_table()), 2);

  press_voice(0);
  EXPECT_EQ(inspector_pane_inspected(gui_pane()), 1) << "voice 0 plays source 0";
  EXPECT_EQ(sample_table_cursor_sample(gui_table()), 1);
}

TEST_F(InspectorPaneTest, OneThingPlaysAndSpaceStopsWhatStartedLast) {
  ASSERT_TRUE(main_window_load_file(gui_window(), three_entries().c_str()));
  press_play_sample();
  ASSERT_EQ(gui_text(play_sample()), "Stop Sample");
  EXPECT_TRUE(quorlin_player_thread_exists(play_button_player(main_window_play_button(gui_window()))));
  gui_key(GDK_KEY_space);
  EXPECT_EQ(gui_text(play_sample()), "Play Sample");
  EXPECT_FALSE(quorlin_player_thread_exists(play_button_player(main_window_play_button(gui_window()))));

  press_play_sample();
  gtk_button_clicked(GTK_BUTTON(w.button_play));
  EXPECT_EQ(gui_text(play_sample()), "Play Sample") << "the song stopped the sample";
  EXPECT_EQ(gui_text(w.button_play), "Stop");
  press_play_sample();
  EXPECT_EQ(gui_text(w.button_play), "Play") << "the sample stopped the song";

  ASSERT_TRUE(main_window_load_file(gui_window(), three_entries("other.spc").c_str()));
  EXPECT_FALSE(quorlin_player_thread_exists(play_button_player(main_window_play_button(gui_window())))) << "the sample plays on under another file";
  EXPECT_EQ(gui_text(play_sample()), "Play Sample");
  gui_key(GDK_KEY_space);
  EXPECT_EQ(gui_text(w.button_play), "Stop") << "after a load Space plays the song";
}

// Every listed entry of every real file, inspected through the table's cursor.
TEST_F(InspectorPaneTest, EveryEntryOfTheCorpusInspects) {
  const std::string any = corpus_file("sato_forest_01.spc");
  if (any.empty()) GTEST_SKIP() << "the SPC corpus (../shared/spc-corpus) is absent";
  int files = 0;
  const std::filesystem::path folder = std::filesystem::path(any).parent_path();
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".spc") continue;
    ASSERT_TRUE(main_window_load_file(gui_window(), entry.path().c_str())) << name;
    ++files;
    for (const int number : sample_table_shown_sample_numbers(gui_table())) {
      ASSERT_TRUE(sample_table_move_cursor_to(gui_table(), number));
      EXPECT_EQ(first_fact().rfind("Sample " + hex_text_format(static_cast<unsigned long>(number)) +
                                       " ·", 0), 0u)
          << name << ": " << first_fact();
    }
  }
  EXPECT_GT(files, 0);
}

}  // namespace
