// File > Export MIDI… and the Export Samples chooser's "MIDI" box, through
// the real folder chooser: the window writes what the command line's
// --export --midi writes for the same file, and Cancel leaves the folder
// as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>

#include "background_tasks.h"
#include "command_run.h"
#include "export_dialog.h"
#include "gui_support.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "song_follow.h"
#include "spc_builder.h"
#include "table_fixture.h"

namespace {

std::set<std::string> names_in(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

// Ticks the Export Samples chooser's boxes of these labels.
std::function<void(GtkFileChooser*)> tick(std::set<std::string> labels) {
  return [labels](GtkFileChooser* chooser) {
    g_autoptr(GList) boxes =
        gtk_container_get_children(GTK_CONTAINER(gtk_file_chooser_get_extra_widget(chooser)));
    for (GList* at = boxes; at; at = at->next)
      if (labels.count(gui_text(GTK_WIDGET(at->data))))
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(at->data), TRUE);
  };
}

class ExportMidiTest : public testing::Test {
 protected:
  void SetUp() override {
    gui_window();
    spc = spc_builder().two_tones().write_to(dir.path(), "tones.spc");
    ASSERT_TRUE(main_window_load_file(gui_window(), spc.c_str()));
    ASSERT_TRUE(gui_wait_until(
        [] { return main_window_song_follow(gui_window()).trace() != nullptr; }, 30000));
  }
  void TearDown() override {
    main_window_load_file(gui_window(), dir.file("missing.spc").c_str());
    table_fixture_reset();
  }
  // Runs File > `item` into `out`, with `prepare` on the chooser and
  // `after` right after the chooser closed, and waits for the export.
  void export_through(GtkWidget* item, const std::string& out,
                      const std::function<void(GtkFileChooser*)>& prepare = {},
                      const std::function<void()>& after = {}) {
    const dialog_seen seen = gui_open_through_dialog(
        out,
        [&] {
          gtk_menu_item_activate(GTK_MENU_ITEM(item));
          if (after) after();
        },
        prepare);
    ASSERT_TRUE(seen.appeared);
    ASSERT_TRUE(gui_wait_until(
        [] { return !main_window_background_tasks(gui_window()).running(task_kind::export_files); },
        30000));
  }

  QuorlinWindow* window = gui_window();
  const main_window_widgets& w = main_window_get_widgets(window);
  temp_dir dir, out{dir.path()};  // the chooser picks `out` in a quiet folder
  std::string spc;
};

TEST_F(ExportMidiTest, WritesTheCommandLinesFilesAndCancelLeavesNone) {
  // Right after the job starts, before it can deliver (gui_window() would
  // run the main loop): its result comes back cancelled.
  task_progress& progress = main_window_export_progress(window);
  export_through(w.menu_file_export_midi, out.path(), {}, [&progress] {
    gtk_button_clicked(GTK_BUTTON(progress.widgets().button_cancel));
  });
  EXPECT_TRUE(names_in(out.path()).empty()) << "a cancelled export left files";
  EXPECT_EQ(gui_text(w.label_message), "Export cancelled: nothing was written to " + out.path());

  export_through(w.menu_file_export_midi, out.path());
  temp_dir command_line;
  const run_result run =
      run_without_display({QUORLIN_BINARY, "--export", command_line.path(), "--midi", spc});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(names_in(out.path()), names_in(command_line.path()));
  ASSERT_TRUE(std::filesystem::exists(out.file("tones.mid"))) << gui_text(w.label_message);
  EXPECT_EQ(file_text(out.file("tones.mid")), file_text(command_line.file("tones.mid")));
  EXPECT_NE(gui_text(w.label_message).find("tones.mid: 2 notes on 2 voices"), std::string::npos)
      << gui_text(w.label_message);
}

// Cancelled once its files are on disk (before its result can come back:
// the main loop does not run meanwhile), the export takes back exactly the
// files it added: not one another program saved there meanwhile, nor one
// it was asked to replace.
TEST_F(ExportMidiTest, CancelTakesBackOnlyTheFilesTheExportAdded) {
  std::ofstream(out.file("tones-01.wav")) << "mine";
  task_progress& progress = main_window_export_progress(window);
  export_through(w.menu_file_export, out.path(), tick({export_midi_label, export_force_label}), [&] {
    const gint64 deadline = g_get_monotonic_time() + 30 * G_USEC_PER_SEC;
    while (!std::filesystem::exists(out.file("tones.mid")) && g_get_monotonic_time() < deadline)
      g_usleep(1000);
    std::ofstream(out.file("theirs.txt")) << "saved by another program";
    gtk_button_clicked(GTK_BUTTON(progress.widgets().button_cancel));
  });
  EXPECT_EQ(names_in(out.path()), (std::set<std::string>{"theirs.txt", "tones-01.wav"}));
  EXPECT_EQ(file_text(out.file("tones-01.wav")).substr(0, 4), "RIFF") << "replaced, as asked";
}

TEST_F(ExportMidiTest, TheMidiBoxWritesTheSongBesideTheKit) {
  export_through(w.menu_file_export, out.path(), tick({export_midi_label}));
  for (const char* name : {"tones-01.wav", "tones.sf2", "tones.sfz", "tones.mid"})
    EXPECT_TRUE(std::filesystem::exists(out.file(name))) << name << ": " << gui_text(w.label_message);
}

}  // namespace
