// The interpreter against the public single-instruction SPC700 vectors,
// through the spc700_vectors program run as a process, and that program's
// exit statuses.

#include <glib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct run_result {
  int status = -1;
  std::string out;
  std::string err;
};

run_result run_vectors(std::vector<std::string> args) {
  args.insert(args.begin(), SPC700_VECTORS_BINARY);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  g_autofree char* out = nullptr;
  g_autofree char* err = nullptr;
  int wait_status = 0;
  g_autoptr(GError) error = nullptr;
  run_result result;
  if (!g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, &out, &err,
                    &wait_status, &error)) {
    ADD_FAILURE() << error->message;
    return result;
  }
  result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  result.out = out;
  result.err = err;
  return result;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// A private folder, removed with everything in it.
class scratch_folder {
 public:
  scratch_folder() {
    g_autofree char* made = g_dir_make_tmp("spc700-vectors-XXXXXX", nullptr);
    path_ = made ? made : "";
  }
  ~scratch_folder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  scratch_folder(const scratch_folder&) = delete;
  scratch_folder& operator=(const scratch_folder&) = delete;
  std::string write(const std::string& name, const std::string& text) const {
    const std::string file = path_ + "/" + name;
    std::ofstream(file) << text;
    return file;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// NOP at 0x0200: pc + 1, two cycles (the opcode, then a dummy read of the
// byte after it). `final_pc` and `cycles` let a test make it fail.
std::string nop_vector(int final_pc,
                       const std::string& cycles = R"([[512,0,"read"],[513,null,"read"]])") {
  return R"([{"name":"00 0000","initial":{"pc":512,"a":1,"x":2,"y":3,"sp":239,"psw":2,)"
         R"("ram":[[512,0]]},"final":{"a":1,"x":2,"y":3,"sp":239,"pc":)" +
         std::to_string(final_pc) + R"(,"psw":2,"ram":[[512,0]]},"cycles":)" + cycles + "}]";
}

// Every opcode passes every vector, bus cycle by bus cycle, except SLEEP
// (EF) and STOP (FF). The vectors model those as 7-cycle no-ops that go on
// to the next instruction; the hardware halts until an interrupt the
// console never raises, and so does the interpreter (3 cycles, then
// nothing). They must differ only from the fourth cycle on.
TEST(Spc700VectorsTest, EveryOpcodeButTheHaltsPassesEveryVector) {
  const std::string folder = VECTORS_DIR;
  if (!std::filesystem::is_directory(folder))
    GTEST_SKIP() << "no SPC700 instruction vectors at " << folder;

  const run_result run = run_vectors({folder});
  EXPECT_EQ(run.status, 1) << run.err;  // the two halts fail
  EXPECT_EQ(run.err, "");
  std::vector<std::string> lines = lines_of(run.out);
  ASSERT_EQ(lines.size(), 257u) << run.out;

  // The folder holds 200 vectors for each of the 256 opcodes.
  std::map<std::string, std::string> by_opcode;
  for (std::size_t i = 0; i + 1 < lines.size(); i++) by_opcode[lines[i].substr(0, 2)] = lines[i];
  ASSERT_EQ(by_opcode.size(), 256u);
  for (const auto& [opcode, line] : by_opcode) {
    if (opcode == "EF" || opcode == "FF") {
      const std::string expected = opcode + "  0 passed, 200 failed; first: \"" + opcode +
                                        " 0000\": cycles 3 (expected 7), bus cycle 4: nothing";
      EXPECT_EQ(line.substr(0, expected.size()), expected);
    } else {
      EXPECT_EQ(line, opcode + "  200 passed, 0 failed");
    }
  }
  EXPECT_EQ(lines.back(), "50800 passed, 400 failed");
}

// 0 when all pass, 1 when any fails (naming it and what differed), 2 for
// a usage error or a folder or file that can't be read, naming it.
TEST(Spc700VectorsTest, ExitStatusesSayWhatHappened) {
  scratch_folder folder;
  ASSERT_FALSE(folder.path().empty());

  EXPECT_EQ(run_vectors({}).status, 2);
  const run_result missing = run_vectors({folder.path() + "/nowhere"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find(folder.path() + "/nowhere"), std::string::npos) << missing.err;

  folder.write("00.json", nop_vector(513));
  const run_result passing = run_vectors({folder.path()});
  EXPECT_EQ(passing.status, 0) << passing.err;
  EXPECT_EQ(passing.out, "00  1 passed, 0 failed\n1 passed, 0 failed\n");

  folder.write("00.json", nop_vector(514));
  const run_result failing = run_vectors({folder.path()});
  EXPECT_EQ(failing.status, 1);
  EXPECT_EQ(failing.out,
            "00  0 passed, 1 failed; first: \"00 0000\": pc 0201 (expected 0202)\n"
            "0 passed, 1 failed\n");

  // The same instruction with its bus cycles in another order.
  folder.write("00.json", nop_vector(513, R"([[513,null,"read"],[512,0,"read"]])"));
  const run_result reordered = run_vectors({folder.path()});
  EXPECT_EQ(reordered.status, 1);
  EXPECT_EQ(reordered.out,
            "00  0 passed, 1 failed; first: \"00 0000\": bus cycle 1: read 0200=00 (expected read "
            "0201)\n0 passed, 1 failed\n");

  const std::string broken = folder.write("01.json", "[{\"name\": ");
  const run_result unreadable = run_vectors({folder.path()});
  EXPECT_EQ(unreadable.status, 2);
  EXPECT_NE(unreadable.err.find(broken), std::string::npos) << unreadable.err;
}

}  // namespace
