// "libgme alone": the smallest player that gets an SPC file to the sound
// device the way Quorlin does, without Quorlin. It renders with gme_play
// and writes through libao's default live driver with its default options,
// 0.25 s per write (8000 stereo frames at 32000 Hz, 16-bit).
//   gme_alone FILE SECONDS [driver=NAME] [KEY=VALUE...]
// driver= names a libao driver instead of the default one; any other
// KEY=VALUE is passed to it as a device option (buffer_time=60, ...).
// Plays FILE for SECONDS, then exits 0; the CPU it costs is measured from
// outside (scripts/measure-playing).
#include <ao/ao.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gme/gme.h>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: gme_alone FILE SECONDS [driver=NAME] [KEY=VALUE...]\n", stderr);
    return 2;
  }
  const double seconds = std::atof(argv[2]);
  constexpr int rate = 32000;
  Music_Emu* emu = nullptr;
  if (const char* error = gme_open_file(argv[1], &emu, rate)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error);
    return 1;
  }
  // Quorlin's emulation layer does the same: no automatic end, no silence
  // detection, so both play the same song for the same time.
  gme_set_autoload_playback_limit(emu, 0);
  gme_ignore_silence(emu, 1);
  gme_start_track(emu, 0);

  ao_initialize();
  ao_sample_format format{};
  format.bits = 16;
  format.rate = rate;
  format.channels = 2;
  format.byte_format = AO_FMT_LITTLE;
  int driver = ao_default_driver_id();
  ao_option* options = nullptr;
  for (int i = 3; i < argc; ++i) {
    const std::string option = argv[i];
    const auto equals = option.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = option.substr(0, equals);
    const std::string value = option.substr(equals + 1);
    if (key == "driver") {
      driver = ao_driver_id(value.c_str());
    } else {
      ao_append_option(&options, key.c_str(), value.c_str());
    }
  }
  ao_device* device = ao_open_live(driver, &format, options);
  ao_free_options(options);
  if (device == nullptr) {
    std::fputs("Error opening audio device.\n", stderr);
    return 1;
  }
  std::vector<short> pcm(16000);  // 0.25 s: 8000 frames of two channels
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    gme_play(emu, static_cast<int>(pcm.size()), pcm.data());
    ao_play(device, reinterpret_cast<char*>(pcm.data()),
            static_cast<uint_32>(pcm.size() * sizeof(short)));
  }
  ao_close(device);
  ao_shutdown();
  gme_delete(emu);
  return 0;
}
