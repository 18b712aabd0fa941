// A job's progress bar and its Cancel button, beside the message line's
// text while a job of one kind of the window's background_tasks runs
// (Export Stems…, the exports of samples, kit and MIDI). Cancel interrupts
// the job, which still delivers what it did. The job's thread hands its
// share done over through progress_share. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <atomic>
#include <string>

#include "background_tasks.h"

// The bar and its Cancel button, in the message line; for tests.
struct task_progress_widgets {
  GtkWidget* progress_box;
  GtkWidget* progress_bar;
  GtkWidget* button_cancel;
};

class task_progress {
 public:
  // Cancel interrupts the job of `kind` in `tasks`, which outlive this.
  task_progress(background_tasks& tasks, task_kind kind) : tasks_(tasks), kind_(kind) {}

  // Shows `text` in the message line of `window` (the same window each
  // time) with the bar at 0 beside it. GTK main thread only.
  void show(GtkWidget* window, const std::string& text);
  // Moves the bar. GTK main thread only.
  void set_share(double share);
  // Takes the bar and Cancel away. GTK main thread only.
  void hide();

  // Empty until first shown. GTK main thread only.
  const task_progress_widgets& widgets() const { return widgets_; }

 private:
  void ensure_widgets(GtkWidget* window);

  background_tasks& tasks_;
  task_kind kind_;
  task_progress_widgets widgets_{};
};

// The share of a job done, posted from its thread to the main loop with at
// most one post waiting there, and shown on `progress` unless the job was
// cancelled by then (a cancelled job's progress may be gone). Lives in the
// job's data, as long as its GTask.
class progress_share {
 public:
  explicit progress_share(task_progress* progress) : progress_(progress) {}
  progress_share(const progress_share&) = delete;
  progress_share& operator=(const progress_share&) = delete;

  // Posts `share` (0 ... 1) of `task` when it moved a thousandth. Any thread.
  void post(GTask* task, double share);

 private:
  static gboolean deliver(gpointer data) noexcept;

  task_progress* progress_;  // the window's; null: nothing shown
  std::atomic<int> permille_{0};
  std::atomic<bool> waiting_{false};
};
