// Plays a song and quits while it plays, one way per run, then leaves main
// as the program does (static destruction included):
//   quit_while_playing engine|menu|ctrl-q|close FILE.spc
// engine: the engine alone, returning from main mid-song; the others: the
// real window, quit through File > Quit, Ctrl+Q or closing it. Exits 0 when
// all went well, 77 without a display, anything else (or a signal) when not.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "audio_harness.h"
#include "gui_input.h"
#include "gui_support.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "play_button.h"
#include "playback.h"

namespace {

// A sound device that takes audio as fast as it comes: the thread is always
// inside the emulator or the device when the quit comes.
constexpr const char* null_device_config = "default_driver=null\n";

// Runs after main returned and its player stopped, before static
// destruction frees the emulator.
void check_thread_gone_at_exit() {
  if (!wait_until([] { return threads_named(playback_thread_name) == 0; }, 1.0)) {
    std::fputs("the playing thread outlived main\n", stderr);
    std::_Exit(6);
  }
}

// Returns with the thread inside the emulator or the device, not before it
// runs: the player's owner (main) stops it on its way out.
int play_and_return(spc_player& player, const char* file) {
  std::shared_ptr<const spc_format> song = read_spc_from_file(file);
  if (!song) return 2;
  std::atexit(check_thread_gone_at_exit);
  player.play(song);
  if (!wait_until([&] { return player.frames_played() > 0; }, 5.0)) return 3;
  return player.thread_exists() ? 0 : 3;
}

QuorlinPlayer* window_player() { return play_button_player(main_window_play_button(gui_window())); }

gboolean quit_somehow(gpointer data) noexcept {
  const std::string how = static_cast<const char*>(data);
  const main_window_widgets& w = main_window_get_widgets(gui_window());
  if (how == "menu") {
    gtk_menu_item_activate(GTK_MENU_ITEM(w.menu_file_quit));
  } else if (how == "ctrl-q") {
    gui_key(GDK_KEY_q, GDK_CONTROL_MASK);
  } else {
    gtk_window_close(GTK_WINDOW(w.window));
  }
  return G_SOURCE_REMOVE;
}

// Quits once the playing thread has handed the device some of the song.
gboolean quit_once_playing(gpointer how) noexcept {
  if (quorlin_player_get_position(window_player()) == 0) return G_SOURCE_CONTINUE;
  return quit_somehow(how);
}

gboolean give_up(gpointer) noexcept {
  std::fputs("the quit did not end the main loop\n", stderr);
  std::_Exit(4);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: quit_while_playing engine|menu|ctrl-q|close FILE.spc\n", stderr);
    return 2;
  }
  use_libao_config(null_device_config);
  if (std::strcmp(argv[1], "engine") == 0) {
    spc_player player;
    return play_and_return(player, argv[2]);
  }

  if (!gtk_init_check(&argc, &argv)) return 77;
  gui_window();
  if (!main_window_load_file(gui_window(), argv[2])) return 2;
  gui_focus_window();
  gtk_button_clicked(GTK_BUTTON(main_window_get_widgets(gui_window()).button_play));
  if (gui_text(main_window_get_widgets(gui_window()).button_play) != "Stop") return 3;
  g_timeout_add(5, quit_once_playing, argv[1]);
  g_timeout_add(10000, give_up, nullptr);
  gtk_main();
  // The song stopped with the loop: nothing is left to race static destruction.
  return quorlin_player_thread_exists(window_player()) ? 5 : 0;
}
