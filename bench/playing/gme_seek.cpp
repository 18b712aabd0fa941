// How long libgme takes to seek a song to a point, which it does by
// emulating up to it: what a click on the timeline's ruler would cost the
// playing thread before the first sound from there.
//   gme_seek FILE... [SECONDS]  (default 120)
// Prints, per file, the seek's wall time and that of playing as long.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gme/gme.h>

namespace {

double milliseconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  double seconds = 120;
  for (int i = 1; i < argc; ++i) {
    char* end = nullptr;
    const double value = std::strtod(argv[i], &end);
    if (end && *end == '\0' && value > 0)
      seconds = value;
    else
      files.emplace_back(argv[i]);
  }
  if (files.empty()) {
    std::fputs("usage: gme_seek FILE... [SECONDS]\n", stderr);
    return 2;
  }
  constexpr int rate = 32000;
  int failed = 0;
  for (const std::string& file : files) {
    Music_Emu* emu = nullptr;
    if (const char* error = gme_open_file(file.c_str(), &emu, rate)) {
      std::fprintf(stderr, "%s: %s\n", file.c_str(), error);
      ++failed;
      continue;
    }
    // As Quorlin's emulation layer plays: no automatic end, no silence detection.
    gme_set_autoload_playback_limit(emu, 0);
    gme_ignore_silence(emu, 1);
    gme_start_track(emu, 0);
    auto start = std::chrono::steady_clock::now();
    gme_seek(emu, static_cast<long>(seconds * 1000));
    const double seek_ms = milliseconds_since(start);
    gme_start_track(emu, 0);
    std::vector<short> buffer(2 * rate / 4);  // a quarter second, stereo
    start = std::chrono::steady_clock::now();
    for (double played = 0; played < seconds; played += 0.25)
      gme_play(emu, static_cast<int>(buffer.size()), buffer.data());
    const double play_ms = milliseconds_since(start);
    std::printf("%s\tseek to %.0f s: %.0f ms\tplaying %.0f s: %.0f ms\n", file.c_str(), seconds,
                seek_ms, seconds, play_ms);
    gme_delete(emu);
  }
  return failed ? 1 : 0;
}
