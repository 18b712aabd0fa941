// GUI tests need a display; without one they are skipped, not failed.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "gui_support.h"

namespace {

// Each test gets a window of its own, whatever it left behind.
class gui_window_per_test : public testing::EmptyTestEventListener {
  void OnTestEnd(const testing::TestInfo&) override { gui_close_window(); }
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // Tests run side by side, and beside the audio tests that record the test
  // sound server: each process gets a home of its own, removed on the way
  // out, where it remembers its folders and plays into libao's null device.
  static std::string home = std::filesystem::temp_directory_path() / "quorlin-gui-XXXXXX";
  if (mkdtemp(home.data())) {
    std::ofstream(home + "/.libao") << "default_driver=null\n";
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    std::atexit([] { std::filesystem::remove_all(home); });
  }
  if (!gtk_init_check(&argc, &argv) && !testing::GTEST_FLAG(list_tests)) {
    std::fprintf(stderr, "No display: skipping the GUI tests (run them through scripts/test).\n");
    testing::GTEST_FLAG(filter) = "-*";
  }
  testing::UnitTest::GetInstance()->listeners().Append(new gui_window_per_test);
  return RUN_ALL_TESTS();
}
