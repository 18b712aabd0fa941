// Files from anywhere: random bytes and mutated images through the same load
// path as the dialog. Each gets its message and the window keeps working.

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "gui_support.h"
#include "load_report.h"
#include "main_window.h"
#include "spc_builder.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> seed_image(std::mt19937& random, int index) {
  if (index % 2 == 0) {
    for (const char* name : {"sato_forest_01.spc", "boldowa_minimal_empty_xid6.spc"}) {
      const std::string path = corpus_file(name);
      if (!path.empty() && (index / 2) % 2 == (name[0] == 'b')) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
      }
    }
  }
  spc_builder builder;
  builder.text_tag("Song", "Game", "Artist", "100");
  for (int k = 0; k < 256; ++k) builder.dir_entry(k, static_cast<u16>(random()), static_cast<u16>(random()));
  return builder.bytes();
}

TEST(BadInputTest, MutatedAndRandomImagesNeverBreakTheWindow) {
  gui_window();
  temp_dir dir;
  std::mt19937 random(1234);
  const std::string path = dir.file("fuzz.spc");
  int loaded = 0;
  for (int i = 0; i < 300; ++i) {
    std::vector<std::uint8_t> bytes;
    if (i % 5 == 4) {
      bytes.resize(random() % 70000);
      for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    } else {
      bytes = seed_image(random, i);
      const int flips = 1 + random() % 64;
      for (int f = 0; f < flips; ++f) {
        // Favour the header and the DSP registers (DIR), then anywhere.
        const std::size_t at = f % 3 == 0 ? random() % 0x100
                               : f % 3 == 1 ? 0x10100 + random() % 0x80
                                            : random() % bytes.size();
        if (at < bytes.size()) bytes[at] = static_cast<std::uint8_t>(random());
      }
      if (i % 7 == 0) bytes.resize(random() % bytes.size());
    }
    write_bytes(path, bytes);
    CaptureStderr();
    const bool ok = main_window_load_file(gui_window(), path.c_str());
    const std::string report = GetCapturedStderr();
    if (ok) {
      ++loaded;
      EXPECT_TRUE(load_report_is_quiet(report)) << report;
    } else {
      const std::string named = "quorlin: " + path + ": ";
      EXPECT_TRUE(report.rfind(named + "Unable to read SPC file", 0) == 0 ||
                  report == named + "This does not look like a valid SPC file.\n")
          << report;
    }
    gui_flush();
  }
  EXPECT_GT(loaded, 50);
  // Still working: a good file loads and shows its rows.
  spc_builder good;
  good.dir_entry(0, 0x3000, 0x3000).brr_chain(0x3000, 1);
  ASSERT_TRUE(main_window_load_file(gui_window(), good.write_to(dir.path(), "good.spc").c_str()));
  EXPECT_EQ(gui_visible_rows().size(), 1u);
}

}  // namespace
