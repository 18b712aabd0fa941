#include "gui_support.h"

#include "main_window.h"
#include "quorlin_application.h"
#include "main_window_test_hooks.h"
#include "sample_table.h"

namespace {

constexpr int tick_ms = 50;
constexpr int max_ticks = 200;  // ten seconds for any dialog step, on a busy machine too

template <typename Dialog>
Dialog* find_visible_dialog(GType type) {
  Dialog* found = nullptr;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* at = toplevels; at; at = at->next) {
    if (G_TYPE_CHECK_INSTANCE_TYPE(at->data, type) && gtk_widget_get_visible(GTK_WIDGET(at->data)))
      found = static_cast<Dialog*>(at->data);
  }
  g_list_free(toplevels);
  return found;
}

struct chooser_drive {
  std::string path;
  std::function<void(GtkFileChooser*)> prepare;
  dialog_seen seen;
  int ticks = 0;
  bool filename_set = false;
};

gboolean drive_chooser(gpointer data) {
  auto& drive = *static_cast<chooser_drive*>(data);
  GtkDialog* dialog = find_visible_dialog<GtkDialog>(GTK_TYPE_FILE_CHOOSER_DIALOG);
  if (++drive.ticks > max_ticks) {
    if (dialog) gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
    return G_SOURCE_REMOVE;
  }
  if (!dialog) return G_SOURCE_CONTINUE;
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  if (!drive.seen.appeared) {
    drive.seen.appeared = true;
    drive.seen.title = gtk_window_get_title(GTK_WINDOW(dialog));
    if (GtkFileFilter* filter = gtk_file_chooser_get_filter(chooser))
      drive.seen.filter_name = gtk_file_filter_get_name(filter);
    GSList* filters = gtk_file_chooser_list_filters(chooser);
    for (GSList* at = filters; at; at = at->next)
      drive.seen.filter_list.emplace_back(gtk_file_filter_get_name(GTK_FILE_FILTER(at->data)));
    g_slist_free(filters);
    if (drive.prepare) drive.prepare(chooser);
  }
  // A busy chooser names its folder only once it has started loading it.
  if (drive.seen.folder.empty()) {
    g_autofree char* folder = gtk_file_chooser_get_current_folder(chooser);
    if (folder) drive.seen.folder = folder;
  }
  if (drive.path.empty()) {
    if (drive.seen.folder.empty() && drive.ticks < max_ticks / 2) return G_SOURCE_CONTINUE;
    gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
    return G_SOURCE_REMOVE;
  }
  // Setting the file and accepting in one tick makes the chooser ignore the
  // accept: accept only once it reports the file as chosen. A folder is
  // chosen as a user does, by going into it: a folder chooser with nothing
  // selected answers its current folder. Selecting it from its parent
  // instead waits on the parent's listing, and a listing still under way
  // when that starts can leave the folder unselected.
  if (!drive.filename_set) {
    if (gtk_file_chooser_get_action(chooser) == GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER)
      gtk_file_chooser_set_current_folder(chooser, drive.path.c_str());
    else
      gtk_file_chooser_set_filename(chooser, drive.path.c_str());
    drive.filename_set = true;
    return G_SOURCE_CONTINUE;
  }
  g_autofree char* chosen = gtk_file_chooser_get_filename(chooser);
  if (chosen && drive.path == chosen) {
    gtk_dialog_response(dialog, GTK_RESPONSE_ACCEPT);
    return G_SOURCE_REMOVE;
  }
  return G_SOURCE_CONTINUE;
}

struct message_drive {
  dialog_seen seen;
  int ticks = 0;
};

gboolean close_message_dialog(gpointer data) {
  auto& drive = *static_cast<message_drive*>(data);
  GtkDialog* dialog = find_visible_dialog<GtkDialog>(GTK_TYPE_MESSAGE_DIALOG);
  if (!dialog) return ++drive.ticks > max_ticks ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
  drive.seen.appeared = true;
  g_autofree char* text = nullptr;
  g_autofree char* secondary = nullptr;
  g_object_get(dialog, "text", &text, "secondary-text", &secondary, nullptr);
  drive.seen.secondary_text = secondary ? secondary : "";
  drive.seen.primary_text = text ? text : "";
  gtk_dialog_response(dialog, GTK_RESPONSE_CLOSE);
  return G_SOURCE_REMOVE;
}

}  // namespace

namespace {

// The process's application, registered once (windows join only a
// registered one), and the running test's window.
struct gui_session {
  QuorlinApplication* application = nullptr;
  QuorlinWindow* window = nullptr;
};
gui_session session;

QuorlinApplication* gui_application() {
  if (!session.application) {
    session.application = quorlin_application_new(nullptr, G_APPLICATION_NON_UNIQUE);
    g_application_register(G_APPLICATION(session.application), nullptr, nullptr);
  }
  return session.application;
}

}  // namespace

QuorlinWindow* gui_window() {
  if (!session.window) {
    session.window = gui_new_window();
    // Gone once destroyed, though a pending idle may keep it alive a while.
    g_signal_connect(session.window, "destroy",
                     G_CALLBACK(+[](GtkWidget*, gpointer) noexcept { session.window = nullptr; }),
                     nullptr);
  }
  gui_flush();
  return session.window;
}

namespace {
QuorlinWindow* window_made() { return session.window ? session.window : gui_window(); }
}  // namespace

sample_table& gui_table() { return main_window_sample_table(window_made()); }
inspector_pane& gui_pane() { return main_window_inspector_pane(window_made()); }
voice_switches& gui_voices() { return play_button_voices(main_window_play_button(window_made())); }

QuorlinWindow* gui_new_window() {
  QuorlinWindow* window = quorlin_window_new(GTK_APPLICATION(gui_application()));
  main_window_show(window);
  return window;
}

filter_panel_widgets& gui_filter_panel() { return main_window_filter_panel(gui_window()); }

bool gui_window_open() { return session.window != nullptr; }

void gui_close_window() {
  if (session.window) gtk_widget_destroy(GTK_WIDGET(session.window));
  gui_flush();
}

bool gui_wait_until(const std::function<bool()>& done, int timeout_ms) {
  const gint64 deadline = g_get_monotonic_time() + gint64{timeout_ms} * 1000;
  while (!done()) {
    if (g_get_monotonic_time() > deadline) return false;
    if (!gtk_events_pending()) g_usleep(1000);
    gtk_main_iteration_do(FALSE);
  }
  return true;
}

void gui_flush() {
  for (int i = 0; i < 1000 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
}

namespace {

void count_frame(GdkFrameClock*, gpointer frames) noexcept { ++*static_cast<int*>(frames); }

// Asks `widget`'s frame clock for a frame and waits until it has painted.
bool wait_for_frame(GtkWidget* widget) {
  GdkFrameClock* clock = gtk_widget_get_frame_clock(widget);
  if (!clock) return false;
  int frames = 0;
  const gulong handler = g_signal_connect(clock, "after-paint", G_CALLBACK(count_frame), &frames);
  gdk_frame_clock_request_phase(clock, GDK_FRAME_CLOCK_PHASE_PAINT);
  const bool painted = gui_wait_until([&frames] { return frames > 0; });
  g_signal_handler_disconnect(clock, handler);
  return painted;
}

}  // namespace

bool gui_wait_laid_out(GtkWidget* widget) {
  GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
  if (!gui_wait_until([toplevel] { return gtk_widget_get_mapped(toplevel) != FALSE; }))
    return false;
  if (!wait_for_frame(toplevel)) return false;
  // A frame that resized the window only asked the X server; its answer
  // (ConfigureNotify) is in the queue once the server has caught up.
  gdk_display_sync(gtk_widget_get_display(toplevel));
  gui_flush();
  return wait_for_frame(toplevel);
}

gui_lone_window::gui_lone_window(GtkWidget* child, int width, int height)
    : window_(gtk_window_new(GTK_WINDOW_TOPLEVEL)) {
  gtk_window_set_default_size(GTK_WINDOW(window_), width, height);
  gtk_container_add(GTK_CONTAINER(window_), child);
  gtk_widget_show_all(window_);
  gui_wait_until([child] {
    return gtk_widget_get_mapped(child) && gtk_widget_get_allocated_width(child) > 1;
  });
  gui_flush();
}

gui_lone_window::~gui_lone_window() { gtk_widget_destroy(window_); }

dialog_seen gui_open_through_dialog(const std::string& path, const std::function<void()>& open,
                                    const std::function<void(GtkFileChooser*)>& prepare) {
  chooser_drive drive{path, prepare, {}};
  const guint source = g_timeout_add(tick_ms, drive_chooser, &drive);
  // Runs the dialog's own loop until the timer above answers it.
  if (open)
    open();
  else
    gtk_menu_item_activate(GTK_MENU_ITEM(main_window_get_widgets(gui_window()).menu_file_open));
  if (drive.ticks <= max_ticks && drive.seen.appeared && !drive.path.empty() &&
      !drive.filename_set)
    g_source_remove(source);
  // No dialog came up: the timer is still waiting for one, on `drive`, which
  // is about to go.
  if (!drive.seen.appeared && drive.ticks <= max_ticks) g_source_remove(source);
  gui_flush();
  return drive.seen;
}

dialog_seen gui_about() {
  message_drive drive;
  g_timeout_add(tick_ms, close_message_dialog, &drive);
  gtk_menu_item_activate(GTK_MENU_ITEM(main_window_get_widgets(gui_window()).menu_help_about));
  gui_flush();
  return drive.seen;
}

std::vector<std::vector<std::string>> gui_visible_rows() {
  std::vector<std::vector<std::string>> rows;
  GtkTreeModel* model = gtk_tree_view_get_model(sample_table_view(gui_table()));
  GtkTreeIter iter;
  for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
       more = gtk_tree_model_iter_next(model, &iter)) {
    std::vector<std::string> row;
    for (int column = 0; column < SAMPLE_COLUMN_COUNT; ++column) {
      g_autofree char* text = nullptr;
      gtk_tree_model_get(model, &iter, column, &text, -1);
      row.emplace_back(text ? text : "");
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string gui_text(GtkWidget* widget) {
  if (GTK_IS_LABEL(widget)) return gtk_label_get_text(GTK_LABEL(widget));
  if (GTK_IS_BUTTON(widget)) return gtk_button_get_label(GTK_BUTTON(widget));
  // A menu item's label as shown: without its mnemonic's underscore.
  if (GTK_IS_MENU_ITEM(widget)) return gui_text(gtk_bin_get_child(GTK_BIN(widget)));
  return {};
}

std::string gui_tooltip(GtkWidget* widget) {
  g_autofree char* text = gtk_widget_get_tooltip_text(widget);
  return text ? text : "";
}
