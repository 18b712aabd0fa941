// Quorlin: shows where the samples of an SPC sound snapshot lie in audio RAM,
// and plays it; from the command line it lists and exports them instead.

#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "command_line.h"
#include "quorlin_application.h"

namespace {

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
  g_autoptr(QuorlinApplication) application = quorlin_application_new(QUORLIN_APP_ID, flags);
  GApplication* app = G_APPLICATION(application);
  if (as_service) {
    g_application_set_inactivity_timeout(app, service_wait_ms);
    return g_application_run(app, 0, nullptr);
  }
  std::vector<std::string> arguments{argv[0]};
  for (int i = 1; i < argc; ++i) {
    g_autoptr(GFile) file = g_file_new_for_commandline_arg(argv[i]);
    g_autofree char* uri = g_file_get_uri(file);
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
