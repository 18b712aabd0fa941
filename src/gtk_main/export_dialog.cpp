// The chooser runs modally (gtk_dialog_run) and the rows shown are read when
// it closes; the files are then written as a job of the window's
// background_tasks, and the result shown when it is delivered.
//
// Cancel (or the window closing) stops the job between its steps; the
// files it added to the folder are removed when its result comes back
// cancelled, so that an export either finishes or leaves the folder as it
// was (a file it replaced, when asked to, stays replaced, and what anything
// else put there meanwhile stays).

#include "export_dialog.h"

#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include "kit_export.h"
#include "midi_export.h"
#include "message_line.h"
#include "sample_export.h"
#include "settings.h"

namespace {

// The options' check boxes, packed as the chooser's extra widget: the chooser
// owns them and they go with it.
struct export_option_boxes {
  GtkWidget* box;
  GtkWidget* loop_header;
  GtkWidget* unique;
  GtkWidget* force;
  GtkWidget* instruments;
  GtkWidget* midi;
};

GtkWidget* append_check_box(GtkWidget* box, const char* label) {
  GtkWidget* check = gtk_check_button_new_with_label(label);
  gtk_box_pack_start(GTK_BOX(box), check, FALSE, FALSE, 0);
  return check;
}

// All start off: in particular nothing a user made is replaced unless asked.
export_option_boxes option_boxes_new() {
  export_option_boxes boxes{};
  boxes.box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 2);
  boxes.loop_header = append_check_box(boxes.box, export_loop_header_label);
  boxes.unique = append_check_box(boxes.box, export_unique_label);
  boxes.force = append_check_box(boxes.box, export_force_label);
  boxes.instruments = append_check_box(boxes.box, export_instruments_label);
  boxes.midi = append_check_box(boxes.box, export_midi_label);
  // As --midi implies --instruments: the MIDI file plays the kit.
  g_signal_connect(boxes.midi, "toggled", G_CALLBACK(+[](GtkToggleButton* midi, gpointer kit) noexcept {
                     if (gtk_toggle_button_get_active(midi))
                       gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(kit), TRUE);
                   }),
                   boxes.instruments);
  g_signal_connect(boxes.instruments, "toggled", G_CALLBACK(+[](GtkToggleButton* kit, gpointer midi) noexcept {
                     if (!gtk_toggle_button_get_active(kit))
                       gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(midi), FALSE);
                   }),
                   boxes.midi);
  gtk_widget_show_all(boxes.box);
  return boxes;
}

bool is_checked(GtkWidget* check) {
  return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(check));
}

std::string start_folder(const std::string& spc_path) {
  std::string folder = settings_last_export_folder();
  if (!folder.empty()) return folder;
  g_autofree char* beside_file = g_path_get_dirname(spc_path.c_str());
  return beside_file;
}

GtkWidget* export_chooser_new(GtkWindow* parent, const char* title, const std::string& spc_path,
                              GtkWidget* options) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      title, parent, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel",
      GTK_RESPONSE_CANCEL, "_Export", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_file_chooser_set_create_folders(GTK_FILE_CHOOSER(dialog), TRUE);
  gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), start_folder(spc_path).c_str());
  gtk_file_chooser_set_extra_widget(GTK_FILE_CHOOSER(dialog), options);
  return dialog;
}

// The written line as info; a failure goes to standard error as well. A
// folder that cannot be remembered does not undo the export: the line says both.
void show_result(GtkWidget* window, const export_result& result, const std::string& folder,
                 const std::string& also_written = {}) {
  const std::string not_saved = g_file_test(folder.c_str(), G_FILE_TEST_IS_DIR)
                                    ? settings_remember_export_folder(folder)
                                    : std::string();
  if (result.ok && not_saved.empty()) {
    message_line_show(window, message_kind::info, result.summary() + also_written);
    return;
  }
  message_line_report(window, not_saved.empty() ? result.summary()
                                                : result.summary() + " (" + not_saved + ")");
}

// What an export job did: written by its thread before it returns.
struct export_outcome {
  export_result result;
  std::string also_written;  // after the summary: the kit's files, or why none
  std::string refused;       // not empty: nothing was written, and this says why
};

// The task's data.
struct export_job {
  GtkWidget* window = nullptr;  // the one that asked; a job outlives no window
  std::shared_ptr<const spc_format> spc;
  std::string spc_path;
  std::vector<int> shown;  // none: every entry
  std::string folder;
  export_options options;
  std::shared_ptr<const song_trace> trace;  // null: no kit
  progress_share progress;
  // The files the job added (the names that were free), and whether the
  // folder was there before. Set by the job's thread.
  std::vector<std::string> added;
  bool folder_was_there = true;
  export_outcome outcome;
  explicit export_job(task_progress* shown_on) : progress(shown_on) {}
};

// Removes what a cancelled job added to its folder, and the folder when
// the job made it and it is empty again (remove() leaves a folder that
// is not).
void remove_added_files(const export_job& job) {
  std::error_code error;
  for (const std::string& path : job.added) std::filesystem::remove(path, error);
  if (!job.folder_was_there) std::filesystem::remove(job.folder, error);
}

// The export with the song's played samples as a kit beside it, tuned from
// the song the window follows, and with the MIDI option the song as a MIDI
// file played by that kit. Nothing is written when a kit or MIDI file is
// in the way (without force). Stops between steps once `cancellable` is
// cancelled.
export_outcome export_with_kit(export_job& job, GTask* task, GCancellable* cancellable) {
  const spc_format& spc = *job.spc;
  const export_tunings tunings = tune_traced_image(spc, *job.trace, job.spc_path);
  job.progress.post(task, 0.3);
  export_options options = job.options;
  options.tunings = &tunings;
  // As the command line's export does, with the kit beside: its files point
  // at the WAV files the export names (the rows shown).
  kit_export kit(job.folder, tunings, options.force, options.publishing);
  std::optional<midi_export> midi;
  if (options.midi)
    midi.emplace(job.folder, tunings, job.spc_path, *job.trace, options.force, options.publishing);
  export_outcome outcome;
  if (!options.force) {
    sample_export check(options, job.folder, sample_export::mode::check_only);
    check.add_image(spc, job.spc_path, job.shown);
    if (!kit.put(check.stem_given(), check.names_given(), spc, job.spc_path, false,
                 outcome.refused))
      return outcome;
    if (midi && !midi->put(check.stem_given(), check.names_given(), spc, job.spc_path, false,
                           outcome.refused))
      return outcome;
    if (outcome.result = check.finish(); !outcome.result.ok) return outcome;
  }
  if (g_cancellable_is_cancelled(cancellable)) return outcome;
  job.progress.post(task, 0.4);
  sample_export run(options, job.folder);
  run.add_image(spc, job.spc_path, job.shown);
  job.progress.post(task, 0.7);
  std::string failure;
  bool kit_written = !g_cancellable_is_cancelled(cancellable) &&
                     kit.put(run.stem_given(), run.names_given(), spc, job.spc_path, true, failure);
  job.progress.post(task, 0.85);
  if (kit_written && midi && !g_cancellable_is_cancelled(cancellable))
    kit_written = midi->put(run.stem_given(), run.names_given(), spc, job.spc_path, true, failure);
  outcome.result = run.finish();
  if (outcome.result.ok && !kit_written) {
    outcome.result.ok = false;
    outcome.result.failure = failure;
  }
  const std::string stem = run.stem_given();
  if (kit.files_written() == 0) {
    outcome.also_written = std::string(", no instrument kit: the song plays none of them") +
                           (midi ? ", so no MIDI file" : "");
    return outcome;
  }
  outcome.also_written = ", and the instrument kit " + stem + ".sf2, " + stem + ".sfz and " +
                         stem + "-instruments.txt";
  if (midi && !midi->written().empty()) outcome.also_written += "; " + midi->written();
  if (midi)
    outcome.result.files_failed.insert(outcome.result.files_failed.end(),
                                       midi->files_failed().begin(), midi->files_failed().end());
  return outcome;
}

// On a pool thread.
void write_files(GTask* task, gpointer, gpointer data, GCancellable* cancellable) noexcept {
  auto* job = static_cast<export_job*>(data);
  try {
    job->folder_was_there = g_file_test(job->folder.c_str(), G_FILE_TEST_IS_DIR);
    job->options.publishing.added = &job->added;
    if (g_cancellable_is_cancelled(cancellable)) {
      // Nothing written yet.
    } else if (job->trace) {
      job->outcome = export_with_kit(*job, task, cancellable);
    } else {
      job->outcome.result =
          export_samples(*job->spc, job->spc_path, job->shown, job->folder, job->options);
    }
  } catch (const std::exception&) {
    job->outcome.refused = "Unable to allocate memory: nothing was written";
  }
  g_task_return_boolean(task, TRUE);
}

// Writes the files of `job` as a task of its own; `callback` gets it on the
// main loop, and export_files_finish what it did.
void export_files_async(std::unique_ptr<export_job> job, GCancellable* cancellable,
                        GAsyncReadyCallback callback, gpointer user_data) {
  GTask* task = g_task_new(nullptr, cancellable, callback, user_data);
  // Cancel interrupts the export: its result still comes back, to undo it.
  g_task_set_check_cancellable(task, FALSE);
  g_task_set_task_data(task, job.release(), [](gpointer p) { delete static_cast<export_job*>(p); });
  g_task_run_in_thread(task, write_files);
  g_object_unref(task);
}

const export_job& export_files_finish(GAsyncResult* result) {
  g_task_propagate_boolean(G_TASK(result), nullptr);
  return *static_cast<const export_job*>(g_task_get_task_data(G_TASK(result)));
}

// The window's progress for its exports comes with the job.
struct export_delivery {
  background_tasks* tasks;
  task_progress* progress;
};

void on_files_written(GObject*, GAsyncResult* result, gpointer data) noexcept {
  std::unique_ptr<export_delivery> delivery(static_cast<export_delivery*>(data));
  const bool wanted = delivery->tasks->delivered(result);
  const export_job& job = export_files_finish(result);
  // Dropped (the window closing) or cancelled: whatever it wrote goes.
  const bool cancelled = g_cancellable_is_cancelled(g_task_get_cancellable(G_TASK(result)));
  if (cancelled) remove_added_files(job);
  if (!wanted) return;
  delivery->progress->hide();
  if (cancelled) {
    message_line_show(job.window, message_kind::info,
                      "Export cancelled: nothing was written to " + job.folder);
  } else if (!job.outcome.refused.empty()) {
    message_line_report(job.window, job.outcome.refused);
  } else {
    show_result(job.window, job.outcome.result, job.folder, job.outcome.also_written);
  }
}

// Writes `job` as a job of `tasks`, `progress` showing `doing` meanwhile.
void start_export(std::unique_ptr<export_job> job, const std::string& doing,
                  background_tasks& tasks, task_progress& progress) {
  g_autofree char* name = g_filename_display_basename(job->spc_path.c_str());
  GtkWidget* window = job->window;
  export_files_async(std::move(job), tasks.start(task_kind::export_files), on_files_written,
                     new export_delivery{&tasks, &progress});
  progress.show(window, doing + " of " + name + "\u2026");
}

// The song followed, which a kit and a MIDI file are made from; null, said
// in the message line, while it is still under way.
std::shared_ptr<const song_trace> trace_for(GtkWidget* window, const char* what,
                                            std::shared_ptr<const song_trace> trace) {
  if (!trace)
    message_line_report(window, std::string(what) +
                        " needs the song followed, which is still under way: "
                        "nothing was written; export again in a moment");
  return trace;
}

}  // namespace

void export_dialog_run(GtkWindow* parent, const std::shared_ptr<const spc_format>& spc,
                       const std::string& spc_path, std::vector<int> shown,
                       std::shared_ptr<const song_trace> trace, background_tasks& tasks,
                       task_progress& progress) {
  if (!spc) return;
  // export_samples takes no numbers as "every entry": an empty table must
  // not become a full export.
  auto job = std::make_unique<export_job>(&progress);
  job->window = GTK_WIDGET(parent);
  job->shown = std::move(shown);
  if (job->shown.empty()) {
    message_line_show(GTK_WIDGET(parent), message_kind::info, "No samples shown, so none exported");
    return;
  }
  const export_option_boxes boxes = option_boxes_new();
  GtkWidget* dialog = export_chooser_new(parent, "Export Samples", spc_path, boxes.box);
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    g_autofree char* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    if (chosen) job->folder = chosen;
    job->options.loop_header = is_checked(boxes.loop_header);
    job->options.unique = is_checked(boxes.unique);
    job->options.force = is_checked(boxes.force);
    job->options.instruments = is_checked(boxes.instruments);
    job->options.midi = is_checked(boxes.midi);
  }
  gtk_widget_destroy(dialog);
  if (job->folder.empty()) return;
  // The kit is tuned from the song followed, so it waits for that trace.
  if (job->options.instruments &&
      !(job->trace = trace_for(job->window, "The instrument kit", std::move(trace))))
    return;
  job->spc = spc;
  job->spc_path = spc_path;
  start_export(std::move(job), "Exporting the samples", tasks, progress);
}

void export_midi_run(GtkWindow* parent, const std::shared_ptr<const spc_format>& spc,
                     const std::string& spc_path, std::shared_ptr<const song_trace> trace,
                     background_tasks& tasks, task_progress& progress) {
  if (!spc) return;
  // Off: nothing a user made is replaced unless asked.
  GtkWidget* replace = gtk_check_button_new_with_label(export_force_label);
  gtk_widget_show(replace);
  GtkWidget* dialog = export_chooser_new(parent, "Export MIDI", spc_path, replace);
  auto job = std::make_unique<export_job>(&progress);
  job->window = GTK_WIDGET(parent);
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    g_autofree char* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    if (chosen) job->folder = chosen;
    job->options.force = is_checked(replace);
  }
  gtk_widget_destroy(dialog);
  if (job->folder.empty() ||
      !(job->trace = trace_for(job->window, "The MIDI file", std::move(trace))))
    return;
  // What `quorlin --export FOLDER --midi FILE` writes: every entry, the
  // kit of the played ones, and the song.
  job->options.instruments = true;
  job->options.midi = true;
  job->spc = spc;
  job->spc_path = spc_path;
  start_export(std::move(job), "Writing the MIDI file", tasks, progress);
}
