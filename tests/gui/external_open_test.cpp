// Files that reach the window without its dialog: the command line that main
// hands over after gtk_init, and a drop from a file manager.
//
// The drop is synthesized one step short of a real drag: GTK's drag-and-drop
// machinery, once a drop lands, asks the source for text/uri-list and emits
// "drag-data-received" on the window with what came back. Here the same kind
// of GtkSelectionData comes from GTK's selection machinery too (a conversion
// to text/uri-list of a selection this test owns, as a drag source owns the
// drag's selection), and the signal is emitted on the window with it. The
// handler never looks at the drag context (GTK_DEST_DEFAULT_ALL finishes the
// drop), so none is passed.

#include "external_open.h"

#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filter_panel.h"
#include "gui_support.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "spc_builder.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

bool takes_uri_lists(GtkWidget* window) {
  GtkTargetList* targets = gtk_drag_dest_get_target_list(window);
  return targets &&
         gtk_target_list_find(targets, gdk_atom_intern_static_string("text/uri-list"), nullptr);
}

class ExternalOpenTest : public testing::Test {
 protected:
  // The window takes drops from its first frame drawn on.
  void SetUp() override {
    ASSERT_TRUE(gui_wait_until([] { return takes_uri_lists(GTK_WIDGET(gui_window())); }));
  }
  const main_window_widgets& w = main_window_get_widgets(gui_window());
  temp_dir dir;

  // A tagged file with one sample; `song` tells loads apart.
  std::string tagged_file(const std::string& name, const std::string& song) {
    spc_builder builder;
    builder.text_tag(song, "Game", "Artist", "065").dir_entry(0, 0x1000, 0x1000);
    builder.brr_chain(0x1000, 2);
    return builder.write_to(dir.path(), name);
  }
};

// What main passes on: the program name, then what gtk_init left.
bool open_from_command_line(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return external_open_command_line(GTK_WIDGET(gui_window()), static_cast<int>(arguments.size()), argv.data(),
                                    [](const char* filename, const report_sink& report) {
                                      return main_window_load_file(gui_window(), filename, report);
                                    });
}

TEST_F(ExternalOpenTest, CommandLinePathLoadsAsTheDialogWould) {
  const std::string path = tagged_file("named.spc", "Named");
  EXPECT_TRUE(open_from_command_line({"quorlin", path}));
  EXPECT_EQ(gui_tooltip(w.label_filename), path);
  EXPECT_EQ(gui_text(w.label_song_title), "Named");
  EXPECT_EQ(gui_text(w.label_song_length), "1:05");
  EXPECT_TRUE(gtk_widget_get_visible(w.button_play));
  EXPECT_EQ(gui_visible_rows().size(), 1u);
}

TEST_F(ExternalOpenTest, RelativePathShowsAsAbsolute) {
  const std::string path = tagged_file("relative.spc", "Relative");
  g_autofree char* previous = g_get_current_dir();
  ASSERT_EQ(g_chdir(dir.path().c_str()), 0);
  const bool loaded = open_from_command_line({"quorlin", "relative.spc"});
  ASSERT_EQ(g_chdir(previous), 0);
  EXPECT_TRUE(loaded);
  EXPECT_EQ(gui_tooltip(w.label_filename), path);
  EXPECT_EQ(gui_text(w.label_song_title), "Relative");
}

TEST_F(ExternalOpenTest, FileUriLoads) {
  const std::string path = tagged_file("as uri.spc", "By URI");
  g_autofree char* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  ASSERT_TRUE(uri);
  EXPECT_TRUE(open_from_command_line({"quorlin", uri}));
  EXPECT_EQ(gui_tooltip(w.label_filename), path);
  EXPECT_EQ(gui_text(w.label_song_title), "By URI");
}

TEST_F(ExternalOpenTest, NoArgumentChangesNothing) {
  const std::string path = tagged_file("kept.spc", "Kept");
  ASSERT_TRUE(main_window_load_file(gui_window(), path.c_str()));
  CaptureStderr();
  EXPECT_TRUE(open_from_command_line({"quorlin"}));
  EXPECT_EQ(GetCapturedStderr(), "");
  EXPECT_EQ(gui_tooltip(w.label_filename), path);
  EXPECT_EQ(gui_text(w.label_song_title), "Kept");
}

TEST_F(ExternalOpenTest, FailingPathIsReportedAsTheDialogWould) {
  ASSERT_TRUE(main_window_load_file(gui_window(), tagged_file("before.spc", "Before").c_str()));
  CaptureStderr();
  EXPECT_FALSE(open_from_command_line({"quorlin", dir.file("missing.spc")}));
  EXPECT_NE(GetCapturedStderr(), "");
  EXPECT_FALSE(gtk_widget_get_visible(w.button_play));
  EXPECT_EQ(gui_text(w.label_song_title), "");
}

TEST_F(ExternalOpenTest, OnlyTheFirstOfSeveralFilesOpens) {
  const std::string first = tagged_file("first.spc", "First");
  const std::string second = tagged_file("second.spc", "Second");
  CaptureStderr();
  EXPECT_TRUE(open_from_command_line({"quorlin", first, second}));
  EXPECT_NE(GetCapturedStderr().find(second), std::string::npos) << "the ignored file is named";
  EXPECT_EQ(gui_text(w.label_song_title), "First");
}

// The URIs a drop carries, handed out by the owner of a private selection.
void give_uris(GtkClipboard*, GtkSelectionData* data, guint, gpointer uris) noexcept {
  std::vector<char*> list;
  for (std::string& uri : *static_cast<std::vector<std::string>*>(uris)) list.push_back(uri.data());
  list.push_back(nullptr);
  gtk_selection_data_set_uris(data, list.data());
}

// Selection data of target text/uri-list holding `uris`, as GTK's selection
// machinery delivers it. Null if the conversion failed.
GtkSelectionData* uri_list_selection(std::vector<std::string>& uris) {
  GtkClipboard* selection = gtk_clipboard_get_for_display(
      gdk_display_get_default(), gdk_atom_intern_static_string("QUORLIN_TEST_DROP"));
  g_autoptr(GtkTargetList) targets = gtk_target_list_new(nullptr, 0);
  gtk_target_list_add_uri_targets(targets, 0);
  int count = 0;
  GtkTargetEntry* table = gtk_target_table_new_from_list(targets, &count);
  gtk_clipboard_set_with_data(selection, table, count, give_uris, nullptr, &uris);
  gtk_target_table_free(table, count);
  GtkSelectionData* data =
      gtk_clipboard_wait_for_contents(selection, gdk_atom_intern_static_string("text/uri-list"));
  gtk_clipboard_clear(selection);
  return data;
}

void drop_on_window(std::vector<std::string> uris) {
  GtkSelectionData* data = uri_list_selection(uris);
  ASSERT_TRUE(data);
  g_signal_emit_by_name(gui_window(), "drag-data-received", nullptr, 10, 10, data, 0u,
                        guint{GDK_CURRENT_TIME});
  gtk_selection_data_free(data);
  gui_flush();
}

std::string uri_of(const std::string& path) {
  g_autofree char* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  return uri ? uri : "";
}

TEST_F(ExternalOpenTest, WindowAcceptsUriListDrops) {
  EXPECT_TRUE(takes_uri_lists(GTK_WIDGET(gui_window())));
}

TEST_F(ExternalOpenTest, FilterBoundsLeaveDropsToTheWindow) {
  // GTK hands a drop to the innermost drop site under the pointer.
  for (GtkWidget* spinner : filter_panel_get_widgets(gui_filter_panel()).spinner) {
    EXPECT_FALSE(gtk_drag_dest_get_target_list(spinner)) << "a spin button takes drops as text";
  }
}

TEST_F(ExternalOpenTest, DroppedFileLoads) {
  const std::string path = tagged_file("dropped file.spc", "Dropped");
  const std::string other = tagged_file("other.spc", "Other");
  drop_on_window({uri_of(path), uri_of(other)});
  EXPECT_EQ(gui_tooltip(w.label_filename), path);
  EXPECT_EQ(gui_text(w.label_song_title), "Dropped");
  EXPECT_TRUE(gtk_widget_get_visible(w.button_play));
  EXPECT_EQ(gui_visible_rows().size(), 1u);
}

TEST_F(ExternalOpenTest, DroppedRemoteUriIsReportedAndChangesNothing) {
  const std::string path = tagged_file("stays.spc", "Stays");
  ASSERT_TRUE(main_window_load_file(gui_window(), path.c_str()));
  CaptureStderr();
  drop_on_window({"http://example.invalid/song.spc"});
  EXPECT_NE(GetCapturedStderr().find("http://example.invalid/song.spc"), std::string::npos);
  EXPECT_NE(gui_text(w.label_message).find("http://example.invalid/song.spc"), std::string::npos)
      << "a desktop user sees no standard error";
  EXPECT_EQ(gui_tooltip(w.label_filename), path);
  EXPECT_EQ(gui_text(w.label_song_title), "Stays");
}

}  // namespace
