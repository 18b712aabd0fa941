#include "gui_input.h"

#include <gdk/gdkx.h>

#include <cstring>

#include "gui_support.h"

namespace {

// The X server's clock, read through `window`'s toplevel (a native window;
// asking a child would make it native). Widgets hand an event's time on to
// the server: a clipboard claim stamped before the selection's last change,
// made by any earlier process, or after the server's present time is
// silently ignored, and the press copies nothing.
guint32 server_time(GdkWindow* window) {
  GdkWindow* toplevel = gdk_window_get_toplevel(window);
  if (GDK_IS_X11_WINDOW(toplevel)) return gdk_x11_get_server_time(toplevel);
  return GDK_CURRENT_TIME;
}

GdkSeat* default_seat() { return gdk_display_get_default_seat(gdk_display_get_default()); }

void send(GdkEvent* event, GdkDevice* device) {
  gdk_event_set_device(event, device);
  gdk_event_set_source_device(event, device);
  gtk_main_do_event(event);
  gdk_event_free(event);  // also drops the window reference taken below
  gui_flush();
}

// Where and when a pointer event happens, as the X server would report it.
template <typename PointerEvent>
void place_at(PointerEvent& event, GdkWindow* window, double x, double y, guint32 time) {
  event.window = GDK_WINDOW(g_object_ref(window));
  event.send_event = TRUE;
  event.time = time;
  event.x = x;
  event.y = y;
  int origin_x = 0;
  int origin_y = 0;
  gdk_window_get_origin(window, &origin_x, &origin_y);
  event.x_root = origin_x + x;
  event.y_root = origin_y + y;
}

void send_button(GdkEventType type, GdkWindow* window, double x, double y, guint button) {
  GdkEvent* event = gdk_event_new(type);
  place_at(event->button, window, x, y, server_time(window));
  event->button.button = button;
  event->button.state = type == GDK_BUTTON_RELEASE ? GDK_BUTTON1_MASK << (button - 1) : 0;
  send(event, gdk_seat_get_pointer(default_seat()));
}

void send_key(GdkEventType type, guint keyval, GdkModifierType modifiers) {
  GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(gui_window()));
  g_autofree GdkKeymapKey* keys = nullptr;
  gint key_count = 0;
  gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()), keyval,
                                    &keys, &key_count);
  GdkEvent* event = gdk_event_new(type);
  event->key.window = GDK_WINDOW(g_object_ref(window));
  event->key.send_event = TRUE;
  event->key.time = server_time(window);
  event->key.state = modifiers;
  event->key.keyval = keyval;
  // Key bindings match on the hardware keycode, not the keyval.
  if (key_count > 0) {
    event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
    event->key.group = static_cast<guint8>(keys[0].group);
  }
  const gunichar character = gdk_keyval_to_unicode(keyval);
  char utf8[8] = {};
  if (character && !(modifiers & GDK_CONTROL_MASK)) g_unichar_to_utf8(character, utf8);
  event->key.string = g_strdup(utf8);
  event->key.length = static_cast<gint>(std::strlen(utf8));
  send(event, gdk_seat_get_keyboard(default_seat()));
}

}  // namespace

void gui_press_at(GdkWindow* window, double x, double y, guint button, GdkEventType press) {
  send_button(press, window, x, y, button);
  send_button(GDK_BUTTON_RELEASE, window, x, y, button);
}

void gui_move_to(GdkWindow* window, double x, double y) {
  GdkEvent* event = gdk_event_new(GDK_MOTION_NOTIFY);
  place_at(event->motion, window, x, y, server_time(window));
  send(event, gdk_seat_get_pointer(default_seat()));
}

void gui_click_button(GtkWidget* button) {
  // Its middle is known once it is shown and laid out.
  gui_wait_until([button] {
    return gtk_widget_get_mapped(button) && gtk_widget_get_allocated_width(button) > 1;
  });
  GdkWindow* window = gtk_button_get_event_window(GTK_BUTTON(button));
  gui_press_at(window, gdk_window_get_width(window) / 2.0, gdk_window_get_height(window) / 2.0);
}

GdkRectangle gui_cell_area(GtkTreeView* view, int row, GtkTreeViewColumn* column) {
  g_autoptr(GtkTreePath) path = gtk_tree_path_new_from_indices(row, -1);
  GdkRectangle area{};
  gtk_tree_view_get_cell_area(view, path, column, &area);
  return area;
}

void gui_click_cell(GtkTreeView* view, int row, GtkTreeViewColumn* column) {
  // The view measures its rows after a load, a frame or more later: the
  // cell has no area until then.
  gui_wait_until([view, row, column] {
    if (!gtk_widget_get_mapped(GTK_WIDGET(view))) return false;
    const GdkRectangle area = gui_cell_area(view, row, column);
    return area.width > 0 && area.height > 0;
  });
  const GdkRectangle area = gui_cell_area(view, row, column);
  gui_press_at(gtk_tree_view_get_bin_window(view), area.x + area.width / 2.0,
               area.y + area.height / 2.0);
}

bool gui_focus_window() {
  GtkWindow* window = GTK_WINDOW(gui_window());
  gtk_window_present(window);
  return gui_wait_until([window] { return gtk_window_is_active(window) != FALSE; }, 2000);
}

void gui_key(guint keyval, GdkModifierType modifiers) {
  send_key(GDK_KEY_PRESS, keyval, modifiers);
  // A key that closed the window (Ctrl+Q) leaves none to release it on:
  // asking for one would build a new window.
  if (gui_window_open()) send_key(GDK_KEY_RELEASE, keyval, modifiers);
}

void gui_type_into(GtkWidget* entry, const std::string& text) {
  // Keys reach the window's focus widget: the entry takes the focus once shown.
  gui_wait_until([entry] { return gtk_widget_get_mapped(entry) != FALSE; });
  gtk_widget_grab_focus(entry);
  GtkWindow* window = GTK_WINDOW(gtk_widget_get_toplevel(entry));
  gui_wait_until([window, entry] { return gtk_window_get_focus(window) == entry; });
  gui_flush();
  gui_key(GDK_KEY_a, GDK_CONTROL_MASK);
  for (const char c : text) gui_key(gdk_unicode_to_keyval(static_cast<guchar>(c)));
}

std::string gui_clipboard_text() {
  GtkClipboard* clipboard =
      gtk_clipboard_get_for_display(gdk_display_get_default(), GDK_SELECTION_CLIPBOARD);
  g_autofree char* text = gtk_clipboard_wait_for_text(clipboard);
  return text ? text : "";
}

void gui_set_clipboard_text(const char* text) {
  gtk_clipboard_set_text(
      gtk_clipboard_get_for_display(gdk_display_get_default(), GDK_SELECTION_CLIPBOARD), text, -1);
  gui_flush();
}
