// The song's trace, run off the main loop: one thread per loaded file runs
// trace_song over the song's length; a later start or a cancel raises the
// earlier thread's cancel flag, and its result is dropped. The window never
// waits for a trace. Main thread only.
#pragma once

#include <functional>
#include <memory>

#include "song_trace.h"
#include "spc.h"

// Called on the main loop with the finished trace of the latest start.
using song_trace_landed = std::function<void(std::shared_ptr<const song_trace> trace)>;

// Cancels any trace still running and traces `image` for `seconds` (its
// song_length_of) on a thread of its own; `landed` is called on the
// main loop when it is done, unless a start or cancel came first. Main
// thread only.
void song_trace_worker_start(std::shared_ptr<const spc_format> image, double seconds,
                             song_trace_landed landed);

// Cancels the running trace, if any: its result will not land. Main thread only.
void song_trace_worker_cancel();

// Whether the latest start's trace has yet to land. Main thread only.
bool song_trace_worker_running();

// Cancels every trace and joins every thread, for the way out (also done
// when the process exits). Main thread only.
void song_trace_worker_stop_all();
