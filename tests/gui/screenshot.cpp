// Loads a file into the real window and saves a picture of it, for the
// README:  gui_screenshot FILE.spc OUT.png

#include <gtk/gtk.h>

#include <cstdio>

#include "filter_panel.h"
#include "gui_support.h"
#include "main_window.h"

int main(int argc, char** argv) {
  if (argc != 3 || !gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "usage (with a display): gui_screenshot FILE.spc OUT.png\n");
    return 2;
  }
  GtkWidget* window = gui_window();
  if (!main_window_load_file(argv[1])) return 1;
  filter_panel_set_visible(true);
  gui_wait_until([] { return false; }, 500);  // let it lay out and draw

  GdkWindow* surface = gtk_widget_get_window(window);
  g_autoptr(GdkPixbuf) picture = gdk_pixbuf_get_from_window(
      surface, 0, 0, gdk_window_get_width(surface), gdk_window_get_height(surface));
  g_autoptr(GError) error = nullptr;
  if (!picture || !gdk_pixbuf_save(picture, argv[2], "png", &error, nullptr)) {
    std::fprintf(stderr, "Could not save %s: %s\n", argv[2], error ? error->message : "no picture");
    return 1;
  }
  return 0;
}
