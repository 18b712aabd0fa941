// Reading SPC files: what loads, what is rejected, and the exact reports.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "spc.h"
#include "spc_builder.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

class SpcFileTest : public testing::Test {
 protected:
  temp_dir dir;

  // Reads `path`; returns the image and leaves the report in `report`.
  std::unique_ptr<spc_format> read(const std::string& path) {
    CaptureStderr();
    auto spc = read_spc_from_file(path.c_str());
    report = GetCapturedStderr();
    return spc;
  }
  std::string report;
};

TEST_F(SpcFileTest, ExactImageLoadsByteForByte) {
  spc_builder builder;
  builder.text_tag("Song", "Game", "Artist", "180").aram(0x1234, {0xAB});
  auto spc = read(builder.write_to(dir.path(), "a.spc"));
  ASSERT_TRUE(spc);
  EXPECT_EQ(report, "");
  EXPECT_EQ(0, std::memcmp(spc.get(), &builder.image(), sizeof(spc_format)));
}

TEST_F(SpcFileTest, TrailingBytesAreIgnored) {
  auto spc = read(spc_builder().write_to(dir.path(), "long.spc", 4096));
  ASSERT_TRUE(spc);
  EXPECT_EQ(spc->extra_ram[63], 0);
}

TEST_F(SpcFileTest, RegistersSitAtTheirOffsets) {
  spc_builder builder;
  auto bytes = builder.bytes();
  bytes[0x25] = 0x34;  // PC low
  bytes[0x26] = 0x12;  // PC high
  bytes[0x27] = 0xA1;
  bytes[0x2B] = 0xEF;
  const std::string path = dir.file("regs.spc");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  auto spc = read(path);
  ASSERT_TRUE(spc);
  EXPECT_EQ(spc->reg_pc, 0x1234);
  EXPECT_EQ(spc->reg_a, 0xA1);
  EXPECT_EQ(spc->reg_sp, 0xEF);
}

TEST_F(SpcFileTest, AnyVersionTextIsAccepted) {
  auto bytes = spc_builder().bytes();
  std::memcpy(bytes.data() + 29, "    ", 4);
  const std::string path = dir.file("version.spc");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(read(path));
}

TEST_F(SpcFileTest, OneByteShortIsAReadFailure) {
  auto bytes = spc_builder().bytes();
  const std::string path = dir.file("short.spc");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size() - 1));
  EXPECT_FALSE(read(path));
  EXPECT_EQ(report, "Unable to read SPC file.\n: No data available\n");
}

TEST_F(SpcFileTest, EmptyFileIsAReadFailure) {
  const std::string path = dir.file("empty.spc");
  std::ofstream(path, std::ios::binary).flush();
  EXPECT_FALSE(read(path));
  EXPECT_EQ(report.rfind("Unable to read SPC file.\n", 0), 0u) << report;
}

TEST_F(SpcFileTest, SignatureIsCaseSensitive) {
  auto bytes = spc_builder().bytes();
  bytes[1] = 'n';  // "SnES-..."
  const std::string path = dir.file("case.spc");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  errno = EAGAIN;  // left over from some earlier call: not the reason
  EXPECT_FALSE(read(path));
  EXPECT_EQ(report, "This does not look like a valid SPC file.\n: Invalid argument\n");
}

TEST_F(SpcFileTest, MissingFileNamesTheSystemError) {
  EXPECT_FALSE(read(dir.file("absent.spc")));
  EXPECT_EQ(report, "Unable to open file.\n: No such file or directory\n");
}

TEST_F(SpcFileTest, DirectoryIsNotAnSpcFile) {
  EXPECT_FALSE(read(dir.path()));
  EXPECT_EQ(report, "Unable to read SPC file.\n: Is a directory\n");
}

TEST(SpcCorpusTest, EveryCorpusFileLoads) {
  for (const char* name : {"sato_forest_01.spc", "osoumen_gtme.spc", "osoumen_sound_of_mnemon.spc",
                           "boldowa_org_drv_misplaced_xid6.spc", "boldowa_minimal_empty_xid6.spc"}) {
    const std::string path = corpus_file(name);
    if (path.empty()) GTEST_SKIP() << "SPC corpus folder not found; skipping real files";
    EXPECT_TRUE(read_spc_from_file(path.c_str())) << name;
  }
}

}  // namespace
