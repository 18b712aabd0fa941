// Closes the window while Export Stems writes a long song, then leaves main
// as the program does:
//   close_while_stems FILE.spc FOLDER
// Exits 0 when the close came back within a second with the render over,
// 77 without a display, anything else (or a signal) when not. What is left in FOLDER is for the
// caller to judge.
#include <gtk/gtk.h>

#include <chrono>
#include <cstdio>

#include "gui_support.h"
#include "main_window.h"
#include "main_window_test_hooks.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: close_while_stems FILE.spc FOLDER\n", stderr);
    return 2;
  }
  if (!gtk_init_check(&argc, &argv)) return 77;
  // Held past its destroy, so that what it owned can be asked about after.
  g_autoptr(QuorlinWindow) window = QUORLIN_WINDOW(g_object_ref(gui_window()));
  if (!main_window_load_file(window, argv[1])) return 2;
  const dialog_seen seen = gui_open_through_dialog(argv[2], [&window] {
    gtk_menu_item_activate(GTK_MENU_ITEM(main_window_get_widgets(window).menu_file_export_stems));
  });
  if (!seen.appeared) return 3;
  // Under way: the song followed for the plan, the first quarter seconds of
  // the first stem written (minutes of plan under ThreadSanitizer).
  const stems_dialog_widgets& progress = main_window_stems_dialog(window).widgets();
  if (!gui_wait_until(
          [&] { return gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(progress.progress_bar)) > 0; },
          120000))
    return 3;
  if (!main_window_stems_dialog(window).busy()) return 3;  // the song was too short to catch
  const auto before = std::chrono::steady_clock::now();
  gtk_widget_destroy(GTK_WIDGET(window));
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - before;
  if (took.count() > 1.0) {
    std::fprintf(stderr, "closing the window took %.2f s\n", took.count());
    return 4;
  }
  if (!main_window_background_tasks(window).all_delivered()) {
    std::fputs("the render was still running when the window had closed\n", stderr);
    return 5;
  }
  return 0;
}
