// Each trace runs on a std::thread of its own with a job it shares with the
// main thread; the thread posts its job back with g_idle_add, and the main
// loop hands the result on only if that job is still its owner's latest.
// The owner's end clears every job's owner before joining, so a post that
// comes later finds none.

#include "whole_song_trace.h"

#include <glib.h>

#include <atomic>
#include <exception>
#include <thread>
#include <utility>

#include "song_length.h"
#include "song_trace.h"

struct whole_song_tracer::job {
  std::shared_ptr<const spc_format> image;
  whole_song_tracer* owner = nullptr;  // main thread only; null once the owner is gone
  std::atomic<bool> cancel{false};
  std::atomic<bool> done{false};
  std::shared_ptr<const whole_song_access> result;  // written by the thread before done
  std::thread thread;
};

namespace {

using job_ptr = std::shared_ptr<whole_song_tracer::job>;

void free_posted_job(gpointer data) { delete static_cast<job_ptr*>(data); }

// On the job's thread: nothing here touches GTK or the owner.
void run_job(job_ptr job) noexcept {
  try {
    auto whole = std::make_shared<whole_song_access>();
    trace_options options;
    options.access = &whole->access;
    const double seconds = song_length_of(*job->image, std::nullopt).seconds;
    const song_trace trace = trace_song(*job->image, seconds, options, &job->cancel);
    whole->free = free_ranges_of_song(*job->image, trace, whole->access);
    whole->samples = trace.samples;
    if (trace.ended != trace_end::cancelled) job->result = std::move(whole);
  } catch (...) {
    // Out of memory: nothing lands, and the map goes on with the layout alone.
  }
  job->image.reset();
}

}  // namespace

whole_song_tracer::whole_song_tracer(whole_song_landed landed) : landed_(std::move(landed)) {}

whole_song_tracer::~whole_song_tracer() {
  for (const job_ptr& j : jobs_) {
    j->owner = nullptr;
    j->cancel = true;
  }
  for (const job_ptr& j : jobs_) j->thread.join();
}

void whole_song_tracer::start(std::shared_ptr<const spc_format> image) {
  if (current_) current_->cancel = true;
  current_.reset();
  join_finished();
  if (!image) return;
  auto j = std::make_shared<job>();
  j->image = std::move(image);
  j->owner = this;
  try {
    jobs_.reserve(jobs_.size() + 1);  // room first: a started thread always has its place
    j->thread = std::thread([j] {
      run_job(j);
      g_idle_add_full(G_PRIORITY_DEFAULT_IDLE,
                      [](gpointer data) noexcept -> gboolean {
                        const job_ptr& done = *static_cast<job_ptr*>(data);
                        whole_song_tracer* owner = done->owner;
                        if (!owner) return G_SOURCE_REMOVE;
                        owner->join_finished();
                        if (done == owner->current_ && done->result) {
                          owner->current_.reset();
                          owner->landed_(done->result);
                        }
                        return G_SOURCE_REMOVE;
                      },
                      new job_ptr(j), free_posted_job);
      j->done = true;
    });
  } catch (const std::exception&) {
    return;  // no thread to be had: the map goes on with the layout alone
  }
  jobs_.push_back(j);
  current_ = std::move(j);
}

bool whole_song_tracer::running() const { return current_ != nullptr; }

void whole_song_tracer::join_finished() {
  std::erase_if(jobs_, [](const job_ptr& j) {
    if (!j->done) return false;
    j->thread.join();
    return true;
  });
}
