#include "song_follow.h"

#include <glib.h>

#include <array>
#include <utility>

#include "inspector_pane.h"
#include "sample_table.h"
#include "song_length.h"
#include "song_play_text.h"
#include "song_trace_worker.h"

namespace {

struct song_follow_state {
  std::shared_ptr<const spc_format> image;  // the loaded file's, whose song is followed
  std::shared_ptr<const song_trace> trace;
};
song_follow_state follow;

}  // namespace

void song_follow_start(std::shared_ptr<const spc_format> image, const std::string& path) {
  follow.trace.reset();
  follow.image = image;
  sample_table_set_played(nullptr);
  inspector_pane_show_trace(nullptr, {});
  if (!image) {
    song_trace_worker_cancel();
    return;
  }
  const song_length length = song_length_of(*image, std::nullopt);
  if (const std::string warning = length.warning(path); !warning.empty())
    g_printerr("quorlin: %s\n", warning.c_str());
  song_trace_worker_start(std::move(image), length.seconds, song_follow_show);
}

void song_follow_show(std::shared_ptr<const song_trace> trace) {
  follow.trace = trace;
  if (!trace || !follow.image) {
    sample_table_set_played(nullptr);
    inspector_pane_show_trace(nullptr, {});
    return;
  }
  // A key-on counts for an entry only if that entry then started where the
  // snapshot's does: a driver that rewrites its directory plays other samples.
  const std::array<sample_play, 256> plays = summarize_trace(*trace, *follow.image);
  const std::array<bool, 256> played = played_sources(plays);
  sample_table_set_played(&played);
  inspector_pane_show_trace(std::move(trace), plays);
}

std::shared_ptr<const song_trace> song_follow_trace() { return follow.trace; }

bool song_follow_running() { return song_trace_worker_running(); }

void song_follow_stop() { song_trace_worker_stop_all(); }
