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
#include "task_progress.h"
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
  filter_panel_widgets filter_panel{};
  // What waits for the first frame (0: done, or not yet mapped).
  guint after_first_frame = 0;
  bool first_frame_drawn = false;
  // A file loaded before the first frame: its song is followed once the
  // frame is drawn, so the trace does not take a core from the start-up.
  bool follow_after_first_frame = false;
  // Help > Keyboard Shortcuts, built when first asked for.
  GtkWidget* shortcuts_window = nullptr;
  // While something plays, the desktop is asked not to suspend; 0: not asked.
  GtkApplication* inhibiting_application = nullptr;
  guint inhibit_cookie = 0;
  // The window's parts that keep state, each gone before what it uses. The
  // jobs of `tasks` call back into `follow` and `stems`: close_down waits
  // for them before anything goes, and `tasks` goes last.
  std::unique_ptr<background_tasks> tasks;
  play_button_ptr play;
  sample_table_ptr table;
  inspector_pane_ptr pane;
  std::unique_ptr<song_follow> follow;
  std::unique_ptr<stems_dialog> stems;
  std::unique_ptr<task_progress> exports;  // Export Samples and Export MIDI
};

}  // namespace

struct _QuorlinWindow {
  GtkApplicationWindow parent_instance;
  main_window_state* state;  // built in init, freed in finalize
};

G_DEFINE_TYPE(QuorlinWindow, quorlin_window, GTK_TYPE_APPLICATION_WINDOW)

namespace {

main_window_state& state_of(QuorlinWindow* window) { return *window->state; }

void set_tag_labels(const main_window_widgets& w, const char* game, const char* song,
                    const char* artist, const char* length) {
  gtk_label_set_text(GTK_LABEL(w.label_game_title), game);
  gtk_label_set_text(GTK_LABEL(w.label_song_title), song);
  gtk_label_set_text(GTK_LABEL(w.label_artist_name), artist);
  gtk_label_set_text(GTK_LABEL(w.label_song_length), length);
}

std::string display_basename(const char* filename) {
  g_autofree char* name = g_filename_display_basename(filename);
  return name;
}

void set_action_enabled(QuorlinWindow* window, const char* name, bool enabled) {
  GAction* action = g_action_map_lookup_action(G_ACTION_MAP(window), name);
  g_simple_action_set_enabled(G_SIMPLE_ACTION(action), enabled);
}

// The whole path in the label, shortened in the middle when the window is
// narrower (the file name at its end stays readable), and in the tooltip;
// the name alone in the title.
void show_file_name(QuorlinWindow* window, const char* filename) {
  const main_window_widgets& w = state_of(window).widgets;
  const std::string name = display_basename(filename);
  g_autofree char* full = g_filename_display_name(filename);
  gtk_label_set_text(GTK_LABEL(w.label_filename), full);
  gtk_widget_set_tooltip_text(w.label_filename, full);
  const std::string title = name + " \u2014 " + program_name;
  gtk_window_set_title(GTK_WINDOW(window), title.c_str());
}

void show_loaded_file(QuorlinWindow* window, const char* filename, const spc_format& spc) {
  main_window_state& state = state_of(window);
  const main_window_widgets& w = state.widgets;
  show_file_name(window, filename);
  // An untagged file says so in every tag label.
  if (id666_detect_form(spc) == id666_form::none) {
    set_tag_labels(w, no_tag_text, no_tag_text, no_tag_text, no_tag_text);
  } else {
    set_tag_labels(w, id666_game_title(spc).c_str(), id666_song_title(spc).c_str(),
                   id666_artist_name(spc).c_str(), id666_song_length_text(spc).c_str());
  }
  gtk_widget_show(w.button_play);
  char directory[8];
  std::snprintf(directory, sizeof directory, "%04X", spc.dsp_registers[spc_dsp_dir] * 0x100u);
  gtk_label_set_text(GTK_LABEL(w.label_directory), directory);

  std::int32_t count = 0;
  std::unique_ptr<sample_chart[]> chart;
  generate_sample_chart(spc, count, chart);
  // A failed chart allocation leaves the table as it was; a file without
  // samples empties it, so no rows of an earlier file stay behind.
  if (chart) {
    sample_table_fill(*state.table, chart.get(), count);
    inspector_pane_show_file(*state.pane, state.spc, chart.get(), count);
  } else {
    inspector_pane_show_file(*state.pane, nullptr, nullptr, 0);
    message_line_show(GTK_WIDGET(window), message_kind::error,
                      display_basename(filename) + ": Unable to allocate memory for sample chart");
  }
}

// "Showing 12 of 192 entries", and whether bounds the user cannot see now
// hide rows; or, after a press copied a cell, what was copied.
void update_status_line(QuorlinWindow* window, const char* copied_text) {
  std::string text;
  if (copied_text) {
    text = std::string("Copied ") + copied_text;
  } else {
    const sample_table& table = *state_of(window).table;
    const int shown = sample_table_shown_count(table);
    const int total = sample_table_row_count(table);
    text = "Showing " + std::to_string(shown) + " of " + std::to_string(total) + " entries";
    if (shown < total && !sample_table_filters_at_defaults(table) && !filter_panel_is_visible(state_of(window).filter_panel))
      text += " (filters active)";
    const int played = sample_table_played_count(table);
    if (played >= 0) text += ", " + std::to_string(played) + " played by the song";
  }
  gtk_label_set_text(GTK_LABEL(state_of(window).widgets.label_status), text.c_str());
}

void on_filter_panel_toggled(GObject*, GParamSpec*, gpointer window) noexcept {
  update_status_line(QUORLIN_WINDOW(window), nullptr);
}

void load_neighbour(QuorlinWindow* window, int step) {
  const std::string& from = state_of(window).browse_from;
  if (from.empty()) return;
  const std::string next = neighbouring_spc_file(from, step);
  if (!next.empty()) main_window_load_file(window, next.c_str());
}

GtkWidget* open_dialog_for(GtkWindow* parent_window) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      "Open SPC File", parent_window, GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
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

// The window's actions, each with the window as its data.
void open_activated(GSimpleAction*, GVariant*, gpointer data) noexcept {
  auto* window = QUORLIN_WINDOW(data);
  GtkWidget* dialog = open_dialog_for(GTK_WINDOW(window));
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    g_autofree char* filename = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    if (filename) main_window_load_file(window, filename);
  }
  gtk_widget_destroy(dialog);
}

void export_samples_activated(GSimpleAction*, GVariant*, gpointer data) noexcept {
  auto* window = QUORLIN_WINDOW(data);
  main_window_state& state = state_of(window);
  export_dialog_run(GTK_WINDOW(window), state.spc, state.path,
                    sample_table_shown_sample_numbers(*state.table), state.follow->trace(),
                    *state.tasks, *state.exports);
}

void export_midi_activated(GSimpleAction*, GVariant*, gpointer data) noexcept {
  auto* window = QUORLIN_WINDOW(data);
  main_window_state& state = state_of(window);
  export_midi_run(GTK_WINDOW(window), state.spc, state.path, state.follow->trace(), *state.tasks,
                  *state.exports);
}

void export_stems_activated(GSimpleAction*, GVariant*, gpointer data) noexcept {
  auto* window = QUORLIN_WINDOW(data);
  main_window_state& state = state_of(window);
  state.stems->run(GTK_WINDOW(window), state.spc, state.path);
}

void previous_file_activated(GSimpleAction*, GVariant*, gpointer data) noexcept {
  load_neighbour(QUORLIN_WINDOW(data), -1);
}

void next_file_activated(GSimpleAction*, GVariant*, gpointer data) noexcept {
  load_neighbour(QUORLIN_WINDOW(data), 1);
}

// Space's action: the play button that started last (Play Sample, say),
// else Play, while it can be pressed.
void play_activated(GSimpleAction*, GVariant*, gpointer data) noexcept {
  GtkWidget* button = play_button_last_started(*state_of(QUORLIN_WINDOW(data)).play);
  if (!button) button = state_of(QUORLIN_WINDOW(data)).widgets.button_play;
  if (gtk_widget_get_visible(button) && gtk_widget_is_sensitive(button))
    gtk_button_clicked(GTK_BUTTON(button));
}

void show_help_overlay_activated(GSimpleAction*, GVariant*, gpointer data) noexcept {
  auto* window = QUORLIN_WINDOW(data);
  GtkWidget*& shortcuts = state_of(window).shortcuts_window;
  if (!shortcuts) {
    shortcuts = shortcuts_window_new(GTK_WINDOW(window));
    g_object_add_weak_pointer(G_OBJECT(shortcuts), reinterpret_cast<gpointer*>(&shortcuts));
    // Closing hides it, for the next time.
    g_signal_connect(shortcuts, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
  }
  gtk_window_present(GTK_WINDOW(shortcuts));
}

// A table on the stack: of function pointers, it would otherwise be data
// the loader writes.
void add_window_actions(QuorlinWindow* window) {
  const GActionEntry actions[] = {
      {"open", open_activated, nullptr, nullptr, nullptr, {}},
      {"export-samples", export_samples_activated, nullptr, nullptr, nullptr, {}},
      {"export-stems", export_stems_activated, nullptr, nullptr, nullptr, {}},
      {"export-midi", export_midi_activated, nullptr, nullptr, nullptr, {}},
      {"previous-file", previous_file_activated, nullptr, nullptr, nullptr, {}},
      {"next-file", next_file_activated, nullptr, nullptr, nullptr, {}},
      {"play", play_activated, nullptr, nullptr, nullptr, {}},
      {"show-help-overlay", show_help_overlay_activated, nullptr, nullptr, nullptr, {}},
  };
  g_action_map_add_action_entries(G_ACTION_MAP(window), actions, G_N_ELEMENTS(actions), window);
}

// The actions that need a file to act on, or a place to step from, wait
// for the first load.
void enable_file_actions(QuorlinWindow* window, bool file_loaded, bool browsing) {
  set_action_enabled(window, "export-samples", file_loaded);
  set_action_enabled(window, "export-stems", file_loaded);
  set_action_enabled(window, "export-midi", file_loaded);
  set_action_enabled(window, "play", file_loaded);
  set_action_enabled(window, "previous-file", browsing);
  set_action_enabled(window, "next-file", browsing);
}

// The one way out for the window's work, however the window goes: every
// job cancelled and its (dropped) result delivered, the song stopped and
// its thread joined. A thread left inside the emulator or a stem half
// written while the process tears down would crash it or leave a file
// behind. A window shown by gtk_main (tests) ends that loop; the
// application's ends with its last window.
void on_destroy(GtkWidget* widget, gpointer) noexcept {
  main_window_state& state = state_of(QUORLIN_WINDOW(widget));
  if (state.after_first_frame) g_source_remove(state.after_first_frame);
  state.after_first_frame = 0;
  if (state.tasks) state.tasks->cancel_all_and_wait();
  if (state.play) {
    g_signal_handlers_disconnect_by_data(play_button_player(*state.play), widget);
    play_button_stop(*state.play);
  }
  if (gtk_main_level() > 0) gtk_main_quit();
}

// A song playing through a suspend would stop mid-note; the desktop is
// asked to wait until it stops, however it stops.
void on_player_state(QuorlinPlayer*, int player_state, gpointer data) noexcept {
  auto* window = QUORLIN_WINDOW(data);
  const bool playing = player_state == QUORLIN_PLAYER_PLAYING;
  main_window_state& state = state_of(window);
  if (playing && state.inhibit_cookie == 0) {
    GtkApplication* application = gtk_window_get_application(GTK_WINDOW(window));
    if (!application) return;
    const std::string reason = "Playing " + display_basename(state.path.c_str());
    state.inhibit_cookie = gtk_application_inhibit(application, GTK_WINDOW(window),
                                                   GTK_APPLICATION_INHIBIT_SUSPEND, reason.c_str());
    if (state.inhibit_cookie != 0) state.inhibiting_application = application;
  } else if (!playing && state.inhibit_cookie != 0) {
    gtk_application_uninhibit(state.inhibiting_application, state.inhibit_cookie);
    state.inhibit_cookie = 0;
    state.inhibiting_application = nullptr;
  }
}

// What the first frame does not need waits until it is drawn: the song's
// trace, the icon (an icon-theme lookup) and the drop target (GTK asks the desktop's file
// portal whether it can pass files, a round trip on the session bus).
gboolean finish_after_first_frame(gpointer data) noexcept {
  auto* window = QUORLIN_WINDOW(data);
  main_window_state& state = state_of(window);
  state.after_first_frame = 0;
  state.first_frame_drawn = true;
  if (state.follow_after_first_frame) {
    state.follow_after_first_frame = false;
    state.follow->start(state.spc, state.path);
  }
  if (GtkApplication* application = gtk_window_get_application(GTK_WINDOW(window)))
    gtk_window_set_default_icon_name(g_application_get_application_id(G_APPLICATION(application)));
  external_open_accept_drops(GTK_WIDGET(window),
                             [window](const char* filename, const report_sink& report) {
                               return main_window_load_file(window, filename, report);
                             });
  return G_SOURCE_REMOVE;
}

gboolean on_first_map(GtkWidget* window, GdkEvent*, gpointer) noexcept {
  g_signal_handlers_disconnect_by_func(window, reinterpret_cast<gpointer>(on_first_map), nullptr);
  // Below the redraw's priority: the first frame is painted before this
  // runs, unless the window goes first.
  state_of(QUORLIN_WINDOW(window)).after_first_frame =
      g_idle_add_full(G_PRIORITY_LOW, finish_after_first_frame, window, nullptr);
  return FALSE;
}

// The menus, as the model lists them and as the tests' hooks find them.
// Titles carry their mnemonic ("_File": Alt+F); the underscore is not shown.
struct menu_entry {
  char label[24];
  char action[24];
  GtkWidget* main_window_widgets::*item;
};
constexpr menu_entry file_menu[] = {
    {"_Open SPC", "win.open", &main_window_widgets::menu_file_open},
    {"_Export Samples\u2026", "win.export-samples", &main_window_widgets::menu_file_export},
    {"Export S_tems\u2026", "win.export-stems", &main_window_widgets::menu_file_export_stems},
    {"Export _MIDI\u2026", "win.export-midi", &main_window_widgets::menu_file_export_midi},
    {"_Previous File", "win.previous-file", &main_window_widgets::menu_file_previous},
    {"_Next File", "win.next-file", &main_window_widgets::menu_file_next},
    {"_Quit", "app.quit", &main_window_widgets::menu_file_quit},
};
constexpr menu_entry help_menu[] = {
    {"_Keyboard Shortcuts", "win.show-help-overlay", &main_window_widgets::menu_help_shortcuts},
    {"_About", "app.about", &main_window_widgets::menu_help_about},
};

template <std::size_t count>
void append_submenu(GMenu* bar, const char* title, const menu_entry (&entries)[count]) {
  g_autoptr(GMenu) menu = g_menu_new();
  for (const menu_entry& entry : entries) g_menu_append(menu, entry.label, entry.action);
  g_menu_append_submenu(bar, title, G_MENU_MODEL(menu));
}

// The items a menu built from the model holds, into the tests' hooks.
template <std::size_t count>
void find_menu_items(GtkWidget* menu, const menu_entry (&entries)[count], main_window_widgets& w) {
  g_autoptr(GList) items = gtk_container_get_children(GTK_CONTAINER(menu));
  for (GList* at = items; at; at = at->next) {
    const char* label = gtk_menu_item_get_label(GTK_MENU_ITEM(at->data));
    for (const menu_entry& entry : entries)
      if (label && g_str_equal(label, entry.label)) w.*entry.item = GTK_WIDGET(at->data);
  }
}

GtkWidget* build_menu_bar(main_window_widgets& w) {
  g_autoptr(GMenu) bar = g_menu_new();
  append_submenu(bar, "_File", file_menu);
  append_submenu(bar, "_Help", help_menu);
  GtkWidget* menubar = gtk_menu_bar_new_from_model(G_MENU_MODEL(bar));
  g_autoptr(GList) titles = gtk_container_get_children(GTK_CONTAINER(menubar));
  for (GList* at = titles; at; at = at->next) {
    GtkWidget* menu = gtk_menu_item_get_submenu(GTK_MENU_ITEM(at->data));
    find_menu_items(menu, file_menu, w);
    find_menu_items(menu, help_menu, w);
  }
  return menubar;
}

GtkWidget* build_info_grid(QuorlinWindow* window) {
  main_window_state& state = state_of(window);
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
                   window);
  const play_button_widgets& controls = play_button_get_widgets(*state.play);
  w.button_play = controls.button_play;
  w.label_elapsed = controls.label_elapsed;
  w.controls_row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  gtk_box_pack_start(GTK_BOX(w.controls_row), controls.box, FALSE, FALSE, 0);
  gtk_grid_attach(GTK_GRID(grid), w.controls_row, 0, top, 2, 1);
  return grid;
}

// The table and the inspector pane, with room beside them for the filter panel.
GtkWidget* build_table_area(QuorlinWindow* window) {
  main_window_state& state = state_of(window);
  main_window_widgets& w = state.widgets;
  GtkWidget* area = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  state.table = sample_table_new();
  state.pane = inspector_pane_new(*state.play, *state.table, *state.tasks);
  w.scrolled_table = sample_table_widget(*state.table);
  // The table gets the width of its columns when there is room, the
  // pictures take the rest. Where there is none (the filter panel beside
  // them on a window of the default size), the pictures keep the least they
  // need and the table scrolls: a box hands out room up to each child's
  // natural width, where a paned would give the table only its minimum.
  GtkWidget* beside = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  gtk_box_pack_start(GTK_BOX(beside), w.scrolled_table, FALSE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(beside), gtk_separator_new(GTK_ORIENTATION_VERTICAL), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(beside), inspector_pane_widget(*state.pane), TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(area), beside, TRUE, TRUE, child_padding);
  filter_panel_pack(state.filter_panel, *state.table, GTK_BOX(w.controls_row), GTK_BOX(area));
  g_signal_connect(state.filter_panel.frame_filters, "notify::visible", G_CALLBACK(on_filter_panel_toggled),
                   window);
  sample_table_set_listener(
      *state.table, [window](const char* copied_text) { update_status_line(window, copied_text); });
  return area;
}

GtkWidget* build_status_line(main_window_widgets& w) {
  GtkWidget* label = gtk_label_new("");
  gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
  gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
  gtk_widget_set_margin_start(label, 6);
  w.label_status = label;
  return label;
}

}  // namespace

static void quorlin_window_init(QuorlinWindow* window) {
  window->state = new main_window_state;
  main_window_state& state = *window->state;
  main_window_widgets& w = state.widgets;
  state.tasks = std::make_unique<background_tasks>();
  state.stems = std::make_unique<stems_dialog>(*state.tasks);
  state.exports = std::make_unique<task_progress>(*state.tasks, task_kind::export_files);
  w.window = GTK_WIDGET(window);
  add_window_actions(window);
  enable_file_actions(window, false, false);
  gtk_application_window_set_show_menubar(GTK_APPLICATION_WINDOW(window), FALSE);
  gtk_window_set_title(GTK_WINDOW(window), program_name);
  gtk_window_set_default_size(GTK_WINDOW(window), default_width, default_height);
  g_signal_connect(window, "destroy", G_CALLBACK(on_destroy), nullptr);

  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(window), box);
  gtk_box_pack_start(GTK_BOX(box), build_menu_bar(w), FALSE, FALSE, child_padding);
  w.info_bar = message_line_new(GTK_WINDOW(window));
  w.label_message = message_line_get_widgets(GTK_WIDGET(window))->label_message;
  gtk_box_pack_start(GTK_BOX(box), w.info_bar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), build_info_grid(window), FALSE, FALSE, child_padding);
  gtk_box_pack_start(GTK_BOX(box), build_table_area(window), TRUE, TRUE, child_padding);
  gtk_box_pack_start(GTK_BOX(box), build_status_line(w), FALSE, FALSE, child_padding);
  state.follow = std::make_unique<song_follow>(*state.tasks, *state.table, *state.pane);
  update_status_line(window, nullptr);

  shortcuts_attach(GTK_WINDOW(window));
  g_signal_connect(window, "map-event", G_CALLBACK(on_first_map), nullptr);
}

static void quorlin_window_finalize(GObject* object) {
  delete QUORLIN_WINDOW(object)->state;
  G_OBJECT_CLASS(quorlin_window_parent_class)->finalize(object);
}

static void quorlin_window_class_init(QuorlinWindowClass* window_class) {
  G_OBJECT_CLASS(window_class)->finalize = quorlin_window_finalize;
}

QuorlinWindow* quorlin_window_new(GtkApplication* application) {
  return QUORLIN_WINDOW(g_object_new(QUORLIN_TYPE_WINDOW, "application", application, nullptr));
}

void main_window_show(QuorlinWindow* window) {
  const main_window_widgets& w = state_of(window).widgets;
  // The table takes the keys; otherwise the first selectable label would,
  // with a text cursor blinking in the file name.
  gtk_window_set_focus(GTK_WINDOW(window), GTK_WIDGET(sample_table_view(*state_of(window).table)));
  gtk_widget_show_all(GTK_WIDGET(window));
  gtk_widget_hide(w.button_play);
  filter_panel_set_visible(state_of(window).filter_panel, false);
  // Shown with the filter panel, the window asked for room for it too.
  gtk_window_resize(GTK_WINDOW(window), default_width, default_height);
}

bool main_window_load_file(QuorlinWindow* window, const char* filename,
                           const report_sink& report) {
  main_window_state& state = state_of(window);
  const main_window_widgets& w = state.widgets;
  // The song of the file on screen stops, whatever becomes of the new one.
  play_button_stop(*state.play);
  // Stems of the file on screen stop too, and the new file starts unmuted.
  state.stems->cancel();
  voice_mute_reset(play_button_voices(*state.play));
  message_line_clear(GTK_WIDGET(window));
  std::string reason;
  std::shared_ptr<const spc_format> spc = read_spc_file_quietly(filename, reason);
  // The previous image goes now unless a playing thread still holds it.
  state.spc = spc;
  play_button_set_image(*state.play, spc);
  state.browse_from = filename;
  enable_file_actions(window, spc != nullptr, true);
  if (!spc) {
    state.path.clear();
    gtk_widget_hide(w.button_play);
    set_tag_labels(w, "", "", "", "");
    gtk_label_set_text(GTK_LABEL(w.label_directory), "");
    inspector_pane_show_file(*state.pane, nullptr, nullptr, 0);
    state.follow_after_first_frame = false;
    state.follow->start(nullptr);
    report("quorlin: " + text_line_escape(filename) + ": " + reason);
    message_line_show(GTK_WIDGET(window), message_kind::error, display_basename(filename) + ": " + reason);
    return false;
  }
  state.path = filename;
  show_loaded_file(window, filename, *spc);
  const bool first_frame_to_come = gtk_widget_get_visible(GTK_WIDGET(window)) && !state.first_frame_drawn;
  state.follow_after_first_frame = first_frame_to_come;
  state.follow->start(first_frame_to_come ? nullptr : spc, filename);
  const std::string not_saved = settings_remember_folder_of(filename);
  if (!not_saved.empty()) message_line_report(GTK_WIDGET(window), not_saved, report);
  return true;
}

std::shared_ptr<const spc_format> main_window_current_spc(QuorlinWindow* window) {
  return state_of(window).spc;
}

const std::string& main_window_current_path(QuorlinWindow* window) {
  return state_of(window).path;
}

void main_window_show_message(QuorlinWindow* window, message_kind kind, const std::string& text) {
  message_line_show(GTK_WIDGET(window), kind, text);
}

const main_window_widgets& main_window_get_widgets(QuorlinWindow* window) {
  return state_of(window).widgets;
}

filter_panel_widgets& main_window_filter_panel(QuorlinWindow* window) {
  return state_of(window).filter_panel;
}

background_tasks& main_window_background_tasks(QuorlinWindow* window) {
  return *state_of(window).tasks;
}
song_follow& main_window_song_follow(QuorlinWindow* window) { return *state_of(window).follow; }
stems_dialog& main_window_stems_dialog(QuorlinWindow* window) { return *state_of(window).stems; }
task_progress& main_window_export_progress(QuorlinWindow* window) {
  return *state_of(window).exports;
}
play_button& main_window_play_button(QuorlinWindow* window) { return *state_of(window).play; }
sample_table& main_window_sample_table(QuorlinWindow* window) { return *state_of(window).table; }
inspector_pane& main_window_inspector_pane(QuorlinWindow* window) { return *state_of(window).pane; }

void about_dialog(GtkWindow* parent) noexcept {
  GtkWidget* dialog = gtk_message_dialog_new(
      parent, GTK_DIALOG_DESTROY_WITH_PARENT, GTK_MESSAGE_INFO,
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
