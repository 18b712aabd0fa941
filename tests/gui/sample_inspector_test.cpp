// The inspector pane's content: Play Sample hands on the chosen offset and
// its label says what a press will do.

#include "sample_inspector.h"

#include <gtest/gtest.h>

#include "gui_input.h"
#include "gui_support.h"

namespace {

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
