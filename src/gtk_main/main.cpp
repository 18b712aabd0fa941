// Quorlin: shows where the samples of an SPC sound snapshot lie in audio RAM,
// and plays it.

#include <gtk/gtk.h>

#include "external_open.h"
#include "main_window.h"

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  // The installed icon, under the name the launcher and metainfo use.
  gtk_window_set_default_icon_name(QUORLIN_APP_ID);
  main_window_new();
  main_window_show();
  // After showing, which hides Play: a loaded file shows it again.
  external_open_command_line(argc, argv, main_window_load_file);
  gtk_main();
  return 0;
}
