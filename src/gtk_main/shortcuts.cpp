// Menu shortcuts are accelerators of their actions, so the menus show them.
// Space, Page Up and Page Down belong to no menu item: the window catches
// them before the focus widget does (a focused button would take Space as a
// click on itself, the table Page Up as scrolling), unless the focus is
// somewhere one types text.

#include "shortcuts.h"

namespace {

// Texts held in the tables themselves, so that they are read-only data.
struct accel_binding {
  char action[24];
  char accel[20];
};
constexpr accel_binding menu_accels[] = {
    {"win.open", "<Control>o"},          {"win.export-samples", "<Control>e"},
    {"win.previous-file", "<Alt>Left"},  {"win.next-file", "<Alt>Right"},
    {"app.quit", "<Control>q"},          {"win.show-help-overlay", "<Control>question"},
};

// What the shortcuts window lists, group by group; an accelerator of two
// keys lists both.
struct listed_shortcut {
  char title[52];
  char accelerator[24];
};
constexpr listed_shortcut file_shortcuts[] = {
    {"Open SPC", "<Control>o"},
    {"Export the samples shown", "<Control>e"},
    {"Previous file in the folder", "<Alt>Left Page_Up"},
    {"Next file in the folder", "<Alt>Right Page_Down"},
    {"Quit", "<Control>q"},
};
constexpr listed_shortcut playing_shortcuts[] = {
    {"Play or stop the song, or the sample last played", "space"},
};
constexpr listed_shortcut help_shortcuts[] = {
    {"Keyboard shortcuts", "<Control>question"},
};

// The window action a key stands for, or null.
const char* action_of_key(guint keyval) {
  switch (keyval) {
    case GDK_KEY_space:
    case GDK_KEY_KP_Space: return "play";
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up: return "previous-file";
    case GDK_KEY_Page_Down:
    case GDK_KEY_KP_Page_Down: return "next-file";
    default: return nullptr;
  }
}

gboolean on_key_press(GtkWidget* window, GdkEventKey* event, gpointer) noexcept {
  const char* action = action_of_key(event->keyval);
  if (!action || (event->state & gtk_accelerator_get_default_mod_mask())) return FALSE;
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
  if (focus && GTK_IS_EDITABLE(focus)) return FALSE;
  GActionGroup* actions = G_ACTION_GROUP(window);
  if (g_action_group_get_action_enabled(actions, action))
    g_action_group_activate_action(actions, action, nullptr);
  return TRUE;
}

template <std::size_t count>
void add_group(GtkWidget* section, const char* title, const listed_shortcut (&shortcuts)[count]) {
  GtkWidget* group = GTK_WIDGET(g_object_new(GTK_TYPE_SHORTCUTS_GROUP, "title", title, nullptr));
  for (const listed_shortcut& shortcut : shortcuts) {
    gtk_container_add(GTK_CONTAINER(group),
                      GTK_WIDGET(g_object_new(GTK_TYPE_SHORTCUTS_SHORTCUT, "title", shortcut.title,
                                              "accelerator", shortcut.accelerator, nullptr)));
  }
  gtk_container_add(GTK_CONTAINER(section), group);
}

}  // namespace

void shortcuts_set_accels(GtkApplication* application) {
  for (const accel_binding& binding : menu_accels) {
    const char* const accels[] = {binding.accel, nullptr};
    gtk_application_set_accels_for_action(application, binding.action, accels);
  }
}

void shortcuts_attach(GtkWindow* window) {
  g_signal_connect(window, "key-press-event", G_CALLBACK(on_key_press), nullptr);
}

GtkWidget* shortcuts_window_new(GtkWindow* parent) {
  GtkWidget* section = GTK_WIDGET(
      g_object_new(GTK_TYPE_SHORTCUTS_SECTION, "section-name", "shortcuts", "visible", TRUE, nullptr));
  add_group(section, "Files", file_shortcuts);
  add_group(section, "Playing", playing_shortcuts);
  add_group(section, "Help", help_shortcuts);
  GtkWidget* window =
      GTK_WIDGET(g_object_new(GTK_TYPE_SHORTCUTS_WINDOW, "modal", TRUE, "transient-for", parent,
                              "destroy-with-parent", TRUE, nullptr));
  gtk_container_add(GTK_CONTAINER(window), section);
  gtk_widget_show_all(section);
  return window;
}
