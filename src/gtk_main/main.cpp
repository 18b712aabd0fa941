// Quorlin: shows where the samples of an SPC sound snapshot lie in audio RAM,
// and plays it; from the command line it lists and exports them instead.

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "external_open.h"
#include "main_window.h"

// The window runs as one application per desktop session: a later
// `quorlin FILE` hands FILE to the running window over the session bus
// (GApplication's command line forwarding), waits for the answer, prints
// what went wrong in its own terminal and exits with the load's status.
// Without a session bus each process keeps a window of its own.
namespace {

// Built on first use; a window already there is raised.
GtkWidget* present_window(GtkApplication* application) {
  GtkWidget* window = main_window_new();
  if (!gtk_window_get_application(GTK_WINDOW(window))) {
    gtk_window_set_application(GTK_WINDOW(window), application);
    main_window_show();
  }
  gtk_window_present(GTK_WINDOW(window));
  return window;
}

void on_activate(GApplication* application, gpointer) noexcept {
  present_window(GTK_APPLICATION(application));
}

struct object_unref {
  void operator()(gpointer object) const noexcept { g_object_unref(object); }
};

// Files the desktop asks to open (the launcher, a file manager): no terminal
// waits for the answer. After showing, which hides Play: a loaded file shows
// it again.
void on_open(GApplication* application, GFile** files, gint count, gchar*, gpointer) noexcept {
  present_window(GTK_APPLICATION(application));
  external_open_files(files, count, main_window_load_file);
}

// A `quorlin [FILE…]` run, this process's own or a later one's: the window
// comes up with the first file, and what goes wrong is printed in that run's
// terminal. A later run exits with 1 when its file did not load; this
// process goes on as the window whatever became of its first file.
int on_command_line(GApplication* application, GApplicationCommandLine* command_line,
                    gpointer) noexcept {
  present_window(GTK_APPLICATION(application));
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
  const bool loaded = external_open_files(files.data(), static_cast<int>(files.size()),
                                          main_window_load_file, to_its_terminal);
  return loaded || !g_application_command_line_get_is_remote(command_line) ? 0 : 1;
}

// How long a process the session bus started for the launcher waits for
// its first request.
constexpr guint service_wait_ms = 10000;

// `argv` holds what the options left: the program and the files. They go to
// the running window, this process's own or another's, as URIs: resolved
// here, against this run's working folder, and never taken for one of
// GApplication's own options ("--gapplication-service"). As the session
// bus's service, the window waits for the launcher's request.
int run_window(int argc, char** argv, bool as_service) {
  GApplicationFlags flags =
      GApplicationFlags(G_APPLICATION_HANDLES_OPEN | G_APPLICATION_HANDLES_COMMAND_LINE);
  if (as_service) flags = GApplicationFlags(flags | G_APPLICATION_IS_SERVICE);
  std::unique_ptr<GtkApplication, object_unref> application(
      gtk_application_new(QUORLIN_APP_ID, flags));
  GApplication* app = G_APPLICATION(application.get());
  g_signal_connect(app, "activate", G_CALLBACK(on_activate), nullptr);
  g_signal_connect(app, "open", G_CALLBACK(on_open), nullptr);
  g_signal_connect(app, "command-line", G_CALLBACK(on_command_line), nullptr);
  if (as_service) {
    g_application_set_inactivity_timeout(app, service_wait_ms);
    return g_application_run(app, 0, nullptr);
  }
  std::vector<std::string> arguments{argv[0]};
  for (int i = 1; i < argc; ++i) {
    std::unique_ptr<GFile, object_unref> file(g_file_new_for_commandline_arg(argv[i]));
    g_autofree char* uri = g_file_get_uri(file.get());
    arguments.emplace_back(uri);
  }
  std::vector<char*> run_argv;
  for (std::string& argument : arguments) run_argv.push_back(argument.data());
  run_argv.push_back(nullptr);
  // Registers on the session bus; as the first, runs the window until it
  // closes, otherwise waits for the running window's answer (and
  // unregisters, which GtkApplication expects before it goes).
  return g_application_run(app, static_cast<int>(arguments.size()), run_argv.data());
}

}  // namespace

int main(int argc, char** argv) {
  const command_line_outcome outcome =
      run_command_line(argc, argv, gtk_get_option_group(FALSE));
  if (outcome.exit_status) return *outcome.exit_status;
  return run_window(argc, argv, outcome.window_as_service);
}
