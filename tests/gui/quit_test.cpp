// Quitting while a song plays: the playing thread must be stopped and joined
// before the process tears down the emulator under it. Each way of quitting
// runs a separate program many times, since a race shows only sometimes.
#include <gtest/gtest.h>
#include <glib.h>

#include <string>
#include <vector>

#include "spc_builder.h"

namespace {

constexpr int runs_per_way = 10;

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
    g_autofree char* out = nullptr;
    g_autofree char* err = nullptr;
    int status = 0;
    g_autoptr(GError) error = nullptr;
    ASSERT_TRUE(g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr,
                             &out, &err, &status, &error))
        << error->message;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "no display";
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << GetParam() << ", run " << run << ": "
        << (WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status))
                                : "exit status " + std::to_string(WEXITSTATUS(status)))
        << "\n" << err;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryWay, QuitWhilePlayingTest,
                         testing::Values("engine", "menu", "ctrl-q", "close"));

}  // namespace
