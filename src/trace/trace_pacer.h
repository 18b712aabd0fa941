// A trace that keeps pace with something else (the song as it is heard):
// the trace asks its pacer, between slices of its run, how far it may go.
// The pacer runs on the trace's thread and may block there.
#pragma once

#include <cstdint>

class dsp_register_file;

class trace_pacer {
 public:
  virtual ~trace_pacer() = default;
  // The trace has run to CPU cycle `cycle` (32 to a DSP sample); `dsp` is
  // its DSP, caught up to within half a millisecond. Returns the cycle the
  // next slice may run to: past `cycle`, or anything once the trace's cancel
  // flag is up (the trace then ends). The trace's thread.
  virtual std::int64_t reached(std::int64_t cycle, const dsp_register_file& dsp) = 0;
};
