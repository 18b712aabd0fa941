// Quorlin: shows where the samples of an SPC sound snapshot lie in audio RAM,
// and plays it; from the command line it lists and exports them instead.

#include <gtk/gtk.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "export_command.h"
#include "list_command.h"
#include "quorlin_application.h"
#include "access_command.h"
#include "song_length.h"
#include "stems_command.h"
#include "trace_command.h"

namespace {

// What the options asked for; GOptionContext fills it.
struct quorlin_options {
  gboolean list = FALSE;
  gboolean json = FALSE;
  gboolean unique = FALSE;
  gboolean loop_header = FALSE;
  gboolean force = FALSE;
  gboolean version = FALSE;
  gboolean service = FALSE;  // started by the session bus for the launcher
  gboolean trace = FALSE;
  gboolean access = FALSE;
  gboolean played = FALSE;
  gboolean instruments = FALSE;
  char* export_folder = nullptr;
  char* stems_folder = nullptr;
  char* events = nullptr;  // --events: "all"
  char* seconds = nullptr;  // as typed: GOption's doubles can't say "not given"
  ~quorlin_options() {
    g_free(export_folder);
    g_free(stems_folder);
    g_free(events);
    g_free(seconds);
  }
};

// --seconds N: a plain decimal number of seconds (no "nan", "inf" or
// trailing text), from a millisecond to a day; none when out of range.
std::optional<double> parse_seconds(const char* text) {
  char* end = nullptr;
  errno = 0;
  const double value = g_ascii_strtod(text, &end);
  if (end == text || *end != '\0' || errno != 0 || !std::isfinite(value)) return std::nullopt;
  if (value < song_length_min_seconds || value > song_length_max_seconds) return std::nullopt;
  return value;
}

// A usage error reads as in other GNOME programs, and exits with 2.
int usage_error(const char* program, const char* message) {
  g_printerr("%s\n", message);
  g_printerr("Run '%s --help' to see a full list of available command line options.\n", program);
  return 2;
}

}  // namespace

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
  quorlin_options o;
  const GOptionEntry entries[] = {
      {"list", 0, 0, G_OPTION_ARG_NONE, &o.list,
       "Print the sample table of each FILE as tab-separated text, without a window", nullptr},
      {"json", 0, 0, G_OPTION_ARG_NONE, &o.json,
       "With --list, --trace or --access: print one JSON document", nullptr},
      {"export", 0, 0, G_OPTION_ARG_FILENAME, &o.export_folder,
       "Write every sample of each FILE into DIR as WAV and BRR, with samples.tsv", "DIR"},
      {"unique", 0, 0, G_OPTION_ARG_NONE, &o.unique,
       "With --export: write identical samples once", nullptr},
      {"loop-header", 0, 0, G_OPTION_ARG_NONE, &o.loop_header,
       "With --export: start each BRR file with its loop offset", nullptr},
      {"force", 0, 0, G_OPTION_ARG_NONE, &o.force,
       "With --export or --stems: replace files that already exist", nullptr},
      {"instruments", 0, 0, G_OPTION_ARG_NONE, &o.instruments,
       "With --export: also the played samples, tuned, as STEM.sf2, STEM.sfz and AddMusicK "
       "instruments", nullptr},
      {"stems", 0, 0, G_OPTION_ARG_FILENAME, &o.stems_folder,
       "Write each voice of each FILE alone, and the mix, into DIR as WAV", "DIR"},
      {"trace", 0, 0, G_OPTION_ARG_NONE, &o.trace,
       "Print what the song of each FILE keys on and off, and when, as tab-separated text",
       nullptr},
      {"access", 0, 0, G_OPTION_ARG_NONE, &o.access,
       "Print how often the song's program executes, reads and writes each byte of audio RAM, "
       "as tab-separated text", nullptr},
      {"events", 0, 0, G_OPTION_ARG_STRING, &o.events,
       "With --trace: \"all\" adds each pitch, volume and envelope change of a sounding voice",
       "all"},
      {"played", 0, 0, G_OPTION_ARG_NONE, &o.played,
       "With --list or --export: only the samples the song keys on", nullptr},
      {"seconds", 0, 0, G_OPTION_ARG_STRING, &o.seconds,
       "With --trace, --access, --stems or --played: how long to follow the song (default: the "
       "tag's length and fade, or 180)", "N"},
      {"version", 0, 0, G_OPTION_ARG_NONE, &o.version, "Show the version and exit", nullptr},
      {"gapplication-service", 0, G_OPTION_FLAG_HIDDEN, G_OPTION_ARG_NONE, &o.service,
       "Wait on the session bus for the launcher to open a window", nullptr},
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
  // GOption keeps the "--" that ends the options when a name after it starts
  // with '-' ("--list -- -odd.spc") or names stand on both sides: it is no
  // file. Only the first goes; a later "--" is a file's name.
  const auto is_end_of_options = [](const char* arg) { return g_str_equal(arg, "--"); };
  if (char** end = std::find_if(argv + 1, argv + argc, is_end_of_options); end != argv + argc) {
    std::move(end + 1, argv + argc, end);
    argv[--argc] = nullptr;
  }

  if (o.version) {
    g_print("quorlin %s\n", QUORLIN_VERSION);
    return 0;
  }
  const std::vector<std::string> files(argv + 1, argv + argc);
  // At most one command, and only the options that go with it.
  const bool exporting = o.export_folder != nullptr;
  const bool stems = o.stems_folder != nullptr;
  const int commands =
      (o.list != FALSE) + exporting + (o.trace != FALSE) + (o.access != FALSE) + stems;
  if (commands > 1)
    return usage_error(argv[0], "--list, --export, --trace, --access and --stems cannot be combined");
  if (o.json && !o.list && !o.trace && !o.access)
    return usage_error(argv[0], "--json goes with --list, --trace or --access");
  if ((o.unique || o.loop_header) && !exporting)
    return usage_error(argv[0], "--unique and --loop-header go with --export");
  if (o.force && !exporting && !stems)
    return usage_error(argv[0], "--force goes with --export or --stems");
  if (o.instruments && !exporting) return usage_error(argv[0], "--instruments goes with --export");
  if (o.played && !o.list && !exporting)
    return usage_error(argv[0], "--played goes with --list or --export");
  if (o.events && !o.trace) return usage_error(argv[0], "--events goes with --trace");
  if (o.events && !g_str_equal(o.events, "all"))
    return usage_error(argv[0], "--events takes all");
  const bool seconds_given = o.seconds != nullptr;
  const std::optional<double> seconds = seconds_given ? parse_seconds(o.seconds) : std::nullopt;
  if (seconds_given && !seconds)
    return usage_error(argv[0], "--seconds takes a number of seconds from 0.001 to 86400");
  // Everything that follows the song takes its length.
  const bool follows_song = o.trace || o.access || stems || o.played || (o.list && o.json);
  if (seconds_given && !follows_song)
    return usage_error(argv[0],
                       "--seconds goes with --trace, --access, --stems, --played or --list --json");
  if (exporting && !*o.export_folder) return usage_error(argv[0], "--export needs a folder");
  if (stems && !*o.stems_folder) return usage_error(argv[0], "--stems needs a folder");
  if (commands == 1 && files.empty()) return usage_error(argv[0], "No FILE given");

  if (o.list) return run_list_command(files, o.json, {o.played != FALSE, seconds});
  if (exporting) {
    export_options options{o.unique != FALSE, o.loop_header != FALSE, o.force != FALSE};
    options.instruments = o.instruments != FALSE;
    return run_export_command(o.export_folder, options, files, o.played != FALSE, seconds);
  }
  if (o.trace) return run_trace_command(files, seconds, o.json, o.events != nullptr);
  if (o.access) return run_access_command(files, seconds, o.json);
  if (stems) return run_stems_command(o.stems_folder, seconds, o.force != FALSE, files);

  return run_window(argc, argv, o.service != FALSE);
}
