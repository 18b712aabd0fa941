// The job's data belongs to its task; the thread touches nothing else.

#include "song_trace_worker.h"

#include <utility>

#include "background_tasks.h"

namespace {

struct trace_job {
  std::shared_ptr<const spc_format> image;
  double seconds = 0;  // how long to follow the song
};

using trace_ptr = std::shared_ptr<const song_trace>;

// On a pool thread.
void run_job(GTask* task, gpointer, gpointer data, GCancellable* cancellable) noexcept {
  auto* job = static_cast<trace_job*>(data);
  cancel_flag cancel(cancellable);
  try {
    auto trace = std::make_shared<song_trace>(trace_song(*job->image, job->seconds, cancel.get()));
    if (!cancel.get()->load()) {
      g_task_return_pointer(task, new trace_ptr(std::move(trace)),
                            [](gpointer p) { delete static_cast<trace_ptr*>(p); });
      return;
    }
  } catch (...) {
    // Out of memory: no trace lands, and the window goes on without one.
  }
  g_task_return_pointer(task, nullptr, nullptr);
}

}  // namespace

void song_trace_async(std::shared_ptr<const spc_format> image, double seconds,
                      GCancellable* cancellable, GAsyncReadyCallback callback,
                      gpointer user_data) {
  GTask* task = g_task_new(nullptr, cancellable, callback, user_data);
  g_task_set_task_data(task, new trace_job{std::move(image), seconds},
                       [](gpointer p) { delete static_cast<trace_job*>(p); });
  g_task_run_in_thread(task, run_job);
  g_object_unref(task);
}

std::shared_ptr<const song_trace> song_trace_finish(GAsyncResult* result) {
  auto* trace = static_cast<trace_ptr*>(g_task_propagate_pointer(G_TASK(result), nullptr));
  if (!trace) return nullptr;
  trace_ptr landed = std::move(*trace);
  delete trace;
  return landed;
}
