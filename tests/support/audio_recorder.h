// Records what a PulseAudio sink plays, through `parec` on its monitor
// source, as 16-bit stereo at 32000 Hz. Main thread only.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

class audio_recorder {
 public:
  // Starts `parec` on `<sink>.monitor`, writing raw samples to `file`.
  audio_recorder(const std::string& sink, std::string file);
  // Whether `parec` is on the PATH.
  static bool available();
  ~audio_recorder();  // stops parec if still running
  audio_recorder(const audio_recorder&) = delete;
  audio_recorder& operator=(const audio_recorder&) = delete;

  bool started() const { return pid_ > 0; }
  // Waits (at most `seconds`) for the first recorded data: parec connects,
  // and the monitor only delivers while the sink is running.
  bool wait_for_data(double seconds) const;
  // Waits until parec has recorded `seconds` more of the sink than so far
  // (at most that and five seconds): the sink has played on that long.
  bool wait_for_more(double seconds) const;
  // Stops parec (by its PID; SIGKILL after 2 s) and returns the interleaved
  // samples recorded.
  std::vector<short> stop();

 private:
  std::string file_;
  pid_t pid_ = -1;
};
