// The render runs as a GTask on GLib's thread pool and owns nothing of GTK:
// it reads its job, publishes the share done in an atomic and posts it to
// the main loop, which alone touches the widgets. A job cancelled and
// dropped (a new load, the window closing) posts nothing that is shown.
#include "stems_dialog.h"

#include <atomic>
#include <vector>

#include "message_line.h"
#include "settings.h"
#include "stem_render.h"

namespace {

using progress_shown = void (*)(GCancellable* cancellable, double share, gpointer data);

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
  progress_shown show_progress;
  gpointer progress_data;
  std::atomic<int> permille{0};             // share done, in thousandths
  std::atomic<bool> progress_posted{false};  // one post waits on the main loop at most
  stems_outcome outcome;
};

gboolean on_progress_posted(gpointer data) noexcept {
  GTask* task = G_TASK(data);
  auto* job = static_cast<stems_job*>(g_task_get_task_data(task));
  job->progress_posted.store(false);
  job->show_progress(g_task_get_cancellable(task), job->permille.load() / 1000.0,
                     job->progress_data);
  return G_SOURCE_REMOVE;
}

// On a pool thread.
void render(GTask* task, gpointer, gpointer data, GCancellable* cancellable) noexcept {
  auto* job = static_cast<stems_job*>(data);
  cancel_flag cancel(cancellable);
  const stem_plan plan =
      plan_stems(job->spc, job->spc_path, song_length_of(*job->spc, std::nullopt), cancel.get());
  int posted = 0;
  job->outcome.result =
      write_stems({plan}, job->folder, job->force, cancel.get(), [&](double share) {
        const int permille = static_cast<int>(share * 1000);
        if (permille == posted) return;
        posted = permille;
        job->permille.store(permille);
        if (job->progress_posted.exchange(true)) return;
        g_main_context_invoke_full(g_task_get_context(task), G_PRIORITY_DEFAULT_IDLE,
                                   on_progress_posted, g_object_ref(task), g_object_unref);
      });
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

void stems_dialog::on_progress(GCancellable* cancellable, double share, gpointer self) noexcept {
  // Cancelled: dropped (the dialog may be gone) or interrupted (the bar goes).
  if (g_cancellable_is_cancelled(cancellable)) return;
  auto& dialog = *static_cast<stems_dialog*>(self);
  gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(dialog.widgets_.progress_bar), share);
}

void stems_dialog::on_rendered(GObject*, GAsyncResult* result, gpointer self) noexcept {
  auto& dialog = *static_cast<stems_dialog*>(self);
  if (!dialog.tasks_.delivered(result)) return;
  dialog.hide_progress();
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

void stems_dialog::hide_progress() {
  if (widgets_.progress_box) gtk_widget_hide(widgets_.progress_box);
}

// The bar and Cancel, packed once into the message line beside its text.
void stems_dialog::ensure_progress_widgets() {
  stems_dialog_widgets& w = widgets_;
  if (w.progress_box) return;
  const message_line_widgets* line = message_line_get_widgets(window_);
  if (!line) return;
  GtkWidget* info_bar = line->info_bar;
  w.progress_box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
  w.progress_bar = gtk_progress_bar_new();
  gtk_progress_bar_set_show_text(GTK_PROGRESS_BAR(w.progress_bar), TRUE);
  gtk_widget_set_valign(w.progress_bar, GTK_ALIGN_CENTER);
  gtk_widget_set_size_request(w.progress_bar, 200, -1);
  w.button_cancel = gtk_button_new_with_mnemonic("_Cancel");
  g_signal_connect(w.button_cancel, "clicked",
                   G_CALLBACK(+[](GtkButton*, gpointer tasks) noexcept {
                     static_cast<background_tasks*>(tasks)->interrupt(task_kind::stems);
                   }),
                   &tasks_);
  gtk_box_pack_start(GTK_BOX(w.progress_box), w.progress_bar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(w.progress_box), w.button_cancel, FALSE, FALSE, 0);
  gtk_widget_show_all(w.progress_box);
  gtk_widget_set_no_show_all(w.progress_box, TRUE);
  gtk_widget_hide(w.progress_box);
  GtkWidget* area = gtk_info_bar_get_content_area(GTK_INFO_BAR(info_bar));
  gtk_box_pack_end(GTK_BOX(area), w.progress_box, FALSE, FALSE, 0);
}

void stems_dialog::run(GtkWindow* parent, const std::shared_ptr<const spc_format>& spc,
                       const std::string& spc_path) {
  if (!spc) return;
  bool force = false;
  const std::string folder = choose_folder(parent, spc_path, force);
  if (folder.empty()) return;
  window_ = GTK_WIDGET(parent);
  ensure_progress_widgets();

  auto job = std::make_unique<stems_job>();
  job->spc = spc;
  job->spc_path = spc_path;
  job->folder = folder;
  job->force = force;
  job->show_progress = on_progress;
  job->progress_data = this;
  // Cancels a render still running: its result is dropped.
  stems_render_async(std::move(job), tasks_.start(task_kind::stems), on_rendered, this);
  g_autofree char* name = g_filename_display_basename(spc_path.c_str());
  message_line_show(window_, message_kind::info, std::string("Rendering the stems of ") + name + "\u2026");
  if (widgets_.progress_box) {
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(widgets_.progress_bar), 0.0);
    gtk_widget_show(widgets_.progress_box);
  }
}

void stems_dialog::cancel() {
  if (!busy()) return;
  tasks_.cancel(task_kind::stems);
  hide_progress();
}
