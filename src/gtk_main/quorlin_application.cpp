// A later `quorlin FILE` hands FILE to the running window over the session
// bus (GApplication's command line forwarding), waits for the answer, prints
// what went wrong in its own terminal and exits with the load's status.
// Without a session bus each process keeps a window of its own.

#include "quorlin_application.h"

#include <memory>
#include <string>
#include <vector>

#include "external_open.h"
#include "shortcuts.h"

struct _QuorlinApplication {
  GtkApplication parent_instance;
};

G_DEFINE_TYPE(QuorlinApplication, quorlin_application, GTK_TYPE_APPLICATION)

namespace {

struct object_unref {
  void operator()(gpointer object) const noexcept { g_object_unref(object); }
};

file_loader loader_of(QuorlinWindow* window) {
  return [window](const char* filename, const report_sink& report) {
    return main_window_load_file(window, filename, report);
  };
}

// However the application quits, each window goes the way closing it goes:
// its song stops first. The application ends with its last window.
void quit_activated(GSimpleAction*, GVariant*, gpointer data) noexcept {
  GList* windows = g_list_copy(gtk_application_get_windows(GTK_APPLICATION(data)));
  for (GList* at = windows; at; at = at->next) gtk_widget_destroy(GTK_WIDGET(at->data));
  g_list_free(windows);
  g_application_quit(G_APPLICATION(data));
}

void about_activated(GSimpleAction*, GVariant*, gpointer data) noexcept {
  about_dialog(gtk_application_get_active_window(GTK_APPLICATION(data)));
}


}  // namespace

static void quorlin_application_startup(GApplication* application) {
  G_APPLICATION_CLASS(quorlin_application_parent_class)->startup(application);
  const GActionEntry actions[] = {
      {"quit", quit_activated, nullptr, nullptr, nullptr, {}},
      {"about", about_activated, nullptr, nullptr, nullptr, {}},
  };
  g_action_map_add_action_entries(G_ACTION_MAP(application), actions, G_N_ELEMENTS(actions),
                                  application);
  shortcuts_set_accels(GTK_APPLICATION(application));
}

static void quorlin_application_activate(GApplication* application) {
  quorlin_application_present_window(QUORLIN_APPLICATION(application));
}

// Files the desktop asks to open (the launcher, a file manager): no terminal
// waits for the answer. After showing, which hides Play: a loaded file shows
// it again.
static void quorlin_application_open(GApplication* application, GFile** files, gint count,
                                     const gchar*) {
  QuorlinWindow* window = quorlin_application_present_window(QUORLIN_APPLICATION(application));
  external_open_files(GTK_WIDGET(window), files, count, loader_of(window));
}

// A `quorlin [FILE…]` run, this process's own or a later one's: the window
// comes up with the first file, and what goes wrong is printed in that run's
// terminal. A later run exits with 1 when its file did not load; this
// process goes on as the window whatever became of its first file.
static int quorlin_application_command_line(GApplication* application,
                                            GApplicationCommandLine* command_line) {
  QuorlinWindow* window = quorlin_application_present_window(QUORLIN_APPLICATION(application));
  gint argc = 0;
  g_auto(GStrv) argv = g_application_command_line_get_arguments(command_line, &argc);
  std::vector<std::unique_ptr<GFile, object_unref>> owned;
  std::vector<GFile*> files;
  for (gint i = 1; i < argc; ++i) {
    owned.emplace_back(g_application_command_line_create_file_for_arg(command_line, argv[i]));
    files.push_back(owned.back().get());
  }
  const report_sink to_its_terminal = [command_line](const std::string& line) {
    g_application_command_line_printerr(command_line, "%s\n", line.c_str());
  };
  const bool loaded = external_open_files(GTK_WIDGET(window), files.data(), static_cast<int>(files.size()),
                                          loader_of(window), to_its_terminal);
  return loaded || !g_application_command_line_get_is_remote(command_line) ? 0 : 1;
}

static void quorlin_application_init(QuorlinApplication*) {}

static void quorlin_application_class_init(QuorlinApplicationClass* application_class) {
  GApplicationClass* base = G_APPLICATION_CLASS(application_class);
  base->startup = quorlin_application_startup;
  base->activate = quorlin_application_activate;
  base->open = quorlin_application_open;
  base->command_line = quorlin_application_command_line;
}

QuorlinApplication* quorlin_application_new(const char* application_id, GApplicationFlags flags) {
  return QUORLIN_APPLICATION(g_object_new(QUORLIN_TYPE_APPLICATION, "application-id",
                                          application_id, "flags", flags, nullptr));
}

QuorlinWindow* quorlin_application_present_window(QuorlinApplication* application) {
  GtkWindow* active = gtk_application_get_active_window(GTK_APPLICATION(application));
  QuorlinWindow* window = nullptr;
  if (active && QUORLIN_IS_WINDOW(active)) {
    window = QUORLIN_WINDOW(active);
  } else {
    window = quorlin_window_new(GTK_APPLICATION(application));
    main_window_show(window);
  }
  gtk_window_present(GTK_WINDOW(window));
  return window;
}
