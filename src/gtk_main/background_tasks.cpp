// A GTask always calls its ready callback on the main loop, cancelled or
// not: counting those calls is how the window knows no job can touch it
// any more.

#include "background_tasks.h"

namespace {

std::size_t index_of(task_kind kind) { return static_cast<std::size_t>(kind); }

}  // namespace

background_tasks::~background_tasks() {
  cancel_all_and_wait();
  for (GCancellable*& cancellable : current_) g_clear_object(&cancellable);
}

GCancellable* background_tasks::start(task_kind kind) {
  GCancellable*& current = current_[index_of(kind)];
  if (current) {
    g_cancellable_cancel(current);
    g_object_unref(current);
  }
  current = g_cancellable_new();
  pending_[index_of(kind)] = true;
  ++in_flight_;
  return current;
}

bool background_tasks::delivered(GAsyncResult* result) {
  --in_flight_;
  GCancellable* cancellable = g_task_get_cancellable(G_TASK(result));
  for (std::size_t kind = 0; kind < kind_count; ++kind) {
    if (current_[kind] != cancellable) continue;
    const bool wanted = pending_[kind];
    pending_[kind] = false;
    return wanted;
  }
  return false;  // superseded by a later job of its kind
}

void background_tasks::cancel(task_kind kind) {
  if (GCancellable* current = current_[index_of(kind)]) g_cancellable_cancel(current);
  pending_[index_of(kind)] = false;
}

void background_tasks::interrupt(task_kind kind) {
  if (GCancellable* current = current_[index_of(kind)]) g_cancellable_cancel(current);
}

bool background_tasks::running(task_kind kind) const { return pending_[index_of(kind)]; }

void background_tasks::cancel_all_and_wait() {
  for (std::size_t kind = 0; kind < kind_count; ++kind) cancel(static_cast<task_kind>(kind));
  while (in_flight_ > 0) g_main_context_iteration(nullptr, TRUE);
}

cancel_flag::cancel_flag(GCancellable* cancellable) : cancellable_(cancellable) {
  // Runs at once when already cancelled, else on the thread that cancels.
  handler_ = g_cancellable_connect(
      cancellable_,
      G_CALLBACK(+[](GCancellable*, gpointer flag) noexcept {
        static_cast<std::atomic<bool>*>(flag)->store(true);
      }),
      &raised_, nullptr);
}

// Waits for a cancel handler running on another thread to return.
cancel_flag::~cancel_flag() { g_cancellable_disconnect(cancellable_, handler_); }
