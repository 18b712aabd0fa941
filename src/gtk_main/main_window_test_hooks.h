// What tests, benchmarks and the screenshot reach inside the main window.
// GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include "background_tasks.h"
#include "play_button.h"
#include "song_follow.h"
#include "stems_dialog.h"
#include "filter_panel.h"
#include "inspector_pane.h"
#include "sample_table.h"
#include "main_window.h"

// The widgets tests look at.
struct main_window_widgets {
  GtkWidget* window;
  GtkWidget* label_filename;
  GtkWidget* label_game_title;
  GtkWidget* label_song_title;
  GtkWidget* label_artist_name;
  GtkWidget* label_song_length;
  GtkWidget* label_directory;
  GtkWidget* button_play;
  GtkWidget* label_elapsed;
  GtkWidget* controls_row;  // Play, its clock and the filter panel's toggle
  GtkWidget* label_status;
  GtkWidget* label_message;  // the message line's text; its bar is shown with it
  GtkWidget* info_bar;
  GtkWidget* menu_file_open;
  GtkWidget* menu_file_export;
  GtkWidget* menu_file_export_stems;
  GtkWidget* menu_file_export_midi;
  GtkWidget* menu_file_previous;
  GtkWidget* menu_file_next;
  GtkWidget* menu_file_quit;
  GtkWidget* menu_help_shortcuts;
  GtkWidget* menu_help_about;
  GtkWidget* scrolled_table;
};
// The widgets of `window`.
const main_window_widgets& main_window_get_widgets(QuorlinWindow* window);

// The filter panel of `window`.
filter_panel_widgets& main_window_filter_panel(QuorlinWindow* window);

// The window's parts that keep state, as the window built them.
background_tasks& main_window_background_tasks(QuorlinWindow* window);
song_follow& main_window_song_follow(QuorlinWindow* window);
stems_dialog& main_window_stems_dialog(QuorlinWindow* window);
task_progress& main_window_export_progress(QuorlinWindow* window);
play_button& main_window_play_button(QuorlinWindow* window);
sample_table& main_window_sample_table(QuorlinWindow* window);
inspector_pane& main_window_inspector_pane(QuorlinWindow* window);
