// The render thread owns nothing of GTK: it reads its job, publishes the
// share done in atomics and posts to the main loop, which alone touches
// the widgets and joins the thread. Posts of a job that is no longer the
// current one (cancelled by a new load) are ignored.
#include "stems_dialog.h"

#include <atomic>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <vector>

#include "message_line.h"
#include "settings.h"
#include "stem_render.h"

namespace {

struct stems_job {
  std::shared_ptr<const spc_format> spc;
  std::string spc_path;
  std::string folder;
  bool force = false;
  std::atomic<bool> cancel{false};
  std::atomic<int> permille{0};  // share done, in thousandths
  // Written by the thread before it posts its end:
  stems_result result;
  std::vector<int> skipped;  // voices without a file: never keyed on and silent
};

struct stems_dialog_state {
  stems_dialog_widgets widgets{};
  std::shared_ptr<stems_job> job;  // the running one
  std::thread worker;
  bool joins_at_exit = false;
};
stems_dialog_state stems;

using job_ref = std::shared_ptr<stems_job>;

// Main loop sources carry their own reference to the job.
void post(GSourceFunc function, const job_ref& job) {
  g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, function, new job_ref(job),
                  [](gpointer data) { delete static_cast<job_ref*>(data); });
}

const job_ref& job_of(gpointer data) { return *static_cast<job_ref*>(data); }

gboolean on_progress(gpointer data) noexcept {
  const job_ref& job = job_of(data);
  if (job == stems.job)
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(stems.widgets.progress_bar),
                                  job->permille.load() / 1000.0);
  return G_SOURCE_REMOVE;
}

void join_worker() {
  if (stems.worker.joinable()) stems.worker.join();
}

void hide_progress() {
  if (stems.widgets.progress_box) gtk_widget_hide(stems.widgets.progress_box);
}

gboolean on_done(gpointer data) noexcept {
  const job_ref job = job_of(data);
  if (job != stems.job) return G_SOURCE_REMOVE;
  join_worker();
  stems.job.reset();
  hide_progress();
  const stems_result& result = job->result;
  const std::string not_saved = settings_remember_export_folder(job->folder);
  std::string text = result.summary();
  if (result.ok && !result.cancelled && !job->skipped.empty()) {
    std::string voices;
    for (int voice : job->skipped) voices += (voices.empty() ? "" : ", ") + std::to_string(voice);
    text += (job->skipped.size() == 1 ? "; voice " : "; voices ") + voices +
            " never keyed on and silent, left out";
  }
  if (!not_saved.empty()) text += " (" + not_saved + ")";
  if (result.ok && result.files_failed.empty() && not_saved.empty()) {
    message_line_show(message_kind::info, text);
  } else {
    message_line_report(text);
  }
  return G_SOURCE_REMOVE;
}

void render(job_ref job) {
  const stem_plan plan =
      plan_stems(job->spc, job->spc_path, song_length_of(*job->spc, std::nullopt), &job->cancel);
  int posted = 0;
  job->result = write_stems({plan}, job->folder, job->force, &job->cancel, [&](double share) {
    const int permille = static_cast<int>(share * 1000);
    if (permille == posted) return;
    posted = permille;
    job->permille.store(permille);
    post(on_progress, job);
  });
  job->skipped = plan.skipped;
  post(on_done, job);
}

// A thread left running when the process ends would be destroyed joinable.
void cancel_at_exit() {
  if (stems.job) stems.job->cancel.store(true);
  join_worker();
}

void on_cancel_clicked(GtkButton*, gpointer) noexcept {
  if (stems.job) stems.job->cancel.store(true);
}

// The bar and Cancel, packed once into the message line beside its text.
void ensure_progress_widgets() {
  stems_dialog_widgets& w = stems.widgets;
  if (w.progress_box) return;
  GtkWidget* info_bar = message_line_get_widgets().info_bar;
  if (!info_bar) return;
  w.progress_box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
  w.progress_bar = gtk_progress_bar_new();
  gtk_progress_bar_set_show_text(GTK_PROGRESS_BAR(w.progress_bar), TRUE);
  gtk_widget_set_valign(w.progress_bar, GTK_ALIGN_CENTER);
  gtk_widget_set_size_request(w.progress_bar, 200, -1);
  w.button_cancel = gtk_button_new_with_mnemonic("_Cancel");
  g_signal_connect(w.button_cancel, "clicked", G_CALLBACK(on_cancel_clicked), nullptr);
  gtk_box_pack_start(GTK_BOX(w.progress_box), w.progress_bar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(w.progress_box), w.button_cancel, FALSE, FALSE, 0);
  gtk_widget_show_all(w.progress_box);
  gtk_widget_set_no_show_all(w.progress_box, TRUE);
  gtk_widget_hide(w.progress_box);
  GtkWidget* area = gtk_info_bar_get_content_area(GTK_INFO_BAR(info_bar));
  gtk_box_pack_end(GTK_BOX(area), w.progress_box, FALSE, FALSE, 0);
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

void stems_dialog_run(GtkWindow* parent, const std::shared_ptr<const spc_format>& spc,
                      const std::string& spc_path) {
  if (!spc) return;
  bool force = false;
  const std::string folder = choose_folder(parent, spc_path, force);
  if (folder.empty()) return;
  stems_dialog_cancel();
  ensure_progress_widgets();

  auto job = std::make_shared<stems_job>();
  job->spc = spc;
  job->spc_path = spc_path;
  job->folder = folder;
  job->force = force;
  if (!stems.joins_at_exit) stems.joins_at_exit = std::atexit(cancel_at_exit) == 0;
  try {
    stems.worker = std::thread(render, job);
  } catch (const std::system_error&) {
    message_line_report("Unable to create thread.");
    return;
  }
  stems.job = job;
  g_autofree char* name = g_filename_display_basename(spc_path.c_str());
  message_line_show(message_kind::info, std::string("Rendering the stems of ") + name + "\u2026");
  if (stems.widgets.progress_box) {
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(stems.widgets.progress_bar), 0.0);
    gtk_widget_show(stems.widgets.progress_box);
  }
}

void stems_dialog_cancel() {
  if (!stems.job) return;
  stems.job->cancel.store(true);
  join_worker();
  stems.job.reset();
  hide_progress();
}

bool stems_dialog_busy() { return stems.job != nullptr; }

const stems_dialog_widgets& stems_dialog_get_widgets() { return stems.widgets; }
