// What the playback engine lets its callers see of its state, beyond
// play_spc/stop_spc in spc.h.
#pragma once

// Whether a playing thread was started and not yet joined by stop_spc (or by
// the stop inside play_spc); stays true after the song ended by itself.
// Main thread only.
bool spc_thread_exists();
