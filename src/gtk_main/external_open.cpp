// The command line and drag-and-drop, turned into local file names for the
// one load path.

#include "external_open.h"

#include <memory>
#include <string>
#include <vector>

#include "message_line.h"

namespace {

struct object_unref {
  void operator()(gpointer object) const noexcept { g_object_unref(object); }
};

// The first URI of a drop loads; a window shows one file at a time.
void load_dropped(GtkWidget* window, GtkSelectionData* data, const file_loader& load) {
  g_auto(GStrv) uris = gtk_selection_data_get_uris(data);
  if (!uris || !uris[0]) {
    message_line_report(window, "Nothing to open in what was dropped.");
    return;
  }
  g_autoptr(GError) error = nullptr;
  g_autofree char* filename = g_filename_from_uri(uris[0], nullptr, &error);
  if (!filename) {
    message_line_report(window, std::string("Unable to open ") + uris[0] + ": " + error->message);
    return;
  }
  load(filename, report_to_standard_error);
}

void delete_loader(gpointer load, GClosure*) noexcept { delete static_cast<file_loader*>(load); }

// GTK_DEST_DEFAULT_ALL finishes the drop itself once this returns.
void on_drag_data_received(GtkWidget* window, GdkDragContext*, gint, gint, GtkSelectionData* data, guint,
                           guint, gpointer load) noexcept {
  load_dropped(window, data, *static_cast<const file_loader*>(load));
}

// An entry takes any text drop as typing, so a file dropped on a filter
// bound would set it to the hex value of "file:///..." (F). Without a drop
// site of their own, entries leave drops to the window around them.
void leave_drops_to_window(GtkWidget* widget, gpointer) noexcept {
  if (GTK_IS_ENTRY(widget)) gtk_drag_dest_unset(widget);
  if (GTK_IS_CONTAINER(widget)) gtk_container_forall(GTK_CONTAINER(widget), leave_drops_to_window, nullptr);
}

}  // namespace

bool external_open_files(GtkWidget* window, GFile** files, int count, file_loader load,
                         const report_sink& report) {
  if (count < 1) return true;
  for (int i = 1; i < count; ++i) {
    g_autofree char* name = g_file_get_parse_name(files[i]);
    report(std::string("Only the first file is opened; ignoring ") + name);
  }
  g_autofree char* filename = g_file_get_path(files[0]);
  bool loaded = false;
  if (!filename) {
    g_autofree char* uri = g_file_get_uri(files[0]);
    message_line_report(window, std::string("Unable to open ") + uri + ": not a local file.", report);
  } else {
    loaded = load(filename, report);
  }
  // In the window after the load, which clears the message line, unless the
  // load put its own failure there.
  if (loaded && count > 1)
    message_line_show(window, message_kind::info,
                      "Only the first file is opened; ignoring " + std::to_string(count - 1) + " more");
  return loaded;
}

bool external_open_command_line(GtkWidget* window, int argc, char** argv, file_loader load) {
  if (argc < 2) return true;
  // Relative names become absolute, as the dialog's always are, so the window
  // shows the same name either way.
  std::vector<std::unique_ptr<GFile, object_unref>> owned;
  std::vector<GFile*> files;
  for (int i = 1; i < argc; ++i) {
    owned.emplace_back(g_file_new_for_commandline_arg(argv[i]));
    files.push_back(owned.back().get());
  }
  return external_open_files(window, files.data(), static_cast<int>(files.size()), load);
}

void external_open_accept_drops(GtkWidget* window, file_loader load) {
  gtk_drag_dest_set(window, GTK_DEST_DEFAULT_ALL, nullptr, 0, GDK_ACTION_COPY);
  gtk_drag_dest_add_uri_targets(window);
  // The handler owns the loader; it goes with the window.
  g_signal_connect_data(window, "drag-data-received", G_CALLBACK(on_drag_data_received),
                        new file_loader(std::move(load)), delete_loader, GConnectFlags(0));
  leave_drops_to_window(window, nullptr);
}
