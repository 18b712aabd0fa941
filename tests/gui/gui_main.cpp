// GUI tests need a display; without one they are skipped, not failed.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (!gtk_init_check(&argc, &argv) && !testing::GTEST_FLAG(list_tests)) {
    std::fprintf(stderr, "No display: skipping the GUI tests (run them through scripts/test).\n");
    testing::GTEST_FLAG(filter) = "-*";
  }
  return RUN_ALL_TESTS();
}
