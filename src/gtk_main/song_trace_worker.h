// The song's trace as a job off the main loop: trace_song over the song's
// length, run as a GTask on GLib's thread pool and cancelled through its
// GCancellable (which raises the trace's own cancel flag). The window never
// waits for a trace.
#pragma once

#include <gio/gio.h>

#include <memory>

#include "song_trace.h"
#include "spc.h"

// Traces `image` for `seconds` (its song_length_of) on a pool thread;
// `callback` gets the result on the main loop, cancelled or not.
// GTK main thread only.
void song_trace_async(std::shared_ptr<const spc_format> image, double seconds,
                      GCancellable* cancellable, GAsyncReadyCallback callback,
                      gpointer user_data);

// The trace `result` carries; null when it was cancelled or there was no
// room for it. GTK main thread only.
std::shared_ptr<const song_trace> song_trace_finish(GAsyncResult* result);
