// Each trace runs on a std::thread of its own with a job it shares with the
// main thread; the thread posts its job back with g_idle_add and the main
// loop hands the result on only if that job is still the latest. Cancelled
// threads are joined once they say they are done, so no start waits for one.

#include "song_trace_worker.h"

#include <glib.h>

#include <atomic>
#include <exception>
#include <thread>
#include <utility>
#include <vector>

namespace {

struct trace_job {
  std::shared_ptr<const spc_format> image;
  double seconds = 0;  // how long to follow the song
  song_trace_landed landed;
  std::atomic<bool> cancel{false};
  std::atomic<bool> done{false};
  std::shared_ptr<const song_trace> result;  // written by the thread before done
};

struct running_thread {
  std::thread thread;
  std::shared_ptr<trace_job> job;
};

struct worker_state {
  std::shared_ptr<trace_job> current;  // the job whose result may land
  std::vector<running_thread> threads;

  // Threads still running at exit are cancelled and joined: a joinable
  // std::thread destroyed would end the process.
  ~worker_state() { cancel_and_join_all(); }

  void cancel_and_join_all() {
    current.reset();
    for (running_thread& t : threads) t.job->cancel = true;
    for (running_thread& t : threads) t.thread.join();
    threads.clear();
  }

  void join_finished() {
    std::erase_if(threads, [](running_thread& t) {
      if (!t.job->done) return false;
      t.thread.join();
      return true;
    });
  }
};
worker_state worker;

void free_posted_job(gpointer data) { delete static_cast<std::shared_ptr<trace_job>*>(data); }

gboolean on_job_done(gpointer data) noexcept {
  const std::shared_ptr<trace_job> job = *static_cast<std::shared_ptr<trace_job>*>(data);
  worker.join_finished();
  if (job != worker.current || job->cancel || !job->result) return G_SOURCE_REMOVE;
  worker.current.reset();
  job->landed(job->result);
  return G_SOURCE_REMOVE;
}

// On the job's thread: nothing here touches GTK or the worker's state.
void run_job(std::shared_ptr<trace_job> job) noexcept {
  try {
    auto trace = std::make_shared<song_trace>(
        trace_song(*job->image, job->seconds, &job->cancel));
    job->result = std::move(trace);
  } catch (...) {
    // Out of memory: no trace lands, and the window goes on without one.
  }
  job->image.reset();
  g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, on_job_done, new std::shared_ptr<trace_job>(job),
                  free_posted_job);
  job->done = true;
}

}  // namespace

void song_trace_worker_start(std::shared_ptr<const spc_format> image, double seconds,
                             song_trace_landed landed) {
  song_trace_worker_cancel();
  worker.join_finished();
  if (!image) return;
  auto job = std::make_shared<trace_job>();
  job->image = std::move(image);
  job->seconds = seconds;
  job->landed = std::move(landed);
  try {
    // Room first, so that a thread once started always has its place.
    worker.threads.reserve(worker.threads.size() + 1);
    worker.threads.push_back({std::thread(run_job, job), job});
  } catch (const std::exception&) {
    return;  // no thread to be had: the window goes on without the trace
  }
  worker.current = std::move(job);
}

void song_trace_worker_cancel() {
  if (worker.current) worker.current->cancel = true;
  worker.current.reset();
}

bool song_trace_worker_running() { return worker.current != nullptr; }

void song_trace_worker_stop_all() { worker.cancel_and_join_all(); }
