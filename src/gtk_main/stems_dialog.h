// File > Export Stems…: a folder chooser (with "Replace existing files"),
// then the stems of the loaded file (stem_render.h) rendered as a job of
// the window's background_tasks, with a progress bar and Cancel in the
// message line meanwhile. The result is one line there. The window owns
// one stems_dialog. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "background_tasks.h"
#include "spc.h"
#include "task_progress.h"

// The progress bar and its Cancel button, in the message line; for tests.
using stems_dialog_widgets = task_progress_widgets;

class stems_dialog {
 public:
  // Renders run as jobs of `tasks`, which outlive this.
  explicit stems_dialog(background_tasks& tasks)
      : tasks_(tasks), progress_(tasks, task_kind::stems) {}

  // Asks for a folder, starting in the last export folder or else the
  // folder of `spc_path`, and starts writing the stems of `spc` there;
  // returns at once. A render already running is cancelled first. GTK main
  // thread only.
  void run(GtkWindow* parent, const std::shared_ptr<const spc_format>& spc,
           const std::string& spc_path);

  // Cancels a running render: it stops within one buffer, the file it was
  // rendering is not written, and its result is not shown. Does nothing
  // when none runs. GTK main thread only.
  void cancel();

  // Whether a render runs. GTK main thread only.
  bool busy() const { return tasks_.running(task_kind::stems); }

  // GTK main thread only.
  const stems_dialog_widgets& widgets() const { return progress_.widgets(); }

 private:
  static void on_rendered(GObject* source, GAsyncResult* result, gpointer self) noexcept;

  background_tasks& tasks_;
  GtkWidget* window_ = nullptr;  // the window whose message line shows the render
  task_progress progress_;
};

// Label of the chooser's check box, for tests.
inline constexpr const char* stems_force_label = "Replace existing files";
