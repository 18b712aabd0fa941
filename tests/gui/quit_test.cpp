// Quitting while a song plays: the playing thread must be stopped and joined
// before the process tears down the emulator under it. Each way of quitting
// runs a separate program many times, since a race shows only sometimes.
#include <gtest/gtest.h>
#include <glib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "spc_builder.h"

namespace {

constexpr int runs_per_way = 10;

// Runs `argv` (null-terminated) to its end: "" when it exited 0, else how it
// ended and what it printed on standard error; "skip" without a display.
std::string run_to_end(std::vector<char*> argv) {
  g_autofree char* out = nullptr;
  g_autofree char* err = nullptr;
  int status = 0;
  g_autoptr(GError) error = nullptr;
  if (!g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, &out,
                    &err, &status, &error))
    return error->message;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77) return "skip";
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return "";
  return (WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status))
                              : "exit status " + std::to_string(WEXITSTATUS(status))) +
         "\n" + err;
}

class QuitWhilePlayingTest : public testing::TestWithParam<const char*> {
 protected:
  temp_dir dir;
};

TEST_P(QuitWhilePlayingTest, EndsCleanlyEveryTime) {
  const std::string song = spc_builder().square_wave_tone().write_to(dir.path(), "tone.spc");
  for (int run = 0; run < runs_per_way; ++run) {
    std::vector<char*> argv = {const_cast<char*>(QUORLIN_QUIT_WHILE_PLAYING),
                               const_cast<char*>(GetParam()), const_cast<char*>(song.c_str()),
                               nullptr};
    const std::string ended = run_to_end(argv);
    if (ended == "skip") GTEST_SKIP() << "no display";
    ASSERT_EQ(ended, "") << GetParam() << ", run " << run;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryWay, QuitWhilePlayingTest,
                         testing::Values("engine", "menu", "ctrl-q", "close"));

// Closing the window while stems are written cancels the render and waits
// for it on the way out: promptly, and with no file of it left behind, not
// even a temporary one (the render is caught inside its first stem).
TEST(CloseWhileWritingStems, ReturnsPromptlyAndLeavesNoFile) {
  temp_dir dir, out{dir.path()};  // the chooser picks `out` in a quiet folder
  const std::string song = spc_builder()
                               .square_wave_tone()
                               .text_tag("long", "game", "artist", "120", "")
                               .write_to(dir.path(), "long.spc");
  const std::string ended =
      run_to_end({const_cast<char*>(QUORLIN_CLOSE_WHILE_STEMS), const_cast<char*>(song.c_str()),
                  const_cast<char*>(out.path().c_str()), nullptr});
  if (ended == "skip") GTEST_SKIP() << "no display";
  ASSERT_EQ(ended, "");
  for (const auto& entry : std::filesystem::directory_iterator(out.path()))
    ADD_FAILURE() << "left behind: " << entry.path();
}

}  // namespace
