// Menu shortcuts are accelerators of their menu items, so the menus show
// them. Space, Page Up and Page Down belong to no menu item: the window
// catches them before the focus widget does (a focused button would take
// Space as a click on itself, the table Page Up as scrolling), unless the
// focus is somewhere one types text.

#include "shortcuts.h"

namespace {

struct shortcuts_state {
  shortcut_targets targets{};
};
shortcuts_state keys;

gboolean on_key_press(GtkWidget* window, GdkEventKey* event, gpointer) noexcept {
  const shortcut_targets& t = keys.targets;
  GtkWidget* activate = nullptr;
  switch (event->keyval) {
    case GDK_KEY_space:
    case GDK_KEY_KP_Space:
      activate = t.play_target ? t.play_target() : t.button_play;
      break;
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up: activate = t.menu_file_previous; break;
    case GDK_KEY_Page_Down:
    case GDK_KEY_KP_Page_Down: activate = t.menu_file_next; break;
    default: return FALSE;
  }
  if (event->state & gtk_accelerator_get_default_mod_mask()) return FALSE;
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
  if (focus && GTK_IS_EDITABLE(focus)) return FALSE;
  if (!gtk_widget_get_visible(activate) || !gtk_widget_is_sensitive(activate)) return TRUE;
  if (GTK_IS_BUTTON(activate)) {
    gtk_button_clicked(GTK_BUTTON(activate));
  } else {
    gtk_menu_item_activate(GTK_MENU_ITEM(activate));
  }
  return TRUE;
}

void add_accelerator(GtkWidget* item, GtkAccelGroup* group, guint key, GdkModifierType mods) {
  gtk_widget_add_accelerator(item, "activate", group, key, mods, GTK_ACCEL_VISIBLE);
}

}  // namespace

void shortcuts_attach(const shortcut_targets& targets) {
  keys.targets = targets;
  g_autoptr(GtkAccelGroup) accelerators = gtk_accel_group_new();
  gtk_window_add_accel_group(GTK_WINDOW(targets.window), accelerators);
  add_accelerator(targets.menu_file_open, accelerators, GDK_KEY_o, GDK_CONTROL_MASK);
  add_accelerator(targets.menu_file_export, accelerators, GDK_KEY_e, GDK_CONTROL_MASK);
  add_accelerator(targets.menu_file_previous, accelerators, GDK_KEY_Left, GDK_MOD1_MASK);
  add_accelerator(targets.menu_file_next, accelerators, GDK_KEY_Right, GDK_MOD1_MASK);
  add_accelerator(targets.menu_file_quit, accelerators, GDK_KEY_q, GDK_CONTROL_MASK);
  g_signal_connect(targets.window, "key-press-event", G_CALLBACK(on_key_press), nullptr);
}
