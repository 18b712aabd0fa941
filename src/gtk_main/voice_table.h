// The eight DSP voices at the snapshot, one row each, in the hexadecimal
// style of the sample table: a press on a cell copies it and asks to inspect
// that voice's sample. Beside each voice's number, its Mute and Solo
// switches (voice_mute.h). GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <array>
#include <functional>

#include "voice_mute.h"
#include "voices.h"

enum voice_column_id {
  VOICE_COLUMN_VOICE,
  VOICE_COLUMN_SOURCE,
  VOICE_COLUMN_VOL_LEFT,
  VOICE_COLUMN_VOL_RIGHT,
  VOICE_COLUMN_PITCH,
  VOICE_COLUMN_RATE,
  VOICE_COLUMN_ADSR1,
  VOICE_COLUMN_ADSR2,
  VOICE_COLUMN_GAIN,
  VOICE_COLUMN_ENVX,
  VOICE_COLUMN_OUTX,
  VOICE_COLUMN_KEYED_ON,
  VOICE_COLUMN_ECHO,
  VOICE_COLUMN_NOISE,
  VOICE_COLUMN_PITCH_MOD,
  VOICE_COLUMN_COUNT
};

inline constexpr int voice_heading_size = 10;  // the longest, "Rate (Hz)", and its end
extern const char voice_headings[VOICE_COLUMN_COUNT][voice_heading_size];

// Called with the source number (SRCN) of the voice whose cell was pressed.
using voice_source_chosen = std::function<void(int source)>;

// Builds the table with no rows; returns the view. GTK main thread only.
GtkWidget* voice_table_new(voice_switches& switches, voice_source_chosen on_source_chosen);

// Shows `voices`, one row each, in voice order. GTK main thread only.
void voice_table_fill(GtkWidget* table,
                      const std::array<voice_state, dsp_voice_count>& voices);

// The view column showing model column `column`. GTK main thread only.
GtkTreeViewColumn* voice_table_column(GtkWidget* table, int column);

// The column of the Mute or the Solo switches. GTK main thread only.
enum class voice_switch { mute, solo };
GtkTreeViewColumn* voice_table_switch_column(GtkWidget* table, voice_switch which);
