#include "song_follow.h"

#include <array>
#include <utility>

#include "inspector_pane.h"
#include "sample_table.h"
#include "song_play_text.h"
#include "song_trace_worker.h"

namespace {

struct song_follow_state {
  std::shared_ptr<const song_trace> trace;
};
song_follow_state follow;

}  // namespace

void song_follow_start(std::shared_ptr<const spc_format> image) {
  follow.trace.reset();
  sample_table_set_played(nullptr);
  inspector_pane_show_trace(nullptr);
  if (image)
    song_trace_worker_start(std::move(image), song_follow_show);
  else
    song_trace_worker_cancel();
}

void song_follow_show(std::shared_ptr<const song_trace> trace) {
  follow.trace = trace;
  if (!trace) {
    sample_table_set_played(nullptr);
    inspector_pane_show_trace(nullptr);
    return;
  }
  const std::array<bool, 256> played = played_sources(summarize_trace(*trace));
  sample_table_set_played(&played);
  inspector_pane_show_trace(std::move(trace));
}

std::shared_ptr<const song_trace> song_follow_trace() { return follow.trace; }

bool song_follow_running() { return song_trace_worker_running(); }

void song_follow_stop() { song_trace_worker_stop_all(); }
