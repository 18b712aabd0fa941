// File > Export Samples…: a folder chooser with the command line's export
// options as check boxes, then the same export as `quorlin --export` of the
// rows the sample table shows, written as a job of the window's
// background_tasks with a progress bar and Cancel in the message line, and
// reported there. File > Export MIDI…: the same for what
// `quorlin --export FOLDER --midi FILE` writes. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include "background_tasks.h"
#include "song_trace.h"
#include "spc.h"
#include "task_progress.h"

// Asks for a folder, starting in the last export folder or else the folder
// of `spc_path`, and writes there the samples of `spc` numbered in `shown`
// (the rows the table shows, in order), off the main loop as a job of
// `tasks`; with the kit option, tuned from `trace`, the song followed (null: still under way, and nothing
// is written), and with the MIDI option the song as STEM.mid. The chooser's
// Cancel changes nothing; `progress` (of the export_files kind) shows the
// job, and its Cancel leaves the folder as it was. The result is one line
// in the message line (a failure also on standard error) once written; the
// folder is remembered for next time. With no rows shown it says so and
// opens no chooser. Main thread only.
void export_dialog_run(GtkWindow* parent, const std::shared_ptr<const spc_format>& spc,
                       const std::string& spc_path, std::vector<int> shown,
                       std::shared_ptr<const song_trace> trace, background_tasks& tasks,
                       task_progress& progress);

// Asks for a folder as export_dialog_run does (with "Replace existing
// files" alone) and writes there every entry of `spc`, the kit of those its
// song plays and STEM.mid, as `quorlin --export FOLDER --midi FILE` does,
// from `trace` (null: still under way, and nothing is written). Main
// thread only.
void export_midi_run(GtkWindow* parent, const std::shared_ptr<const spc_format>& spc,
                     const std::string& spc_path, std::shared_ptr<const song_trace> trace,
                     background_tasks& tasks, task_progress& progress);

// Labels of the chooser's check boxes, for tests.
inline constexpr const char* export_loop_header_label = "Start BRR files with the loop offset";
inline constexpr const char* export_unique_label = "Write identical samples once";
inline constexpr const char* export_force_label = "Replace existing files";
inline constexpr const char* export_instruments_label =
    "Also the played samples as a tuned kit (SoundFont, SFZ, AddMusicK)";
inline constexpr const char* export_midi_label = "MIDI";
