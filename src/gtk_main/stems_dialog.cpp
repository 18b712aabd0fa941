// The render runs as a GTask on GLib's thread pool and owns nothing of GTK:
// it reads its job and posts its share done to the main loop
// (progress_share), which alone touches the widgets. A job cancelled and
// dropped (a new load, the window closing) posts nothing that is shown.
#include "stems_dialog.h"

#include <vector>

#include "message_line.h"
#include "settings.h"
#include "stem_render.h"

namespace {

// What a render did: written by its thread before it returns.
struct stems_outcome {
  stems_result result;
  std::vector<int> skipped;  // voices without a file: never keyed on and silent
};

// The task's data.
struct stems_job {
  std::shared_ptr<const spc_format> spc;
  std::string spc_path;
  std::string folder;
  bool force = false;
  progress_share progress;
  stems_outcome outcome;
  explicit stems_job(task_progress* shown) : progress(shown) {}
};

// On a pool thread.
void render(GTask* task, gpointer, gpointer data, GCancellable* cancellable) noexcept {
  auto* job = static_cast<stems_job*>(data);
  cancel_flag cancel(cancellable);
  const stem_plan plan =
      plan_stems(job->spc, job->spc_path, song_length_of(*job->spc, std::nullopt), cancel.get());
  job->outcome.result = write_stems({plan}, job->folder, job->force, cancel.get(),
                                    [&](double share) { job->progress.post(task, share); });
  job->outcome.skipped = plan.skipped;
  g_task_return_boolean(task, TRUE);
}

// Writes the stems of `job` as a task of its own; `callback` gets it on
// the main loop, and stems_render_finish what it did.
void stems_render_async(std::unique_ptr<stems_job> job, GCancellable* cancellable,
                        GAsyncReadyCallback callback, gpointer user_data) {
  GTask* task = g_task_new(nullptr, cancellable, callback, user_data);
  // Cancel interrupts the render: what it did is still the result.
  g_task_set_check_cancellable(task, FALSE);
  g_task_set_task_data(task, job.release(), [](gpointer p) { delete static_cast<stems_job*>(p); });
  g_task_run_in_thread(task, render);
  g_object_unref(task);
}

const stems_outcome& stems_render_finish(GAsyncResult* result) {
  g_task_propagate_boolean(G_TASK(result), nullptr);
  return static_cast<stems_job*>(g_task_get_task_data(G_TASK(result)))->outcome;
}

std::string start_folder(const std::string& spc_path) {
  std::string folder = settings_last_export_folder();
  if (!folder.empty()) return folder;
  g_autofree char* beside_file = g_path_get_dirname(spc_path.c_str());
  return beside_file;
}

// The chosen folder ("" for Cancel) and whether files may be replaced.
std::string choose_folder(GtkWindow* parent, const std::string& spc_path, bool& force) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      "Export Stems", parent, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel",
      GTK_RESPONSE_CANCEL, "_Export", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_file_chooser_set_create_folders(GTK_FILE_CHOOSER(dialog), TRUE);
  gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), start_folder(spc_path).c_str());
  // Off: nothing a user made is replaced unless asked.
  GtkWidget* replace = gtk_check_button_new_with_label(stems_force_label);
  gtk_widget_show(replace);
  gtk_file_chooser_set_extra_widget(GTK_FILE_CHOOSER(dialog), replace);
  std::string folder;
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    g_autofree char* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    if (chosen) folder = chosen;
    force = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(replace));
  }
  gtk_widget_destroy(dialog);
  return folder;
}

}  // namespace

void stems_dialog::on_rendered(GObject*, GAsyncResult* result, gpointer self) noexcept {
  auto& dialog = *static_cast<stems_dialog*>(self);
  if (!dialog.tasks_.delivered(result)) return;
  dialog.progress_.hide();
  const stems_outcome& outcome = stems_render_finish(result);
  const stems_result& rendered = outcome.result;
  const auto* job = static_cast<const stems_job*>(g_task_get_task_data(G_TASK(result)));
  const std::string not_saved = settings_remember_export_folder(job->folder);
  std::string text = rendered.summary();
  if (rendered.ok && !rendered.cancelled && !outcome.skipped.empty()) {
    std::string voices;
    for (int voice : outcome.skipped)
      voices += (voices.empty() ? "" : ", ") + std::to_string(voice);
    text += (outcome.skipped.size() == 1 ? "; voice " : "; voices ") + voices +
            " never keyed on and silent, left out";
  }
  if (!not_saved.empty()) text += " (" + not_saved + ")";
  if (rendered.ok && rendered.files_failed.empty() && not_saved.empty()) {
    message_line_show(dialog.window_, message_kind::info, text);
  } else {
    message_line_report(dialog.window_, text);
  }
}

void stems_dialog::run(GtkWindow* parent, const std::shared_ptr<const spc_format>& spc,
                       const std::string& spc_path) {
  if (!spc) return;
  bool force = false;
  const std::string folder = choose_folder(parent, spc_path, force);
  if (folder.empty()) return;
  window_ = GTK_WIDGET(parent);

  auto job = std::make_unique<stems_job>(&progress_);
  job->spc = spc;
  job->spc_path = spc_path;
  job->folder = folder;
  job->force = force;
  // Cancels a render still running: its result is dropped.
  stems_render_async(std::move(job), tasks_.start(task_kind::stems), on_rendered, this);
  g_autofree char* name = g_filename_display_basename(spc_path.c_str());
  progress_.show(window_, std::string("Rendering the stems of ") + name + "\u2026");
}

void stems_dialog::cancel() {
  if (!busy()) return;
  tasks_.cancel(task_kind::stems);
  progress_.hide();
}
