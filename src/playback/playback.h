// The playback engine: plays an SPC image through the emulation library
// (OSPC_Init/OSPC_Run) to the default libao device on a thread of its own.
// Nothing here touches GTK.
#pragma once

#include <cstdint>
#include <memory>

#include "spc.h"

// What play_spc managed.
enum class play_result {
  playing,          // a thread plays to the sound device
  no_audio_device,  // "Error opening audio device.": a thread runs, but nothing is heard
  no_thread,        // "Unable to create thread.": nothing runs
};

// Starts playing `spc` from its beginning on a thread of its own, after
// stopping any earlier playing thread. The thread keeps its own reference to
// the image. Failures are also reported on stdout/stderr. Once a thread has
// started, the process stops and joins it on its way out of exit() too.
// Main thread only.
play_result play_spc(std::shared_ptr<const spc_format> spc);

// Cancels the playing thread and waits (about a quarter of a second at most)
// for it to end; does nothing when no thread exists. Main thread only.
void stop_spc();

// Called on the playing thread when its song ends by itself (not when it is
// stopped), after its last audio went to the device. It must not block and
// must not touch GTK: it may post to a main loop. Applies from the next
// play_spc on. Main thread only.
using song_end_notifier = void (*)(void* data);
void set_song_end_notifier(song_end_notifier notify, void* data);

// Whether the song of the last play_spc ended by itself (its thread may still
// wait to be joined by stop_spc). Main thread only.
bool spc_song_ended();

// Stereo frames the playing thread of the last play_spc has handed to the
// device so far (or, without a device, paced out in real time). Any thread.
std::uint64_t spc_frames_played();
