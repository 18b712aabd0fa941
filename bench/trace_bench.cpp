// The song analysis's speed. The SPC700 interpreter alone on plain RAM:
// instructions and CPU cycles per second (real time is 1,024,000 cycles a
// second), over a loop shaped like a sound driver's work and over the
// timer-polling loop drivers spend most of their time in. Then a 180-second
// trace of each corpus file, beside libgme rendering the same 180 seconds:
// "x real time" says how many seconds of song each takes a second.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <initializer_list>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "aram_access.h"
#include "openspc.h"
#include "song_trace.h"
#include "spc700_cpu.h"
#include "spc700_flat_bus.h"
#include "spc_builder.h"

namespace {

constexpr int cycles_per_second = 1'024'000;

// Runs `program` (at 0x0200) for one second of console time per iteration.
void run_program(benchmark::State& state, std::initializer_list<u8> program,
                 std::initializer_list<u8> subroutine) {
  auto bus = std::make_unique<spc700_flat_bus>();
  for (int i = 0; i < 0x100; i++) bus->ram[0x1000 + i] = u8(i * 37);
  u16 address = 0x0200;
  for (u8 byte : program) bus->ram[address++] = byte;
  address = 0x0300;
  for (u8 byte : subroutine) bus->ram[address++] = byte;
  spc700_cpu<spc700_flat_bus> cpu(*bus);
  cpu.regs.pc = 0x0200;
  cpu.regs.sp = 0xEF;

  std::int64_t instructions = 0, cycles = 0;
  for (auto _ : state) {
    int second = 0;
    while (second < cycles_per_second) {
      second += cpu.step();
      instructions++;
    }
    cycles += second;
  }
  benchmark::DoNotOptimize(bus->ram[0x20]);
  state.counters["instructions/s"] = benchmark::Counter(double(instructions), benchmark::Counter::kIsRate);
  state.counters["cycles/s"] = benchmark::Counter(double(cycles), benchmark::Counter::kIsRate);
}

// Table reads, arithmetic, a compare and branch, a call with a word op, a
// counted loop: 0x0200 MOV Y,#0; loop: MOV A,!$1000+Y; ADC A,$20; MOV $20,A;
// INC $21; CMP A,#$40; BCC +3; CALL $0300; DBNZ Y,loop; BRA 0x0200.
// 0x0300 DECW $24; RET.
void BM_Spc700DriverLoop(benchmark::State& state) {
  run_program(state,
              {0x8D, 0x00, 0xF6, 0x00, 0x10, 0x84, 0x20, 0xC4, 0x20, 0xAB, 0x21, 0x68, 0x40, 0x90,
               0x03, 0x3F, 0x00, 0x03, 0xFE, 0xEE, 0x2F, 0xEA},
              {0x1A, 0x24, 0x6F});
}
BENCHMARK(BM_Spc700DriverLoop)->Unit(benchmark::kMillisecond);

// Waiting for a timer tick: loop: MOV A,$FD; BEQ loop (on plain RAM $FD stays 0).
void BM_Spc700TimerPoll(benchmark::State& state) {
  run_program(state, {0xE4, 0xFD, 0xF0, 0xFC}, {});
}
BENCHMARK(BM_Spc700TimerPoll)->Unit(benchmark::kMillisecond);

constexpr double song_seconds = 180;
const char* const corpus[] = {"boldowa_minimal_empty_xid6.spc", "boldowa_org_drv_misplaced_xid6.spc",
                              "osoumen_gtme.spc", "osoumen_sound_of_mnemon.spc",
                              "sato_forest_01.spc"};

std::unique_ptr<spc_format> corpus_image(benchmark::State& state) {
  const std::string path = corpus_file(corpus[state.range(0)]);
  std::string failure;
  auto image = path.empty() ? nullptr : read_spc_file_quietly(path.c_str(), failure);
  if (!image) state.SkipWithError("the SPC corpus is absent");
  state.SetLabel(corpus[state.range(0)]);
  return image;
}

void BM_TraceSong(benchmark::State& state) {
  const auto image = corpus_image(state);
  if (!image) return;
  std::size_t key_ons = 0;
  std::int64_t instructions = 0;
  for (auto _ : state) {
    const song_trace trace = trace_song(*image, song_seconds);
    key_ons = trace.key_on_count();
    instructions += trace.instructions;
  }
  state.counters["key-ons"] = double(key_ons);
  // The driver's own code as the interpreter runs it, DSP included.
  state.counters["instructions/s"] = benchmark::Counter(double(instructions), benchmark::Counter::kIsRate);
  state.counters["x real time"] = benchmark::Counter(song_seconds * double(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TraceSong)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// The same with the memory access record on, as --access runs it: every
// pass of every wait loop, each access counted.
void BM_TraceSongRecordingAccess(benchmark::State& state) {
  const auto image = corpus_image(state);
  if (!image) return;
  auto record = std::make_unique<aram_access_record>();
  trace_options options;
  options.access = record.get();
  for (auto _ : state) {
    record->clear();
    benchmark::DoNotOptimize(trace_song(*image, song_seconds, options).samples);
  }
  state.counters["x real time"] = benchmark::Counter(song_seconds * double(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TraceSongRecordingAccess)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

void BM_GmeRenderSong(benchmark::State& state) {
  const auto image = corpus_image(state);
  if (!image) return;
  std::vector<short> buffer(16000);
  const long long frames = std::llround(song_seconds * OSPC_SAMPLE_RATE);
  for (auto _ : state) {
    OSPC_Renderer* renderer = OSPC_RendererOpen(image.get(), sizeof *image, 0, frames, 0);
    while (OSPC_RendererRun(renderer, -1, buffer.data(), int(buffer.size() * sizeof(short))) > 0) {
    }
    OSPC_RendererClose(renderer);
  }
  state.counters["x real time"] = benchmark::Counter(song_seconds * double(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GmeRenderSong)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
