// What taking samples out costs: decoding every entry of a full directory,
// and the command line's --list and --export over real files. The command
// line runs in-process here (its output to /dev/null), so process start-up
// is not counted; docs/performance.md gives whole-process times beside.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "brr.h"
#include "export_command.h"
#include "list_command.h"
#include "spc_builder.h"

namespace {

const char* const corpus_names[] = {"sato_forest_01.spc", "osoumen_gtme.spc",
                                    "osoumen_sound_of_mnemon.spc",
                                    "boldowa_org_drv_misplaced_xid6.spc",
                                    "boldowa_minimal_empty_xid6.spc"};

// 256 samples of 25 blocks each filling ARAM from 0x0500, every filter and
// busy data, each looping from its eleventh block.
spc_builder full_directory() {
  spc_builder b;
  b.dir_page(0x01);
  std::uint32_t noise = 12345;
  for (int k = 0; k < 256; ++k) {
    const auto start = static_cast<u16>(0x0500 + k * 25 * 9);
    b.dir_entry(k, start, static_cast<u16>(start + 10 * 9));
    for (int block = 0; block < 25; ++block) {
      const u16 at = static_cast<u16>(start + block * 9);
      const u8 header = static_cast<u8>(0xB0 | (block % 4) << 2 | (block == 24 ? 0x03 : 0));
      b.aram(at, {header});
      for (u16 i = 1; i < 9; ++i) {
        noise = noise * 1103515245 + 12345;
        b.aram(static_cast<u16>(at + i), {static_cast<u8>(noise >> 16)});
      }
    }
  }
  return b;
}

std::vector<std::string> corpus_files() {
  std::vector<std::string> files;
  for (const char* name : corpus_names)
    if (std::string path = corpus_file(name); !path.empty()) files.push_back(path);
  return files;
}

// Sends standard output to /dev/null while it lives.
struct quiet_stdout {
  int saved = dup(STDOUT_FILENO);
  quiet_stdout() {
    std::fflush(stdout);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  ~quiet_stdout() {
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
  }
};

void BM_DecodeFullDirectory(benchmark::State& state) {
  const spc_builder b = full_directory();
  std::int32_t count = 0;
  std::unique_ptr<sample_chart[]> chart;
  generate_sample_chart(b.image(), count, chart);
  for (auto _ : state) {
    for (std::int32_t i = 0; i < count; ++i)
      benchmark::DoNotOptimize(brr_decode_entry(b.image(), chart[i]).pcm.data());
  }
  state.counters["entries"] = count;
}
BENCHMARK(BM_DecodeFullDirectory)->Unit(benchmark::kMicrosecond);

void BM_ListCorpus(benchmark::State& state) {
  const auto files = corpus_files();
  if (files.empty()) return state.SkipWithError("SPC corpus not found (../shared/spc-corpus)");
  quiet_stdout quiet;
  for (auto _ : state) benchmark::DoNotOptimize(run_list_command(files, state.range(0) != 0));
  state.counters["files"] = static_cast<double>(files.size());
}
BENCHMARK(BM_ListCorpus)->ArgName("json")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ExportCorpus(benchmark::State& state) {
  const auto files = corpus_files();
  if (files.empty()) return state.SkipWithError("SPC corpus not found (../shared/spc-corpus)");
  temp_dir dir;
  quiet_stdout quiet;
  for (auto _ : state)
    benchmark::DoNotOptimize(run_export_command(dir.path(), {.force = true}, files));
}
BENCHMARK(BM_ExportCorpus)->Unit(benchmark::kMillisecond);

// A thousand files: the corpus over and over (built images when it is absent).
struct thousand_files {
  temp_dir dir;
  std::vector<std::string> paths;
  thousand_files() {
    auto sources = corpus_files();
    if (sources.empty()) sources.push_back(full_directory().write_to(dir.path(), "full.spc"));
    for (int i = 0; i < 1000; ++i) {
      paths.push_back(dir.file(std::to_string(i) + ".spc"));
      std::filesystem::copy_file(sources[i % sources.size()], paths.back());
    }
  }
};

void BM_Read1000Files(benchmark::State& state) {
  static thousand_files files;
  for (auto _ : state)
    for (const std::string& path : files.paths)
      benchmark::DoNotOptimize(read_spc_from_file(path.c_str()).get());
}
BENCHMARK(BM_Read1000Files)->Unit(benchmark::kMillisecond);

void BM_List1000Files(benchmark::State& state) {
  static thousand_files files;
  quiet_stdout quiet;
  for (auto _ : state) benchmark::DoNotOptimize(run_list_command(files.paths, state.range(0) != 0));
}
BENCHMARK(BM_List1000Files)->ArgName("json")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A figure from /proc/self/status, in KiB ("VmRSS", "VmHWM"); 0 when absent.
long status_kib(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  return 0;
}

// How far resident memory rises over exporting a thousand files: the peak
// is reset first ("5" to clear_refs), so earlier benchmarks don't count.
void BM_Export1000Files(benchmark::State& state) {
  static thousand_files files;
  temp_dir out;
  quiet_stdout quiet;
  long growth_kib = 0;
  for (auto _ : state) {
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = status_kib("VmRSS");
    benchmark::DoNotOptimize(run_export_command(out.path(), {.force = true}, files.paths));
    growth_kib = std::max(growth_kib, status_kib("VmHWM") - before);
  }
  state.counters["rss_growth_MiB"] = static_cast<double>(growth_kib) / 1024;
}
BENCHMARK(BM_Export1000Files)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
