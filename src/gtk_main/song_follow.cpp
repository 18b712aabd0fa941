#include "song_follow.h"

#include <glib.h>

#include <array>
#include <utility>

#include "inspector_pane.h"
#include "sample_table.h"
#include "song_length.h"
#include "song_play_text.h"
#include "song_trace_worker.h"

void song_follow::start(std::shared_ptr<const spc_format> image, const std::string& path) {
  trace_.reset();
  image_ = image;
  sample_table_set_played(table_, nullptr);
  inspector_pane_show_trace(pane_, nullptr, {});
  if (!image) {
    tasks_.cancel(task_kind::trace);
    return;
  }
  const song_length length = song_length_of(*image, std::nullopt);
  if (const std::string warning = length.warning(path); !warning.empty())
    g_printerr("quorlin: %s\n", warning.c_str());
  song_trace_async(std::move(image), length.seconds, tasks_.start(task_kind::trace),
                   on_trace_ready, this);
}

// A cancelled trace (a later load, the window closing) is dropped. The
// window lets go of its song_follow only after every job has delivered.
void song_follow::on_trace_ready(GObject*, GAsyncResult* result, gpointer self) noexcept {
  auto& follow = *static_cast<song_follow*>(self);
  if (!follow.tasks_.delivered(result)) return;
  if (std::shared_ptr<const song_trace> trace = song_trace_finish(result))
    follow.show(std::move(trace));
}

void song_follow::show(std::shared_ptr<const song_trace> trace) {
  trace_ = trace;
  if (!trace || !image_) {
    sample_table_set_played(table_, nullptr);
    inspector_pane_show_trace(pane_, nullptr, {});
    return;
  }
  // A key-on counts for an entry only if that entry then started where the
  // snapshot's does: a driver that rewrites its directory plays other samples.
  const std::array<sample_play, 256> plays = summarize_trace(*trace, *image_);
  const std::array<bool, 256> played = played_sources(plays);
  sample_table_set_played(table_, &played);
  inspector_pane_show_trace(pane_, std::move(trace), plays);
}
