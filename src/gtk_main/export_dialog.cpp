// The chooser runs modally (gtk_dialog_run) and the rows shown are read when
// it closes; the files are then written as a job of the window's
// background_tasks, and the result shown when it is delivered.

#include "export_dialog.h"

#include <exception>
#include <memory>
#include <vector>

#include "kit_export.h"
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

GtkWidget* export_chooser_new(GtkWindow* parent, const std::string& spc_path,
                              const export_option_boxes& boxes) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      "Export Samples", parent, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel",
      GTK_RESPONSE_CANCEL, "_Export", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_file_chooser_set_create_folders(GTK_FILE_CHOOSER(dialog), TRUE);
  gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), start_folder(spc_path).c_str());
  gtk_file_chooser_set_extra_widget(GTK_FILE_CHOOSER(dialog), boxes.box);
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
  std::vector<int> shown;
  std::string folder;
  export_options options;
  std::shared_ptr<const song_trace> trace;  // null: no kit
  export_outcome outcome;
};

// The export with the song's played samples as a kit beside it, tuned from
// the song the window follows. Nothing is written when a kit file is in
// the way (without force).
export_outcome export_with_kit(const export_job& job) {
  const spc_format& spc = *job.spc;
  const export_tunings tunings = tune_traced_image(spc, *job.trace, job.spc_path);
  export_options options = job.options;
  options.tunings = &tunings;
  // As export_samples does, with the kit beside: its files point at the
  // WAV files the export names (the rows shown).
  kit_export kit(job.folder, tunings, options.force);
  export_outcome outcome;
  if (!options.force) {
    sample_export check(options, job.folder, sample_export::mode::check_only);
    check.add_image(spc, job.spc_path, job.shown);
    if (!kit.put(check.stem_given(), check.names_given(), spc, job.spc_path, false,
                 outcome.refused))
      return outcome;
    if (outcome.result = check.finish(); !outcome.result.ok) return outcome;
  }
  sample_export run(options, job.folder);
  run.add_image(spc, job.spc_path, job.shown);
  std::string failure;
  const bool kit_written =
      kit.put(run.stem_given(), run.names_given(), spc, job.spc_path, true, failure);
  outcome.result = run.finish();
  if (outcome.result.ok && !kit_written) {
    outcome.result.ok = false;
    outcome.result.failure = failure;
  }
  const std::string stem = run.stem_given();
  outcome.also_written = kit.files_written() > 0
                             ? ", and the instrument kit " + stem + ".sf2, " + stem + ".sfz and " +
                                   stem + "-instruments.txt"
                             : std::string(", no instrument kit: the song plays none of them");
  return outcome;
}

// On a pool thread.
void write_files(GTask* task, gpointer, gpointer data, GCancellable*) noexcept {
  auto* job = static_cast<export_job*>(data);
  try {
    if (job->trace) {
      job->outcome = export_with_kit(*job);
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
  g_task_set_task_data(task, job.release(), [](gpointer p) { delete static_cast<export_job*>(p); });
  g_task_run_in_thread(task, write_files);
  g_object_unref(task);
}

const export_job& export_files_finish(GAsyncResult* result) {
  g_task_propagate_boolean(G_TASK(result), nullptr);
  return *static_cast<const export_job*>(g_task_get_task_data(G_TASK(result)));
}

void on_files_written(GObject*, GAsyncResult* result, gpointer tasks) noexcept {
  if (!static_cast<background_tasks*>(tasks)->delivered(result)) return;
  const export_job& job = export_files_finish(result);
  if (!job.outcome.refused.empty()) {
    message_line_report(job.window, job.outcome.refused);
  } else {
    show_result(job.window, job.outcome.result, job.folder, job.outcome.also_written);
  }
}

}  // namespace

void export_dialog_run(GtkWindow* parent, const std::shared_ptr<const spc_format>& spc,
                       const std::string& spc_path, std::vector<int> shown,
                       std::shared_ptr<const song_trace> trace, background_tasks& tasks) {
  if (!spc) return;
  // export_samples takes no numbers as "every entry": an empty table must
  // not become a full export.
  auto job = std::make_unique<export_job>();
  job->window = GTK_WIDGET(parent);
  job->shown = std::move(shown);
  if (job->shown.empty()) {
    message_line_show(GTK_WIDGET(parent), message_kind::info, "No samples shown, so none exported");
    return;
  }
  const export_option_boxes boxes = option_boxes_new();
  GtkWidget* dialog = export_chooser_new(parent, spc_path, boxes);
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    g_autofree char* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    if (chosen) job->folder = chosen;
    job->options.loop_header = is_checked(boxes.loop_header);
    job->options.unique = is_checked(boxes.unique);
    job->options.force = is_checked(boxes.force);
    job->options.instruments = is_checked(boxes.instruments);
  }
  gtk_widget_destroy(dialog);
  if (job->folder.empty()) return;
  // The kit is tuned from the song followed, so it waits for that trace.
  if (job->options.instruments && !trace) {
    message_line_report(GTK_WIDGET(parent),
                        "The instrument kit needs the song followed, which is still under way: "
                        "nothing was written; export again in a moment");
    return;
  }
  if (job->options.instruments) job->trace = std::move(trace);
  job->spc = spc;
  job->spc_path = spc_path;
  export_files_async(std::move(job), tasks.start(task_kind::export_files), on_files_written,
                     &tasks);
}
