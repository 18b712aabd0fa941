// Following the song: after each load the trace runs off the main loop
// (song_trace_worker, a job of the window's background_tasks); when it lands
// the table dims the rows the song never plays (and can hide them), the
// status line counts the ones it plays, and the inspector pane shows what
// it plays of each entry, on the map and on the timeline. The window owns
// one song_follow. GTK main thread only.
#pragma once

#include <memory>
#include <string>

#include "background_tasks.h"
#include "inspector_pane.h"
#include "sample_table.h"
#include "song_trace.h"
#include "spc.h"

class song_follow {
 public:
  // Traces run as jobs of `tasks`; what they find shows in `table` and
  // `pane`. All three outlive this.
  song_follow(background_tasks& tasks, sample_table& table, inspector_pane& pane)
      : tasks_(tasks), table_(table), pane_(pane) {}

  // Forgets the song shown, cancels its trace, and starts following
  // `image`'s (null: none), read from `path`, the table and the pane holding
  // its rows already, for as long as song_length_of says (a tag claiming
  // more than an hour is warned of on standard error, naming `path`).
  // GTK main thread only.
  void start(std::shared_ptr<const spc_format> image, const std::string& path = {});

  // Shows `trace` as the loaded file's song: what a landed trace does, and
  // how tests hand the window a trace of their own. GTK main thread only.
  void show(std::shared_ptr<const song_trace> trace);

  // The song shown; null while it is followed or after a failed load. GTK
  // main thread only.
  std::shared_ptr<const song_trace> trace() const { return trace_; }

  // Whether a trace is still running for the loaded file. GTK main thread only.
  bool running() const { return tasks_.running(task_kind::trace); }

 private:
  static void on_trace_ready(GObject* source, GAsyncResult* result, gpointer self) noexcept;

  background_tasks& tasks_;
  sample_table& table_;
  inspector_pane& pane_;
  std::shared_ptr<const spc_format> image_;  // the loaded file's, whose song is followed
  std::shared_ptr<const song_trace> trace_;
};
