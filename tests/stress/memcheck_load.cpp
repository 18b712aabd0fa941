// The load path under valgrind: good, damaged and real files through the
// function File > Open uses, in the real window, which then closes the way
// a user closes it (destroy, end of the main loop). Small on purpose:
// memcheck makes every step tens of times slower.
//   memcheck_load        (scripts/memcheck runs it with a display)

#include <gtk/gtk.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "gui_support.h"
#include "load_checker.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "spc_builder.h"
#include "stress_inputs.h"

namespace {

constexpr const char* corpus_names[] = {"sato_forest_01.spc", "osoumen_gtme.spc",
                                        "boldowa_org_drv_misplaced_xid6.spc"};
constexpr int random_loads = 16;

void write_text(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Loads `path` and counts a problem when it did not turn out as expected.
void expect_load(load_checker& checker, const char* kind, const std::string& path, bool loads) {
  if (checker.load(-1, kind, path) != loads)
    checker.problem(-1, kind, loads ? "did not load" : "loaded");
}

gboolean close_window(gpointer) {
  gtk_widget_destroy(main_window_get_widgets(gui_window()).window);
  return G_SOURCE_REMOVE;
}

}  // namespace

int main(int argc, char** argv) {
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "memcheck_load needs a display (run it through scripts/memcheck).\n");
    return 2;
  }
  gui_window();
  load_checker checker;
  {
    temp_dir dir;
    const std::string good = write_good_file(dir.path());
    checker.check_good(0, good);
    for (const char* name : corpus_names) {
      const std::string path = corpus_file(name);
      if (!path.empty()) expect_load(checker, name, path, true);
    }
    expect_load(checker, "missing file", dir.file("none.spc"), false);
    expect_load(checker, "folder", dir.path(), false);
    write_text(dir.file("empty.spc"), "");
    expect_load(checker, "empty file", dir.file("empty.spc"), false);
    write_text(dir.file("short.spc"), std::string(spc_signature) + "0.30");
    expect_load(checker, "short file", dir.file("short.spc"), false);
    spc_builder unsigned_image;
    unsigned_image.aram(0, {1, 2, 3});
    const std::string no_signature = unsigned_image.write_to(dir.path(), "bad.spc");
    std::fstream(no_signature, std::ios::binary | std::ios::in | std::ios::out).put('X');
    expect_load(checker, "no signature", no_signature, false);

    stress_inputs inputs(7);
    const std::string path = dir.file("random.spc");
    for (int i = 0; i < random_loads; ++i) checker.load(i, inputs.write(i, path), path);
    checker.check_good(random_loads, good);
  }
  // As when the user closes the window: "destroy" ends the main loop.
  g_idle_add(close_window, nullptr);
  gtk_main();
  std::printf("memcheck_load: %d problems\n", checker.problems());
  return checker.problems() == 0 ? 0 : 1;
}
