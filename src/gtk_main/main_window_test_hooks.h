// What tests, benchmarks and the screenshot reach inside the main window.
// GTK main thread only.
#pragma once

#include <gtk/gtk.h>

// The widgets tests look at.
struct main_window_widgets {
  GtkWidget* window;
  GtkWidget* label_filename;
  GtkWidget* label_game_title;
  GtkWidget* label_song_title;
  GtkWidget* label_artist_name;
  GtkWidget* label_song_length;
  GtkWidget* button_play;
  GtkWidget* menu_file_open;
  GtkWidget* menu_file_quit;
  GtkWidget* menu_help_about;
};
const main_window_widgets& main_window_get_widgets();
