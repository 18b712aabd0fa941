// The inspector pane's content: its facts in the table's style, and Play
// Sample handing on the chosen offset.

#include "sample_inspector.h"

#include <gtest/gtest.h>

#include "gui_input.h"
#include "gui_support.h"

namespace {

TEST(sample_inspector, FactsReadInTheTablesHexStyle) {
  sample_facts facts;
  facts.sample_number = 0x1A;
  facts.start = 0x0812;
  facts.end = 0x08A3;
  facts.blocks = 0x11;
  facts.samples = 0x110;
  facts.loop_sample = 0x40;
  facts.filters_used = 0b1011;
  facts.largest_range = 0xC;
  facts.voices = {0, 3};
  EXPECT_EQ(sample_facts_lines(facts),
            (std::vector<std::string>{"Sample 1A · SRCN 19", "Start 812 · end 8A3",
                                      "Blocks 11 · samples 110 · 8.5 ms at 32 kHz",
                                      "Loops from sample 40", "Filters 0, 1, 3 · largest range C",
                                      "Voices 0, 3"}));
  facts.loop_sample = -1;
  facts.voices.clear();
  facts.warnings = {"no end flag"};
  const auto lines = sample_facts_lines(facts);
  EXPECT_EQ(lines[3], "Plays once (no loop)");
  EXPECT_EQ(lines[5], "No voice plays it at the snapshot");
  EXPECT_EQ(lines.back(), "Warning: no end flag");
}

TEST(sample_inspector, PlaySampleHandsOnTheOffsetAndSaysWhatItWillDo) {
  std::vector<int> pressed;
  GtkWidget* inspector = sample_inspector_new([&](int semitones) { pressed.push_back(semitones); });
  const gui_lone_window window(inspector, 600, 300);
  sample_facts facts;
  facts.sample_number = 1;
  sample_inspector_show(inspector, facts, nullptr);
  const std::string shown = gui_text(sample_inspector_facts(inspector));
  EXPECT_EQ(shown.substr(0, shown.find('\n')), "Sample 1 · SRCN 0");

  GtkSpinButton* semitones = GTK_SPIN_BUTTON(sample_inspector_semitones(inspector));
  double low = 0, high = 0;
  gtk_spin_button_get_range(semitones, &low, &high);
  EXPECT_EQ(low, -24);
  EXPECT_EQ(high, 24);
  gtk_spin_button_set_value(semitones, -7);
  GtkWidget* button = sample_inspector_play_button(inspector);
  EXPECT_EQ(gui_text(button), "Play Sample");
  gui_click_button(button);
  EXPECT_EQ(pressed, std::vector<int>{-7});
  sample_inspector_set_playing(inspector, true);
  EXPECT_EQ(gui_text(button), "Stop Sample");
}

}  // namespace
