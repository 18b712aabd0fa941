// Loads a file into the real window and saves a picture of it, for the
// README:  gui_screenshot FILE.spc OUT.png

#include <gtk/gtk.h>

#include <cstdio>

#include "filter_panel.h"
#include "gui_support.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "play_button.h"

int main(int argc, char** argv) {
  if (argc != 3 || !gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "usage (with a display): gui_screenshot FILE.spc OUT.png\n");
    return 2;
  }
  GtkWidget* window = gui_window();
  if (!main_window_load_file(argv[1])) return 1;
  filter_panel_set_visible(true);
  // Playing, so the picture shows the time played beside the button (an idle
  // test sound server takes a moment to start).
  gtk_button_clicked(GTK_BUTTON(main_window_get_widgets().button_play));
  gui_wait_until([] { return false; }, 4300);  // let it lay out, play and draw

  GdkWindow* surface = gtk_widget_get_window(window);
  g_autoptr(GdkPixbuf) picture = gdk_pixbuf_get_from_window(
      surface, 0, 0, gdk_window_get_width(surface), gdk_window_get_height(surface));
  g_autoptr(GError) error = nullptr;
  play_button_stop();
  if (!picture || !gdk_pixbuf_save(picture, argv[2], "png", &error, nullptr)) {
    std::fprintf(stderr, "Could not save %s: %s\n", argv[2], error ? error->message : "no picture");
    return 1;
  }
  return 0;
}
