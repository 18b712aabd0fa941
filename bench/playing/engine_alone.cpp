// Quorlin's playback engine without the window: spc_player::play on FILE,
// then SECONDS later stop, as the Play and Stop buttons do. What it costs is
// what playing costs the program (the idle window adds nothing measurable).
//   engine_alone FILE SECONDS
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "playback.h"
#include "spc.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: engine_alone FILE SECONDS\n", stderr);
    return 2;
  }
  std::shared_ptr<const spc_format> image = read_spc_from_file(argv[1]);
  if (!image) return 1;
  spc_player player;
  player.play(image);
  std::this_thread::sleep_for(std::chrono::duration<double>(std::atof(argv[2])));
  player.stop();
  return 0;
}
