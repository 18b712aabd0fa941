#include "task_progress.h"

#include "message_line.h"

void task_progress::show(GtkWidget* window, const std::string& text) {
  ensure_widgets(window);
  message_line_show(window, message_kind::info, text);
  if (!widgets_.progress_box) return;
  gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(widgets_.progress_bar), 0.0);
  gtk_widget_show(widgets_.progress_box);
}

void task_progress::set_share(double share) {
  if (widgets_.progress_bar)
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(widgets_.progress_bar), share);
}

void task_progress::hide() {
  if (widgets_.progress_box) gtk_widget_hide(widgets_.progress_box);
}

// Packed once into the message line, beside its text.
void task_progress::ensure_widgets(GtkWidget* window) {
  task_progress_widgets& w = widgets_;
  if (w.progress_box) return;
  const message_line_widgets* line = message_line_get_widgets(window);
  if (!line) return;
  GtkWidget* info_bar = line->info_bar;
  w.progress_box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
  w.progress_bar = gtk_progress_bar_new();
  gtk_progress_bar_set_show_text(GTK_PROGRESS_BAR(w.progress_bar), TRUE);
  gtk_widget_set_valign(w.progress_bar, GTK_ALIGN_CENTER);
  gtk_widget_set_size_request(w.progress_bar, 200, -1);
  w.button_cancel = gtk_button_new_with_mnemonic("_Cancel");
  g_signal_connect(w.button_cancel, "clicked",
                   G_CALLBACK(+[](GtkButton*, gpointer self) noexcept {
                     auto& progress = *static_cast<task_progress*>(self);
                     progress.tasks_.interrupt(progress.kind_);
                   }),
                   this);
  gtk_box_pack_start(GTK_BOX(w.progress_box), w.progress_bar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(w.progress_box), w.button_cancel, FALSE, FALSE, 0);
  gtk_widget_show_all(w.progress_box);
  gtk_widget_set_no_show_all(w.progress_box, TRUE);
  gtk_widget_hide(w.progress_box);
  GtkWidget* area = gtk_info_bar_get_content_area(GTK_INFO_BAR(info_bar));
  gtk_box_pack_end(GTK_BOX(area), w.progress_box, FALSE, FALSE, 0);
}

namespace {

// One post: the task held until it has run.
struct share_post {
  GTask* task;
  progress_share* share;
};

}  // namespace

void progress_share::post(GTask* task, double share) {
  const int permille = static_cast<int>(share * 1000);
  if (permille_.exchange(permille) == permille || waiting_.exchange(true)) return;
  g_main_context_invoke_full(g_task_get_context(task), G_PRIORITY_DEFAULT_IDLE, deliver,
                             new share_post{G_TASK(g_object_ref(task)), this}, [](gpointer data) {
                               auto* post = static_cast<share_post*>(data);
                               g_object_unref(post->task);
                               delete post;
                             });
}

gboolean progress_share::deliver(gpointer data) noexcept {
  const auto* post = static_cast<share_post*>(data);
  progress_share& share = *post->share;
  share.waiting_.store(false);
  if (share.progress_ && !g_cancellable_is_cancelled(g_task_get_cancellable(post->task)))
    share.progress_->set_share(share.permille_.load() / 1000.0);
  return G_SOURCE_REMOVE;
}
