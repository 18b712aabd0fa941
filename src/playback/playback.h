// The playback engine: plays an SPC image through the emulation library
// (OSPC_Init/OSPC_Run) to the default libao device on a thread of its own.
// Nothing here touches GTK.
#pragma once

#include <memory>

#include "spc.h"

// Starts playing `spc` from its beginning on a thread of its own, after
// stopping any earlier playing thread. The thread keeps its own reference to
// the image. Main thread only.
void play_spc(std::shared_ptr<const spc_format> spc);

// Cancels the playing thread and waits (about a quarter of a second at most)
// for it to end; does nothing when no thread exists. Main thread only.
void stop_spc();
