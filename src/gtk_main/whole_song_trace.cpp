// The job's data belongs to its task; the thread touches nothing else.

#include "whole_song_trace.h"

#include <utility>

#include "song_length.h"
#include "song_trace.h"

namespace {

using whole_ptr = std::shared_ptr<const whole_song_access>;

// On a pool thread: the image is the task's data.
void run_job(GTask* task, gpointer, gpointer data, GCancellable* cancellable) noexcept {
  const spc_format& image = *static_cast<const std::shared_ptr<const spc_format>*>(data)->get();
  cancel_flag cancel(cancellable);
  try {
    auto whole = std::make_shared<whole_song_access>();
    trace_options options;
    options.access = &whole->access;
    const double seconds = song_length_of(image, std::nullopt).seconds;
    const song_trace trace = trace_song(image, seconds, options, cancel.get());
    whole->free = free_ranges_of_song(image, trace, whole->access);
    whole->samples = trace.samples;
    if (trace.ended != trace_end::cancelled) {
      g_task_return_pointer(task, new whole_ptr(std::move(whole)),
                            [](gpointer p) { delete static_cast<whole_ptr*>(p); });
      return;
    }
  } catch (...) {
    // Out of memory: nothing lands, and the map goes on with the layout alone.
  }
  g_task_return_pointer(task, nullptr, nullptr);
}

}  // namespace

void whole_song_tracer::start(std::shared_ptr<const spc_format> image) {
  if (!image) {
    tasks_.cancel(task_kind::whole_song);
    return;
  }
  GTask* task = g_task_new(nullptr, tasks_.start(task_kind::whole_song), on_ready, this);
  g_task_set_task_data(task, new std::shared_ptr<const spc_format>(std::move(image)), [](gpointer p) {
    delete static_cast<std::shared_ptr<const spc_format>*>(p);
  });
  g_task_run_in_thread(task, run_job);
  g_object_unref(task);
}

// A cancelled or superseded trace is dropped: the tracer may be gone.
void whole_song_tracer::on_ready(GObject*, GAsyncResult* result, gpointer self) noexcept {
  auto& tracer = *static_cast<whole_song_tracer*>(self);
  if (!tracer.tasks_.delivered(result)) return;
  auto* whole = static_cast<whole_ptr*>(g_task_propagate_pointer(G_TASK(result), nullptr));
  if (!whole) return;
  whole_ptr landed = std::move(*whole);
  delete whole;
  tracer.landed_(std::move(landed));
}
