// GUI tests need a display; without one they are skipped, not failed.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // Tests run side by side: each process remembers its folders in a
  // settings folder of its own, removed on the way out.
  static std::string config = std::filesystem::temp_directory_path() / "quorlin-config-XXXXXX";
  if (mkdtemp(config.data())) {
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    std::atexit([] { std::filesystem::remove_all(config); });
  }
  if (!gtk_init_check(&argc, &argv) && !testing::GTEST_FLAG(list_tests)) {
    std::fprintf(stderr, "No display: skipping the GUI tests (run them through scripts/test).\n");
    testing::GTEST_FLAG(filter) = "-*";
  }
  return RUN_ALL_TESTS();
}
