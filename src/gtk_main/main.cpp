// Quorlin: shows where the samples of an SPC sound snapshot lie in audio RAM,
// and plays it; from the command line it lists and exports them instead.

#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "export_command.h"
#include "external_open.h"
#include "list_command.h"
#include "main_window.h"

namespace {

// What the options asked for; GOptionContext fills it.
struct quorlin_options {
  gboolean list = FALSE;
  gboolean json = FALSE;
  gboolean unique = FALSE;
  gboolean loop_header = FALSE;
  gboolean force = FALSE;
  gboolean version = FALSE;
  char* export_folder = nullptr;
  ~quorlin_options() { g_free(export_folder); }
};

// A usage error reads as in other GNOME programs, and exits with 2.
int usage_error(const char* program, const char* message) {
  g_printerr("%s\n", message);
  g_printerr("Run '%s --help' to see a full list of available command line options.\n", program);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  quorlin_options o;
  const GOptionEntry entries[] = {
      {"list", 0, 0, G_OPTION_ARG_NONE, &o.list,
       "Print the sample table of each FILE as tab-separated text, without a window", nullptr},
      {"json", 0, 0, G_OPTION_ARG_NONE, &o.json, "With --list: print one JSON document", nullptr},
      {"export", 0, 0, G_OPTION_ARG_FILENAME, &o.export_folder,
       "Write every sample of each FILE into DIR as WAV and BRR, with samples.tsv", "DIR"},
      {"unique", 0, 0, G_OPTION_ARG_NONE, &o.unique,
       "With --export: write identical samples once", nullptr},
      {"loop-header", 0, 0, G_OPTION_ARG_NONE, &o.loop_header,
       "With --export: start each BRR file with its loop offset", nullptr},
      {"force", 0, 0, G_OPTION_ARG_NONE, &o.force,
       "With --export: replace files that already exist", nullptr},
      {"version", 0, 0, G_OPTION_ARG_NONE, &o.version, "Show the version and exit", nullptr},
      {}};
  g_autoptr(GOptionContext) context = g_option_context_new("[FILE…]");
  g_option_context_set_summary(
      context, "Shows where the samples of an SPC file lie in audio RAM, plays the file, and "
               "takes its samples out.");
  g_option_context_add_main_entries(context, entries, nullptr);
  // GTK's options, without opening the display: --list and --export need none.
  g_option_context_add_group(context, gtk_get_option_group(FALSE));
  g_autoptr(GError) error = nullptr;
  if (!g_option_context_parse(context, &argc, &argv, &error))
    return usage_error(argv[0], error->message);

  if (o.version) {
    g_print("quorlin %s\n", QUORLIN_VERSION);
    return 0;
  }
  const std::vector<std::string> files(argv + 1, argv + argc);
  const bool exporting = o.export_folder != nullptr;
  if (o.list && exporting) return usage_error(argv[0], "--list and --export cannot be combined");
  if (o.json && !o.list) return usage_error(argv[0], "--json goes with --list");
  if ((o.unique || o.loop_header || o.force) && !exporting)
    return usage_error(argv[0], "--unique, --loop-header and --force go with --export");
  if (exporting && !*o.export_folder) return usage_error(argv[0], "--export needs a folder");
  if ((o.list || exporting) && files.empty()) return usage_error(argv[0], "No FILE given");
  if (o.list) return run_list_command(files, o.json);
  if (exporting)
    return run_export_command(o.export_folder, {o.unique != FALSE, o.loop_header != FALSE,
                                                o.force != FALSE}, files);

  gtk_init(&argc, &argv);
  // The installed icon, under the name the launcher and metainfo use.
  gtk_window_set_default_icon_name(QUORLIN_APP_ID);
  main_window_new();
  main_window_show();
  // After showing, which hides Play: a loaded file shows it again.
  external_open_command_line(argc, argv, main_window_load_file);
  gtk_main();
  return 0;
}
