// Loads a file into the real window and saves two pictures of it for the
// README: the inspector's "Sample" page with the sample playing, and its
// "Audio RAM" page in a larger window.
//   gui_screenshot FILE.spc SAMPLE_OUT.png MAP_OUT.png

#include <gtk/gtk.h>

#include <cstdio>

#include "gui_support.h"
#include "inspector_pane.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "play_button.h"
#include "sample_table.h"
#include "voices.h"

namespace {

bool save_window(GtkWidget* window, const char* out) {
  GdkWindow* surface = gtk_widget_get_window(window);
  g_autoptr(GdkPixbuf) picture = gdk_pixbuf_get_from_window(
      surface, 0, 0, gdk_window_get_width(surface), gdk_window_get_height(surface));
  g_autoptr(GError) error = nullptr;
  if (!picture || !gdk_pixbuf_save(picture, out, "png", &error, nullptr)) {
    std::fprintf(stderr, "Could not save %s: %s\n", out, error ? error->message : "no picture");
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || !gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr,
                 "usage (with a display): gui_screenshot FILE.spc SAMPLE_OUT.png MAP_OUT.png\n");
    return 2;
  }
  GtkWidget* window = GTK_WIDGET(gui_window());
  if (!main_window_load_file(gui_window(), argv[1])) return 1;
  // The sample voice 0 plays at the snapshot: one the song really uses.
  const int inspected = read_voices(*main_window_current_spc(gui_window()))[0].source + 1;
  sample_table_move_cursor_to(gui_table(), inspected);
  inspector_pane_inspect(gui_pane(), inspected);
  const inspector_pane_widgets& pane = inspector_pane_get_widgets(gui_pane());
  // Playing, so the picture shows "Stop Sample" and the time played (an idle
  // test sound server takes a moment to start).
  gtk_button_clicked(GTK_BUTTON(sample_inspector_play_button(pane.inspector)));
  gui_wait_until([] { return false; }, 4300);  // let it lay out, play and draw
  const bool sample_saved = save_window(window, argv[2]);
  play_button_stop(main_window_play_button(gui_window()));

  gtk_window_resize(GTK_WINDOW(window), 1240, 980);
  gtk_notebook_set_current_page(GTK_NOTEBOOK(pane.notebook), 2);
  gui_wait_until([] { return false; }, 1000);
  return sample_saved && save_window(window, argv[3]) ? 0 : 1;
}
