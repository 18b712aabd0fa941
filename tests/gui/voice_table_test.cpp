// The voice table through real presses: a cell's text goes to the
// clipboard and its voice's source number to the caller.

#include "voice_table.h"

#include <gtest/gtest.h>

#include <vector>

#include "dsp_registers.h"
#include "gui_input.h"
#include "gui_support.h"
#include "spc_builder.h"

namespace {

TEST(voice_table, PressOnACellCopiesItAndAsksForThatVoicesSample) {
  spc_builder builder;
  const int voice = 3;
  builder.dsp(voice * 0x10 + v_source, 0x1A)
      .dsp(voice * 0x10 + v_vol_left, 0xFF)  // -1
      .dsp(voice * 0x10 + v_pitch_low, 0x34)
      .dsp(voice * 0x10 + v_pitch_high, 0x12)
      .dsp(voice * 0x10 + v_adsr1, 0x8F)
      .dsp(r_key_on, 1 << voice);
  std::vector<int> asked;
  voice_switches switches;
  GtkWidget* table = voice_table_new(switches, [&](int source) { asked.push_back(source); });
  const gui_lone_window window(table, 1000, 300);
  voice_table_fill(table, read_voices(builder.image()));
  gui_flush();

  const struct {
    int column;
    const char* text;
  } cells[] = {{VOICE_COLUMN_SOURCE, "1A"}, {VOICE_COLUMN_VOL_LEFT, "FF"},
               {VOICE_COLUMN_PITCH, "1234"}, {VOICE_COLUMN_RATE, "36406"},
               {VOICE_COLUMN_ADSR1, "8F"},  {VOICE_COLUMN_KEYED_ON, "on"}};
  for (const auto& cell : cells) {
    SCOPED_TRACE(voice_headings[cell.column]);
    gui_set_clipboard_text("untouched");
    gui_click_cell(GTK_TREE_VIEW(table), voice, voice_table_column(table, cell.column));
    EXPECT_EQ(gui_clipboard_text(), cell.text);
  }
  EXPECT_EQ(asked, std::vector<int>(std::size(cells), 0x1A));

  gui_click_cell(GTK_TREE_VIEW(table), 0, voice_table_column(table, VOICE_COLUMN_GAIN));
  EXPECT_EQ(asked.back(), 0x00) << "voice 0's own source";
  const std::size_t before = asked.size();
  gui_click_button(gtk_tree_view_column_get_button(voice_table_column(table, VOICE_COLUMN_SOURCE)));
  EXPECT_EQ(asked.size(), before) << "a header press names no voice";
}

}  // namespace
