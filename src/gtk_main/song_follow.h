// Following the song: after each load the trace runs off the main loop
// (song_trace_worker); when it lands the table dims the rows the song never
// plays (and can hide them), the status line counts the ones it plays, and
// the inspector pane shows what it plays of each entry, on the map and on
// the timeline. GTK main thread only.
#pragma once

#include <memory>
#include <string>

#include "song_trace.h"
#include "spc.h"

// Forgets the song shown and starts following `image`'s (null: none), read
// from `path`, the table and the pane holding its rows already, for as long
// as song_length_of says (a tag claiming more than an hour is warned of on
// standard error, naming `path`). GTK main thread only.
void song_follow_start(std::shared_ptr<const spc_format> image, const std::string& path = {});

// Shows `trace` as the loaded file's song: what a landed trace does, and
// how tests hand the window a trace of their own. GTK main thread only.
void song_follow_show(std::shared_ptr<const song_trace> trace);

// The song shown; null while it is followed or after a failed load. GTK
// main thread only.
std::shared_ptr<const song_trace> song_follow_trace();

// Whether a trace is still running for the loaded file. GTK main thread only.
bool song_follow_running();

// Stops following, and joins the tracing threads: for the way out. GTK main
// thread only.
void song_follow_stop();
