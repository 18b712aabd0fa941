// Ctrl+O and Ctrl+Q are accelerators of their menu items, so the menus show
// them. Space belongs to no menu item: the window catches it before the
// focus widget does (a focused button would otherwise take it as a click on
// itself), unless the focus is somewhere one types text.

#include "shortcuts.h"

namespace {

gboolean on_key_press(GtkWidget* window, GdkEventKey* event, gpointer play_button) noexcept {
  if (event->keyval != GDK_KEY_space && event->keyval != GDK_KEY_KP_Space) return FALSE;
  if (event->state & gtk_accelerator_get_default_mod_mask()) return FALSE;
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
  if (focus && GTK_IS_EDITABLE(focus)) return FALSE;
  GtkWidget* play = GTK_WIDGET(play_button);
  if (gtk_widget_get_visible(play) && gtk_widget_is_sensitive(play))
    gtk_button_clicked(GTK_BUTTON(play));
  return TRUE;
}

}  // namespace

void shortcuts_attach(const shortcut_targets& widgets) {
  g_autoptr(GtkAccelGroup) accelerators = gtk_accel_group_new();
  gtk_window_add_accel_group(GTK_WINDOW(widgets.window), accelerators);
  gtk_widget_add_accelerator(widgets.menu_file_open, "activate", accelerators, GDK_KEY_o,
                             GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE);
  gtk_widget_add_accelerator(widgets.menu_file_quit, "activate", accelerators, GDK_KEY_q,
                             GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE);
  g_signal_connect(widgets.window, "key-press-event", G_CALLBACK(on_key_press),
                   widgets.button_play);
}
