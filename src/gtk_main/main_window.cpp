// The main window and the load path. Everything here runs on the GTK main
// thread; the playing thread holds its own reference to the image it plays
// and never touches a widget.

#include "main_window.h"
#include "main_window_test_hooks.h"

#include <string>

#include "external_open.h"
#include "filter_panel.h"
#include "grid_label.h"
#include "id666.h"
#include "play_button.h"
#include "sample_table.h"
#include "shortcuts.h"

namespace {

constexpr int child_padding = 3;
constexpr char no_tag_text[] = "[No ID666 Info]";

struct main_window_state {
  std::shared_ptr<const spc_format> spc;
  main_window_widgets widgets{};
};
main_window_state state;

void set_tag_labels(const char* game, const char* song, const char* artist, const char* length) {
  const main_window_widgets& w = state.widgets;
  gtk_label_set_text(GTK_LABEL(w.label_game_title), game);
  gtk_label_set_text(GTK_LABEL(w.label_song_title), song);
  gtk_label_set_text(GTK_LABEL(w.label_artist_name), artist);
  gtk_label_set_text(GTK_LABEL(w.label_song_length), length);
}

void show_loaded_file(const char* filename, const spc_format& spc) {
  g_autofree char* display_name = g_filename_display_name(filename);
  gtk_label_set_text(GTK_LABEL(state.widgets.label_filename), display_name);
  // An untagged file says so in every tag label.
  if (id666_detect_form(spc) == id666_form::none) {
    set_tag_labels(no_tag_text, no_tag_text, no_tag_text, no_tag_text);
  } else {
    set_tag_labels(id666_game_title(spc).c_str(), id666_song_title(spc).c_str(),
                   id666_artist_name(spc).c_str(), id666_song_length_text(spc).c_str());
  }
  gtk_widget_show(state.widgets.button_play);

  std::int32_t count = 0;
  std::unique_ptr<sample_chart[]> chart;
  generate_sample_chart(spc, count, chart);
  // A failed chart allocation leaves the table as it was; a file without
  // samples empties it, so no rows of an earlier file stay behind.
  if (chart) sample_table_fill(chart.get(), count);
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

void quit_main_loop(GtkWidget*, gpointer) noexcept { gtk_main_quit(); }

GtkWidget* build_menu_bar(GtkWidget* window) {
  main_window_widgets& w = state.widgets;
  GtkWidget* menubar = gtk_menu_bar_new();
  GtkWidget* menu_file = append_menu(menubar, "_File");
  GtkWidget* menu_help = append_menu(menubar, "_Help");
  w.menu_file_open = append_menu_item(menu_file, "_Open SPC");
  w.menu_file_quit = append_menu_item(menu_file, "_Quit");
  w.menu_help_about = append_menu_item(menu_help, "_About");
  g_signal_connect_swapped(w.menu_file_open, "activate", G_CALLBACK(open_spc_dialog), window);
  g_signal_connect(w.menu_file_quit, "activate", G_CALLBACK(quit_main_loop), nullptr);
  g_signal_connect_swapped(w.menu_help_about, "activate", G_CALLBACK(about_dialog), window);
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
              {"Song Length: ", &w.label_song_length}};
  int top = 0;
  for (const auto& row : rows) {
    add_label(&caption, row.caption, grid, 0, top, 1, 1, false);
    add_label(row.value, "", grid, 1, top, 1, 1, true);
    ++top;
  }
  w.button_play = gtk_button_new_with_label("Play");
  g_signal_connect(w.button_play, "clicked", G_CALLBACK(play_spc_shim), nullptr);
  gtk_grid_attach(GTK_GRID(grid), w.button_play, 0, top, 2, 1);
  return grid;
}

}  // namespace

GtkWidget* main_window_new() {
  main_window_widgets& w = state.widgets;
  if (w.window) return w.window;

  w.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(w.window), "Quorlin");
  gtk_window_set_default_size(GTK_WINDOW(w.window), 600, 400);
  g_signal_connect(w.window, "destroy", G_CALLBACK(quit_main_loop), nullptr);

  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(w.window), box);
  gtk_box_pack_start(GTK_BOX(box), build_menu_bar(w.window), FALSE, FALSE, child_padding);
  gtk_box_pack_start(GTK_BOX(box), build_info_grid(), FALSE, FALSE, child_padding);
  filter_panel_pack(GTK_BOX(box));
  gtk_box_pack_start(GTK_BOX(box), sample_table_new(), TRUE, TRUE, child_padding);
  shortcuts_attach({w.window, w.menu_file_open, w.menu_file_quit, w.button_play});
  external_open_accept_drops(w.window, main_window_load_file);
  return w.window;
}

void main_window_show() {
  gtk_widget_show_all(state.widgets.window);
  gtk_widget_hide(state.widgets.button_play);
  filter_panel_set_visible(false);
}

bool main_window_load_file(const char* filename) {
  std::shared_ptr<const spc_format> spc = read_spc_from_file(filename);
  // The previous image goes now unless a playing thread still holds it.
  state.spc = spc;
  play_button_set_image(spc);
  if (!spc) {
    gtk_widget_hide(state.widgets.button_play);
    set_tag_labels("", "", "", "");
    return false;
  }
  show_loaded_file(filename, *spc);
  return true;
}

std::shared_ptr<const spc_format> main_window_current_spc() { return state.spc; }

const main_window_widgets& main_window_get_widgets() { return state.widgets; }

void open_spc_dialog(GtkWidget* parent_window, gpointer) noexcept {
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
      "Shows where the samples of an SPC sound snapshot lie in audio RAM, and plays it.\n\n"
      "Licence: GNU General Public License, version 3 or later.");
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}
