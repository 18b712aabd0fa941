// The main window and the load path. Everything here runs on the GTK main
// thread; the playing thread holds its own reference to the image it plays
// and never touches a widget. The window wires its parts together: each gets
// the widgets and functions it needs, none includes this file's header.

#include "main_window.h"

#include <cstdio>
#include <memory>

#include "background_tasks.h"
#include "export_dialog.h"
#include "external_open.h"
#include "filter_panel.h"
#include "folder_browse.h"
#include "grid_label.h"
#include "id666.h"
#include "inspector_pane.h"
#include "main_window_test_hooks.h"
#include "play_button.h"
#include "sample_table.h"
#include "settings.h"
#include "shortcuts.h"
#include "stems_dialog.h"
#include "text_escape.h"
#include "voice_mute.h"
#include "song_follow.h"

namespace {

constexpr int child_padding = 3;
constexpr char no_tag_text[] = "[No ID666 Info]";
constexpr char program_name[] = "Quorlin";
// Wide enough for the five columns and the inspector beside them, short
// enough to leave room on a laptop.
constexpr int default_width = 1100;
constexpr int default_height = 600;

struct main_window_state {
  std::shared_ptr<const spc_format> spc;
  std::string path;  // of spc
  // Where Previous and Next File step from: the file last given to the load
  // path, loaded or not, so that a broken file can be stepped past.
  std::string browse_from;
  main_window_widgets widgets{};
  // While something plays, the desktop is asked not to suspend; 0: not asked.
  GtkApplication* inhibiting_application = nullptr;
  guint inhibit_cookie = 0;
  // The window's parts that keep state. The jobs of `tasks` call back into
  // `follow` and `stems`: close_down waits for them before anything goes.
  std::unique_ptr<song_follow> follow;
  std::unique_ptr<stems_dialog> stems;
  std::unique_ptr<background_tasks> tasks;
  play_button_ptr play;
};
main_window_state state;

void set_tag_labels(const char* game, const char* song, const char* artist, const char* length) {
  const main_window_widgets& w = state.widgets;
  gtk_label_set_text(GTK_LABEL(w.label_game_title), game);
  gtk_label_set_text(GTK_LABEL(w.label_song_title), song);
  gtk_label_set_text(GTK_LABEL(w.label_artist_name), artist);
  gtk_label_set_text(GTK_LABEL(w.label_song_length), length);
}

std::string display_basename(const char* filename) {
  g_autofree char* name = g_filename_display_basename(filename);
  return name;
}

// The whole path in the label, shortened in the middle when the window is
// narrower (the file name at its end stays readable), and in the tooltip;
// the name alone in the title.
void show_file_name(const char* filename) {
  const main_window_widgets& w = state.widgets;
  const std::string name = display_basename(filename);
  g_autofree char* full = g_filename_display_name(filename);
  gtk_label_set_text(GTK_LABEL(w.label_filename), full);
  gtk_widget_set_tooltip_text(w.label_filename, full);
  const std::string title = name + " \u2014 " + program_name;
  gtk_window_set_title(GTK_WINDOW(w.window), title.c_str());
}

void show_loaded_file(const char* filename, const spc_format& spc) {
  show_file_name(filename);
  // An untagged file says so in every tag label.
  if (id666_detect_form(spc) == id666_form::none) {
    set_tag_labels(no_tag_text, no_tag_text, no_tag_text, no_tag_text);
  } else {
    set_tag_labels(id666_game_title(spc).c_str(), id666_song_title(spc).c_str(),
                   id666_artist_name(spc).c_str(), id666_song_length_text(spc).c_str());
  }
  gtk_widget_show(state.widgets.button_play);
  char directory[8];
  std::snprintf(directory, sizeof directory, "%04X", spc.dsp_registers[spc_dsp_dir] * 0x100u);
  gtk_label_set_text(GTK_LABEL(state.widgets.label_directory), directory);

  std::int32_t count = 0;
  std::unique_ptr<sample_chart[]> chart;
  generate_sample_chart(spc, count, chart);
  // A failed chart allocation leaves the table as it was; a file without
  // samples empties it, so no rows of an earlier file stay behind.
  if (chart) {
    sample_table_fill(chart.get(), count);
    inspector_pane_show_file(state.spc, chart.get(), count);
  } else {
    inspector_pane_show_file(nullptr, nullptr, 0);
    message_line_show(message_kind::error,
                      display_basename(filename) + ": Unable to allocate memory for sample chart");
  }
}

// "Showing 12 of 192 entries", and whether bounds the user cannot see now
// hide rows; or, after a press copied a cell, what was copied.
void update_status_line(const char* copied_text) {
  std::string text;
  if (copied_text) {
    text = std::string("Copied ") + copied_text;
  } else {
    const int shown = sample_table_shown_count();
    const int total = sample_table_row_count();
    text = "Showing " + std::to_string(shown) + " of " + std::to_string(total) + " entries";
    if (shown < total && !sample_table_filters_at_defaults() && !filter_panel_is_visible())
      text += " (filters active)";
    const int played = sample_table_played_count();
    if (played >= 0) text += ", " + std::to_string(played) + " played by the song";
  }
  gtk_label_set_text(GTK_LABEL(state.widgets.label_status), text.c_str());
}

void on_table_changed(const char* copied_text) { update_status_line(copied_text); }

void on_filter_panel_toggled(GObject*, GParamSpec*, gpointer) noexcept {
  update_status_line(nullptr);
}

void load_neighbour(int step) {
  if (state.browse_from.empty()) return;
  const std::string next = neighbouring_spc_file(state.browse_from, step);
  if (!next.empty()) main_window_load_file(next.c_str());
}

void open_previous_file(GtkWidget*, gpointer) noexcept { load_neighbour(-1); }
void open_next_file(GtkWidget*, gpointer) noexcept { load_neighbour(1); }

void export_shown_samples(GtkWidget*, gpointer) noexcept {
  export_dialog_run(GTK_WINDOW(state.widgets.window), state.spc, state.path,
                    state.follow->trace(), *state.tasks);
}

void export_stems(GtkWidget*, gpointer) noexcept {
  state.stems->run(GTK_WINDOW(state.widgets.window), state.spc, state.path);
}

// The one way out for the window's work: every job cancelled and its
// (dropped) result delivered, the song stopped and its thread joined. A
// thread left inside the emulator or a stem half written while the process
// tears down would crash it or leave a file behind.
void close_down() {
  if (state.tasks) state.tasks->cancel_all_and_wait();
  if (state.play) play_button_stop(*state.play);
}

// However the window goes, its work stops first. The application's loop
// ends with it; a window built without one (tests) runs gtk_main.
void quit_main_loop(GtkWidget*, gpointer) noexcept {
  close_down();
  if (GtkApplication* application = gtk_window_get_application(GTK_WINDOW(state.widgets.window)))
    g_application_quit(G_APPLICATION(application));
  else if (gtk_main_level() > 0)
    gtk_main_quit();
}

// A song playing through a suspend would stop mid-note; the desktop is
// asked to wait until it stops, however it stops.
void on_player_state(QuorlinPlayer*, int player_state, gpointer) noexcept {
  const bool playing = player_state == QUORLIN_PLAYER_PLAYING;
  if (playing && state.inhibit_cookie == 0) {
    GtkApplication* application = gtk_window_get_application(GTK_WINDOW(state.widgets.window));
    if (!application) return;
    const std::string reason = "Playing " + display_basename(state.path.c_str());
    state.inhibit_cookie = gtk_application_inhibit(
        application, GTK_WINDOW(state.widgets.window), GTK_APPLICATION_INHIBIT_SUSPEND,
        reason.c_str());
    if (state.inhibit_cookie != 0) state.inhibiting_application = application;
  } else if (!playing && state.inhibit_cookie != 0) {
    gtk_application_uninhibit(state.inhibiting_application, state.inhibit_cookie);
    state.inhibit_cookie = 0;
    state.inhibiting_application = nullptr;
  }
}

// What the first frame does not need waits until it is drawn: the icon
// (an icon-theme lookup) and the drop target (GTK asks the desktop's file
// portal whether it can pass files, a round trip on the session bus).
gboolean finish_after_first_frame(gpointer) noexcept {
  GtkWidget* window = state.widgets.window;
  if (GtkApplication* application = gtk_window_get_application(GTK_WINDOW(window)))
    gtk_window_set_default_icon_name(g_application_get_application_id(G_APPLICATION(application)));
  external_open_accept_drops(window, main_window_load_file);
  return G_SOURCE_REMOVE;
}

gboolean on_first_map(GtkWidget* window, GdkEvent*, gpointer) noexcept {
  g_signal_handlers_disconnect_by_func(window, reinterpret_cast<gpointer>(on_first_map), nullptr);
  // Below the redraw's priority: the first frame is painted before this runs.
  g_idle_add_full(G_PRIORITY_LOW, finish_after_first_frame, nullptr, nullptr);
  return FALSE;
}

// Titles carry their mnemonic ("_File": Alt+F); the underscore is not shown.
GtkWidget* append_menu(GtkWidget* menubar, const char* title) {
  GtkWidget* item = gtk_menu_item_new_with_mnemonic(title);
  gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), gtk_menu_new());
  gtk_menu_shell_append(GTK_MENU_SHELL(menubar), item);
  return item;
}

GtkWidget* append_menu_item(GtkWidget* menu_item, const char* title) {
  GtkWidget* item = gtk_menu_item_new_with_mnemonic(title);
  gtk_menu_shell_append(GTK_MENU_SHELL(gtk_menu_item_get_submenu(GTK_MENU_ITEM(menu_item))), item);
  return item;
}

GtkWidget* build_menu_bar(GtkWidget* window) {
  main_window_widgets& w = state.widgets;
  GtkWidget* menubar = gtk_menu_bar_new();
  GtkWidget* menu_file = append_menu(menubar, "_File");
  GtkWidget* menu_help = append_menu(menubar, "_Help");
  w.menu_file_open = append_menu_item(menu_file, "_Open SPC");
  w.menu_file_export = append_menu_item(menu_file, "_Export Samples\u2026");
  w.menu_file_export_stems = append_menu_item(menu_file, "Export S_tems\u2026");
  w.menu_file_previous = append_menu_item(menu_file, "_Previous File");
  w.menu_file_next = append_menu_item(menu_file, "_Next File");
  w.menu_file_quit = append_menu_item(menu_file, "_Quit");
  w.menu_help_about = append_menu_item(menu_help, "_About");
  g_signal_connect_swapped(w.menu_file_open, "activate", G_CALLBACK(open_spc_dialog), window);
  g_signal_connect(w.menu_file_export, "activate", G_CALLBACK(export_shown_samples), nullptr);
  g_signal_connect(w.menu_file_export_stems, "activate", G_CALLBACK(export_stems), nullptr);
  g_signal_connect(w.menu_file_previous, "activate", G_CALLBACK(open_previous_file), nullptr);
  g_signal_connect(w.menu_file_next, "activate", G_CALLBACK(open_next_file), nullptr);
  g_signal_connect(w.menu_file_quit, "activate", G_CALLBACK(quit_main_loop), nullptr);
  g_signal_connect_swapped(w.menu_help_about, "activate", G_CALLBACK(about_dialog), window);
  // Nothing to browse from or export until a file is loaded.
  gtk_widget_set_sensitive(w.menu_file_export, FALSE);
  gtk_widget_set_sensitive(w.menu_file_export_stems, FALSE);
  gtk_widget_set_sensitive(w.menu_file_previous, FALSE);
  gtk_widget_set_sensitive(w.menu_file_next, FALSE);
  return menubar;
}

GtkWidget* build_info_grid() {
  main_window_widgets& w = state.widgets;
  GtkWidget* grid = gtk_grid_new();
  GtkWidget* caption = nullptr;
  const struct {
    const char* caption;
    GtkWidget** value;
  } rows[] = {{"Filename: ", &w.label_filename},
              {"Game Title: ", &w.label_game_title},
              {"Song Title: ", &w.label_song_title},
              {"Artist Title: ", &w.label_artist_name},
              {"Song Length: ", &w.label_song_length},
              {"Directory: ", &w.label_directory}};
  int top = 0;
  for (const auto& row : rows) {
    add_label(&caption, row.caption, grid, 0, top, 1, 1, false);
    add_label(row.value, "", grid, 1, top, 1, 1, true);
    // A long name shortens in the middle instead of widening the window.
    gtk_label_set_ellipsize(GTK_LABEL(*row.value), PANGO_ELLIPSIZE_MIDDLE);
    gtk_widget_set_hexpand(*row.value, TRUE);
    ++top;
  }
  // Play and its clock on the left; the filter panel's toggle joins the row
  // on the right.
  state.play = play_button_new();
  g_signal_connect(play_button_player(*state.play), "state-changed", G_CALLBACK(on_player_state),
                   nullptr);
  const play_button_widgets& controls = play_button_get_widgets(*state.play);
  w.button_play = controls.button_play;
  w.label_elapsed = controls.label_elapsed;
  w.controls_row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  gtk_box_pack_start(GTK_BOX(w.controls_row), controls.box, FALSE, FALSE, 0);
  gtk_grid_attach(GTK_GRID(grid), w.controls_row, 0, top, 2, 1);
  return grid;
}

// The table and the inspector pane, with room beside them for the filter panel.
GtkWidget* build_table_area(GtkBox* toggle_box) {
  main_window_widgets& w = state.widgets;
  GtkWidget* area = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  w.scrolled_table = sample_table_new();
  // The table gets the width of its columns when there is room, the
  // pictures take the rest. Where there is none (the filter panel beside
  // them on a window of the default size), the pictures keep the least they
  // need and the table scrolls: a box hands out room up to each child's
  // natural width, where a paned would give the table only its minimum.
  GtkWidget* beside = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  gtk_box_pack_start(GTK_BOX(beside), w.scrolled_table, FALSE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(beside), gtk_separator_new(GTK_ORIENTATION_VERTICAL), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(beside), inspector_pane_new(*state.play), TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(area), beside, TRUE, TRUE, child_padding);
  filter_panel_pack(toggle_box, GTK_BOX(area));
  g_signal_connect(filter_panel_frame(), "notify::visible",
                   G_CALLBACK(on_filter_panel_toggled), nullptr);
  sample_table_set_listener(on_table_changed);
  return area;
}

GtkWidget* build_status_line() {
  GtkWidget* label = gtk_label_new("");
  gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
  gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
  gtk_widget_set_margin_start(label, 6);
  state.widgets.label_status = label;
  return label;
}

GtkWidget* open_dialog_for(GtkWidget* parent_window) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      "Open SPC File", GTK_WINDOW(parent_window), GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
      GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
  // The filter is set without being added to the chooser's list: the dialog
  // offers no choice of filter.
  GtkFileFilter* filter = gtk_file_filter_new();
  gtk_file_filter_set_name(filter, "SPC Files");
  gtk_file_filter_add_pattern(filter, "*.spc");
  gtk_file_filter_add_pattern(filter, "*.SPC");
  gtk_file_chooser_set_filter(GTK_FILE_CHOOSER(dialog), filter);
  const std::string folder = settings_last_folder();
  if (!folder.empty()) gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), folder.c_str());
  return dialog;
}

}  // namespace

GtkWidget* main_window_new() {
  main_window_widgets& w = state.widgets;
  if (w.window) return w.window;

  state.tasks = std::make_unique<background_tasks>();
  state.follow = std::make_unique<song_follow>(*state.tasks);
  state.stems = std::make_unique<stems_dialog>(*state.tasks);
  w.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(w.window), program_name);
  gtk_window_set_default_size(GTK_WINDOW(w.window), default_width, default_height);
  g_signal_connect(w.window, "destroy", G_CALLBACK(quit_main_loop), nullptr);

  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(w.window), box);
  gtk_box_pack_start(GTK_BOX(box), build_menu_bar(w.window), FALSE, FALSE, child_padding);
  w.info_bar = message_line_new();
  w.label_message = message_line_get_widgets().label_message;
  gtk_box_pack_start(GTK_BOX(box), w.info_bar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), build_info_grid(), FALSE, FALSE, child_padding);
  GtkWidget* table_area = build_table_area(GTK_BOX(w.controls_row));
  gtk_box_pack_start(GTK_BOX(box), table_area, TRUE, TRUE, child_padding);
  gtk_box_pack_start(GTK_BOX(box), build_status_line(), FALSE, FALSE, child_padding);
  update_status_line(nullptr);

  shortcuts_attach({w.window, w.menu_file_open, w.menu_file_export, w.menu_file_previous,
                    w.menu_file_next, w.menu_file_quit, w.button_play,
                    [] { return play_button_last_started(*state.play); }});
  g_signal_connect(w.window, "map-event", G_CALLBACK(on_first_map), nullptr);
  return w.window;
}

void main_window_show() {
  // The table takes the keys; otherwise the first selectable label would,
  // with a text cursor blinking in the file name.
  gtk_window_set_focus(GTK_WINDOW(state.widgets.window), GTK_WIDGET(sample_table_view()));
  gtk_widget_show_all(state.widgets.window);
  gtk_widget_hide(state.widgets.button_play);
  filter_panel_set_visible(false);
  // Shown with the filter panel, the window asked for room for it too.
  gtk_window_resize(GTK_WINDOW(state.widgets.window), default_width, default_height);
}

bool main_window_load_file(const char* filename, const report_sink& report) {
  // The song of the file on screen stops, whatever becomes of the new one.
  play_button_stop(*state.play);
  // Stems of the file on screen stop too, and the new file starts unmuted.
  state.stems->cancel();
  voice_mute_reset();
  message_line_clear();
  std::string reason;
  std::shared_ptr<const spc_format> spc = read_spc_file_quietly(filename, reason);
  // The previous image goes now unless a playing thread still holds it.
  state.spc = spc;
  play_button_set_image(*state.play, spc);
  gtk_widget_set_sensitive(state.widgets.menu_file_export, spc != nullptr);
  gtk_widget_set_sensitive(state.widgets.menu_file_export_stems, spc != nullptr);
  state.browse_from = filename;
  gtk_widget_set_sensitive(state.widgets.menu_file_previous, TRUE);
  gtk_widget_set_sensitive(state.widgets.menu_file_next, TRUE);
  if (!spc) {
    state.path.clear();
    gtk_widget_hide(state.widgets.button_play);
    set_tag_labels("", "", "", "");
    gtk_label_set_text(GTK_LABEL(state.widgets.label_directory), "");
    inspector_pane_show_file(nullptr, nullptr, 0);
    state.follow->start(nullptr);
    report("quorlin: " + text_line_escape(filename) + ": " + reason);
    message_line_show(message_kind::error, display_basename(filename) + ": " + reason);
    return false;
  }
  state.path = filename;
  show_loaded_file(filename, *spc);
  state.follow->start(spc, filename);
  const std::string not_saved = settings_remember_folder_of(filename);
  if (!not_saved.empty()) message_line_report(not_saved, report);
  return true;
}

std::shared_ptr<const spc_format> main_window_current_spc() { return state.spc; }

const std::string& main_window_current_path() { return state.path; }

void main_window_show_message(message_kind kind, const std::string& text) {
  message_line_show(kind, text);
}

const main_window_widgets& main_window_get_widgets() { return state.widgets; }

background_tasks& main_window_background_tasks() { return *state.tasks; }
song_follow& main_window_song_follow() { return *state.follow; }
stems_dialog& main_window_stems_dialog() { return *state.stems; }
play_button& main_window_play_button() { return *state.play; }

void open_spc_dialog(GtkWidget* parent_window, gpointer) noexcept {
  GtkWidget* dialog = open_dialog_for(parent_window);
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    g_autofree char* filename = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    if (filename) main_window_load_file(filename);
  }
  gtk_widget_destroy(dialog);
}

void about_dialog(GtkWidget* parent_window, gpointer) noexcept {
  GtkWidget* dialog = gtk_message_dialog_new(
      GTK_WINDOW(parent_window), GTK_DIALOG_DESTROY_WITH_PARENT, GTK_MESSAGE_INFO,
      GTK_BUTTONS_CLOSE, "Quorlin %s", QUORLIN_VERSION);
  gtk_message_dialog_format_secondary_text(
      GTK_MESSAGE_DIALOG(dialog), "%s",
      "Shows where the samples of an SPC sound snapshot lie in audio RAM, draws and plays "
      "each one alone, takes them out as WAV or BRR, and plays the song.\n\n"
      "SPC emulation: Game_Music_Emu (GNU Lesser General Public License).\n\n"
      "Shortcuts:\n"
      "Ctrl+O\tOpen SPC\n"
      "Ctrl+E\tExport the samples shown\n"
      "Alt+Left, Page Up\tPrevious file in the folder\n"
      "Alt+Right, Page Down\tNext file in the folder\n"
      "Space\tPlay or stop the song, or the sample last played\n"
      "Ctrl+Q\tQuit\n\n"
      "Licence: GNU General Public License, version 3 or later.");
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}
