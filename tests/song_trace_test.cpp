// The trace against hand-made programs whose key-ons are known to the sample.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dsp_register_file.h"
#include "song_trace.h"
#include "spc_builder.h"

namespace {

constexpr u16 program = 0x0400;

// An image whose voices 0–2 play a four-block sample without a loop
// (64 BRR samples: 64 output samples at pitch 0x1000), and whose program at
// 0x0400 is `code`.
spc_builder song_image(const std::vector<u8>& code) {
  spc_builder b;
  b.dir_entry(0, 0x1000, 0x1000).brr_chain(0x1000, 4, 0x11).aram(program, code).cpu(program);
  for (int v = 0; v < 3; ++v) b.dsp(v * 0x10 + 0x03, 0x10);  // pitch 0x1000
  return b;
}

std::vector<trace_event> key_ons(const song_trace& trace, int voice) {
  std::vector<trace_event> found;
  for (const trace_event& e : trace.events)
    if (e.kind == trace_event_kind::key_on && e.voice == voice) found.push_back(e);
  return found;
}

TEST(SongTraceTest, TimerPacedKeyOnsComeExactlyOnTime) {
  // Voice 2 keyed on every 100 ms: timer 0 gives an output every 80 ticks
  // (10 ms), ten of them per key-on. The NOPs put the KON write well inside
  // a poll's window, whatever the wait loop's phase.
  std::vector<u8> code = {
      0x8F, 0x50, 0xFA,  // MOV $FA,#$50    timer 0 target: 80 ticks
      0x8F, 0x01, 0xF1,  // MOV $F1,#$01    start timer 0
      0x8F, 0x4C, 0xF2,  // MOV $F2,#$4C    DSP address: KON
      0x8F, 0x0A, 0x00,  // MOV $00,#$0A    outer: ten outputs to wait
      0xE4, 0xFD,        // MOV A,$FD       wait: counter 0, cleared by the read
      0xF0, 0xFC,        // BEQ wait
      0x8B, 0x00,        // DEC $00
      0xD0, 0xF8,        // BNE wait
  };
  code.insert(code.end(), 20, 0x00);  // NOP × 20
  code.insert(code.end(), {0x8F, 0x04, 0xF3});  // MOV $F3,#$04    KON voice 2
  const int back = 0x09 - int(code.size() + 2);
  code.insert(code.end(), {0x2F, u8(back)});    // BRA outer
  const song_trace trace = trace_song(song_image(code).image(), 2.05);
  const std::vector<trace_event> ons = key_ons(trace, 2);
  ASSERT_EQ(ons.size(), 20u);
  for (std::size_t i = 1; i < ons.size(); ++i) EXPECT_EQ(ons[i].sample - ons[i - 1].sample, 3200);
  EXPECT_EQ(ons[0].srcn, 0);
  EXPECT_EQ(ons[0].start, 0x1000);
  EXPECT_EQ(ons[0].pitch, 0x1000);
  EXPECT_EQ(trace.ended, trace_end::time);
  EXPECT_EQ(trace.samples, 65600);
}

// The DSP reads a voice's directory entry when its key-on restarts it, and
// the trace's DSP runs behind the program: an entry rewritten after that
// must not be what the key-on plays, nor one rewritten before be missed.
TEST(SongTraceTest, AKeyOnPlaysItsDirectoryEntryAsItStoodAtTheRestart) {
  const auto start_played = [](std::size_t nops_after_kon) {
    std::vector<u8> code = {
        0x8F, 0x4C, 0xF2,  // MOV $F2,#$4C    DSP address: KON
        0x8F, 0x01, 0xF3,  // MOV $F3,#$01    KON voice 0
    };
    code.insert(code.end(), nops_after_kon, 0x00);  // NOP: 2 cycles each
    code.insert(code.end(), {
        0xE8, 0x20,        // MOV A,#$20
        0xC5, 0x01, 0x02,  // MOV !$0201,A    entry 0 now starts at 0x2000
        0x2F, 0xFE,        // BRA *
    });
    const song_trace trace = trace_song(song_image(code).image(), 0.01);
    return key_ons(trace, 0).empty() ? -1 : int(key_ons(trace, 0)[0].start);
  };
  EXPECT_EQ(start_played(100), 0x1000) << "rewritten 6 samples after the KON";
  EXPECT_EQ(start_played(0), 0x2000) << "rewritten before the latch";
}

TEST(SongTraceTest, KeysOnOnlyThroughTheWritableRegisters) {
  const song_trace trace = trace_song(song_image({
      0x8F, 0xCC, 0xF2,  // MOV $F2,#$CC    KON's read-only mirror
      0x8F, 0x01, 0xF3,  // MOV $F3,#$01
      0x2F, 0xFE,        // BRA *
  }).image(), 1.0);
  EXPECT_TRUE(trace.events.empty());
  EXPECT_EQ(trace.ended, trace_end::time);

  // A KON left in the snapshot is still to come, as a player takes it.
  const song_trace pending = trace_song(song_image({0x2F, 0xFE}).dsp(0x4C, 0x01).image(), 0.01);
  ASSERT_EQ(key_ons(pending, 0).size(), 1u);
  EXPECT_LE(key_ons(pending, 0)[0].sample, 2);
}

TEST(SongTraceTest, KeyOffAndSleepEndTheStory) {
  const song_trace trace = trace_song(song_image({
      0x8F, 0x4C, 0xF2,  // MOV $F2,#$4C
      0x8F, 0x03, 0xF3,  // MOV $F3,#$03    KON voices 0 and 1
      0x8F, 0x7C, 0xF2,  // MOV $F2,#$7C    ENDX
      0x8F, 0x00, 0xF3,  // MOV $F3,#$00    clear it
      0xE4, 0xF3,        // MOV A,$F3       wait until voice 0's sample has ended
      0x28, 0x01,        // AND A,#$01
      0xF0, 0xFA,        // BEQ (back to MOV A,$F3)
      0x8F, 0x5C, 0xF2,  // MOV $F2,#$5C
      0x8F, 0x02, 0xF3,  // MOV $F3,#$02    KOFF voice 1
      0xEF,              // SLEEP
  }).image(), 5.0);
  EXPECT_EQ(trace.ended, trace_end::sleep);
  ASSERT_EQ(trace.events.size(), 3u);
  EXPECT_EQ(trace.events[2].kind, trace_event_kind::key_off);
  EXPECT_EQ(trace.events[2].voice, 1);
  // ENDX comes up when the DSP decodes the end block's last four samples:
  // at pitch 0x1000, 5 samples of KON delay plus 3 of decoding ahead, then
  // 16 a block, 58 samples after the latch (and the KOFF that answers it
  // waits for the next latch, two samples on).
  const std::int64_t played = trace.events[2].sample - trace.events[0].sample;
  EXPECT_EQ(played, 60);
  EXPECT_LT(trace.samples, 200);
}

// The DSP alone, driven at chosen CPU cycles: voice 0 set to play the
// four-block sample at pitch 0x1000 with GAIN direct 0x7F. A KON written by
// cycle 62 latches in sample 1; the voice's KON delay then ends in sample 6.
struct dsp_access {
  std::int64_t cycle;
  u8 reg;
  int value;  // what to write; -1 reads the register
};

// The events and reads as text: "on@1 1000 64/-64 7F", "pitch@10 0800 split",
// "off@3", "7C=01".
std::string run_dsp(const std::vector<dsp_access>& accesses) {
  spc_builder b;
  b.dir_entry(0, 0x1000, 0x1000).brr_chain(0x1000, 4, 0x11);
  b.dsp(0x00, 0x40).dsp(0x01, 0xC0).dsp(0x03, 0x10).dsp(0x07, 0x7F);
  const spc_format& image = b.image();
  std::vector<trace_event> events;
  dsp_register_file dsp(image, image, events);
  std::string reads;
  char text[64];
  for (const dsp_access& a : accesses) {
    if (a.value >= 0) {
      dsp.write(a.reg, u8(a.value), a.cycle);
      continue;
    }
    std::snprintf(text, sizeof text, " %02X=%02X", a.reg, dsp.read(a.reg, a.cycle));
    reads += text;
  }
  dsp.finish(accesses.back().cycle + 64 * cpu_cycles_per_sample);
  std::string out;
  for (const trace_event& e : events) {
    const char* split = e.split ? " split" : "";
    switch (e.kind) {
      case trace_event_kind::key_on:
        std::snprintf(text, sizeof text, " on@%lld %04X %d/%d %02X", (long long)e.sample, e.pitch,
                      e.vol_left, e.vol_right, e.gain);
        break;
      case trace_event_kind::key_off:
        std::snprintf(text, sizeof text, " off@%lld", (long long)e.sample);
        break;
      case trace_event_kind::pitch:
        std::snprintf(text, sizeof text, " pitch@%lld %04X%s", (long long)e.sample, e.pitch, split);
        break;
      case trace_event_kind::volume:
        std::snprintf(text, sizeof text, " volume@%lld %d/%d%s", (long long)e.sample, e.vol_left,
                      e.vol_right, split);
        break;
      case trace_event_kind::envelope:
        std::snprintf(text, sizeof text, " envelope@%lld %02X %02X %02X%s", (long long)e.sample,
                      e.adsr1, e.adsr2, e.gain, split);
        break;
    }
    out += text;
  }
  return out + reads;
}

TEST(SongTraceTest, TheDspActsAtItsClocksWithItsQuirks) {
  constexpr int kon = 0x4C, koff = 0x5C, flg = 0x6C, endx = 0x7C, envx = 0x08;
  constexpr int pitch_low = 0x02, pitch_high = 0x03, vol_left = 0x00, vol_right = 0x01;
  constexpr int adsr1 = 0x05, gain = 0x07;
  const auto at = [](int sample, int clock) { return std::int64_t(sample) * 32 + clock; };
  const struct {
    const char* what;
    std::vector<dsp_access> accesses;
    const char* expected;
  } cases[] = {
      {"KON latches at clock 30 of sample 1", {{at(1, 30), kon, 1}}, " on@1 1000 64/-64 7F"},
      {"a clock later it waits for sample 3", {{at(1, 31), kon, 1}}, " on@3 1000 64/-64 7F"},
      {"KON while KOFF is set keys on, and the next latch releases",
       {{0, koff, 1}, {1, kon, 1}}, " on@1 1000 64/-64 7F off@3"},
      {"KON again before the latch after its own is forgotten",
       {{0, kon, 1}, {at(3, 0), kon, 1}}, " on@1 1000 64/-64 7F"},
      {"KON during the delay restarts the voice; the first keeps what it reached",
       {{0, kon, 1}, {at(2, 0), pitch_high, 0x20}, {at(3, 31), kon, 1}},
       " on@1 2000 64/-64 7F on@5 2000 64/-64 7F"},
      {"a key-on plays what the registers hold when its delay ends",
       {{0, kon, 1}, {at(6, 21), pitch_low, 0x34}, {at(6, 23), pitch_high, 0x08},
        {at(6, 30), gain, 0x40}, {at(6, 31), vol_left, 0x20}},
       " on@1 1034 32/-64 40 pitch@7 0834"},
      {"a pair's reads straddling writes are heard split for a sample",
       {{0, kon, 1}, {at(10, 5), pitch_high, 0x08}, {at(10, 22), pitch_low, 0x80},
        {at(12, 10), vol_right, 0x22}, {at(13, 0), vol_left, 0x11}},
       " on@1 1000 64/-64 7F pitch@10 0800 split pitch@11 0880 volume@13 64/34 split"
       " volume@14 17/34"},
      {"ENVX follows the envelope: attack at the fastest rate",
       {{0, adsr1, 0x8F}, {0, kon, 1}, {at(8, 10), envx, -1}, {at(9, 10), envx, -1}},
       " on@1 1000 64/-64 7F 08=40 08=7F"},
      {"FLG mute keys on and runs the envelope as usual",
       {{0, flg, 0x40}, {0, kon, 1}, {at(10, 10), envx, -1}}, " on@1 1000 64/-64 7F 08=7F"},
      {"soft reset silences and keys off",
       {{0, kon, 1}, {at(20, 0), flg, 0x80}, {at(22, 10), envx, -1}},
       " on@1 1000 64/-64 7F off@20 08=00"},
      {"the end block sets ENDX and, without a loop, silences the voice",
       {{0, kon, 1}, {at(59, 10), endx, -1}, {at(60, 10), endx, -1}, {at(62, 10), envx, -1}},
       " on@1 1000 64/-64 7F 7C=00 7C=01 08=00"},
      {"ENDX written just before the voice sets it keeps the bit",
       {{0, kon, 1}, {at(60, 0), endx, 0}, {at(60, 10), endx, -1}},
       " on@1 1000 64/-64 7F 7C=01"},
      {"ENDX written as the voice sets it loses the bit",
       {{0, kon, 1}, {at(60, 1), endx, 0}, {at(60, 10), endx, -1}},
       " on@1 1000 64/-64 7F 7C=00"},
  };
  for (const auto& c : cases) EXPECT_EQ(run_dsp(c.accesses), c.expected) << c.what;
}

// The timers run on from the snapshot in the phase cycle-accurate players
// give them: the dividers' first tick one cycle after the load, then every
// 128 cycles (16 for timer 2). A counter read n NOPs in is dated by its bus
// cycle, 2n + 3, and the program keys on the voices whose bits its value
// sets.
TEST(SongTraceTest, TimersTickFromTheCycleAfterTheSnapshot) {
  struct reading {
    int timer, nops;
    int count;  // ticks up to the read: the tick at cycle 1, then one a period
  };
  for (const reading& r : {reading{2, 6, 1}, reading{2, 7, 2}, reading{2, 14, 2},
                           reading{2, 15, 3}, reading{0, 62, 1}, reading{0, 63, 2}}) {
    std::vector<u8> code(std::size_t(r.nops), 0x00);  // NOP × n
    code.insert(code.end(), {
        0xE4, u8(0xFD + r.timer),  // MOV A,$FD+t    the counter, read at cycle 2n + 3
        0x8F, 0x4C, 0xF2,          // MOV $F2,#$4C
        0xC4, 0xF3,                // MOV $F3,A      KON: the voices the count names
        0xFF,                      // STOP
    });
    spc_builder image = song_image(code);
    image.aram(0xF1, {u8(1 << r.timer)}).aram(u16(0xFA + r.timer), {0x01});  // target 1
    const song_trace trace = trace_song(image.image(), 0.01);
    int voices = 0;
    for (const trace_event& e : trace.events) voices |= 1 << e.voice;
    EXPECT_EQ(voices, r.count) << "timer " << r.timer << ", " << r.nops << " NOPs";
  }
}

bool same_events(const song_trace& a, const song_trace& b) {
  if (a.events.size() != b.events.size() || a.samples != b.samples || a.ended != b.ended)
    return false;
  for (std::size_t i = 0; i < a.events.size(); ++i) {
    const trace_event &x = a.events[i], &y = b.events[i];
    if (x.sample != y.sample || x.kind != y.kind || x.voice != y.voice || x.srcn != y.srcn ||
        x.pitch != y.pitch)
      return false;
  }
  return true;
}

trace_options without_skipping() {
  trace_options options;
  options.skip_idle_loops = false;
  return options;
}

// A wait loop that counts its passes in RAM is no idle loop: skipping its
// passes would lose counts, and the key-on they pace would come late. It
// reads the timer's counter on every pass, and after 256 passes keys on
// voice 0.
TEST(SongTraceTest, WaitLoopsWithSideEffectsAreNotSkipped) {
  const spc_builder image = song_image({
      0x8F, 0x01, 0xFA,  // MOV $FA,#$01    timer 0: an output every tick
      0x8F, 0x01, 0xF1,  // MOV $F1,#$01
      0xAB, 0x20,        // wait: INC $20   a side effect on every pass
      0xF0, 0x04,        // BEQ done        after 256 passes
      0xE4, 0xFD,        // MOV A,$FD       the counter, mostly 0
      0x2F, 0xF8,        // BRA wait
      0x8F, 0x4C, 0xF2,  // done: MOV $F2,#$4C
      0x8F, 0x01, 0xF3,  // MOV $F3,#$01    KON voice 0
      0xFF,              // STOP
  });
  const song_trace trace = trace_song(image.image(), 1.0);
  ASSERT_EQ(key_ons(trace, 0).size(), 1u);
  // 256 passes of 13 cycles: the KON write near cycle 3340, sample 104.
  EXPECT_GE(key_ons(trace, 0)[0].sample, 104);
  EXPECT_LE(key_ons(trace, 0)[0].sample, 106);
  EXPECT_TRUE(same_events(trace, trace_song(image.image(), 1.0, without_skipping())));
}

// A wait loop that writes a register one way on one half of its pass and
// back on the other, reading the timer's counter in each half, leaves the
// state as it found it two halves on; but the voice hears each GAIN, each
// target moves the timer's next output, and the DSP reads a directory
// entry whenever a voice loops: it is no idle loop, and no pass is skipped.
TEST(SongTraceTest, WaitLoopsThatWriteARegisterBackAreNotSkipped) {
  const struct {
    const char* what;
    std::vector<u8> code;
  } cases[] = {
      {"voice 0's GAIN",
       {
           0x8F, 0x50, 0xFA,  // MOV $FA,#$50    timer 0: an output every 10 ms
           0x8F, 0x01, 0xF1,  // MOV $F1,#$01
           0x8F, 0x4C, 0xF2,  // MOV $F2,#$4C
           0x8F, 0x01, 0xF3,  // MOV $F3,#$01    KON voice 0
           0x8F, 0x07, 0xF2,  // MOV $F2,#$07    its GAIN
           0x8F, 0x3C, 0xF3,  // wait: MOV $F3,#$3C
           0xE4, 0xFD,        // MOV A,$FD       the counter, mostly 0
           0x8F, 0x7F, 0xF3,  // MOV $F3,#$7F
           0xE4, 0xFD,        // MOV A,$FD
           0x2F, 0xF4,        // BRA wait
       }},
      {"timer 0's target",
       {
           0x8F, 0x50, 0xFA,  // MOV $FA,#$50
           0x8F, 0x01, 0xF1,  // MOV $F1,#$01
           0x8F, 0x4C, 0xF2,  // MOV $F2,#$4C
           0x8F, 0x0A, 0xFA,  // wait: MOV $FA,#$0A
           0xE4, 0xFD,        // MOV A,$FD
           0xD0, 0x07,        // BNE key
           0x8F, 0x50, 0xFA,  // MOV $FA,#$50
           0xE4, 0xFD,        // MOV A,$FD
           0xF0, 0xF2,        // BEQ wait
           0xC4, 0xF3,        // key: MOV $F3,A  KON the voices the count gives
           0x2F, 0xEE,        // BRA wait
       }},
      {"sample 0's loop address in the directory",
       {
           0x8F, 0x50, 0xFA,  // MOV $FA,#$50
           0x8F, 0x01, 0xF1,  // MOV $F1,#$01
           0x8F, 0x4C, 0xF2,  // MOV $F2,#$4C
           0x8F, 0x01, 0xF3,  // MOV $F3,#$01    KON voice 0
           0xE8, 0x09,        // wait: MOV A,#$09
           0xC5, 0x02, 0x02,  // MOV $0202,A     the loop at 0x1009
           0xE4, 0xFD,        // MOV A,$FD
           0xE8, 0x00,        // MOV A,#$00
           0xC5, 0x02, 0x02,  // MOV $0202,A     and back at 0x1000
           0xE4, 0xFD,        // MOV A,$FD
           0x2F, 0xF0,        // BRA wait
       }},
  };
  for (const auto& c : cases) {
    const spc_builder image = song_image(c.code);
    const song_trace skipped = trace_song(image.image(), 0.5);
    const song_trace every_pass = trace_song(image.image(), 0.5, without_skipping());
    EXPECT_EQ(skipped.instructions, every_pass.instructions) << c.what;
    EXPECT_TRUE(same_events(skipped, every_pass)) << c.what;
  }
}

// A wait loop that polls ENDX as well as a timer, clearing it as drivers do,
// is skipped up to the pass that finds a voice's bit: voices 0 and 1 loop
// their samples at two pitches, and each bit found keys on voice 2.
TEST(SongTraceTest, WaitLoopsOnEndxAreSkippedUpToTheBitSet) {
  spc_builder image = song_image({
      0x8F, 0x50, 0xFA,  // MOV $FA,#$50    timer 0: an output every 10 ms
      0x8F, 0x01, 0xF1,  // MOV $F1,#$01
      0x8F, 0x4C, 0xF2,  // MOV $F2,#$4C
      0x8F, 0x03, 0xF3,  // MOV $F3,#$03    KON voices 0 and 1
      0xE4, 0xFD,        // wait: MOV A,$FD the counter, mostly 0
      0x8F, 0x7C, 0xF2,  // MOV $F2,#$7C
      0xE4, 0xF3,        // MOV A,$F3       ENDX
      0xC4, 0xF3,        // MOV $F3,A       clear it (mostly with nothing to clear)
      0xF0, 0xF5,        // BEQ wait
      0x8F, 0x4C, 0xF2,  // MOV $F2,#$4C
      0x8F, 0x04, 0xF3,  // MOV $F3,#$04    KON voice 2
      0x2F, 0xED,        // BRA wait
  });
  image.dsp(0x13, 0x0D);  // voice 1 at pitch 0x0D00
  spc_format looping = image.image();
  looping.aram[0x1000 + 3 * 9] |= 0x02;
  const song_trace skipped = trace_song(looping, 2.0);
  const song_trace every_pass = trace_song(looping, 2.0, without_skipping());
  EXPECT_GT(key_ons(skipped, 2).size(), 50u);
  EXPECT_TRUE(same_events(skipped, every_pass));
  EXPECT_LT(skipped.instructions, every_pass.instructions / 4);
}

// The skipper jumps over passes of wait loops only where running them
// changes nothing: every corpus file keys on the same, to the sample, with
// and without it.
TEST(SongTraceTest, SkippingIdleLoopsChangesNoEvent) {
  for (const char* name : {"boldowa_minimal_empty_xid6.spc", "boldowa_org_drv_misplaced_xid6.spc",
                           "osoumen_gtme.spc", "osoumen_sound_of_mnemon.spc",
                           "sato_forest_01.spc"}) {
    const std::string path = corpus_file(name);
    if (path.empty()) GTEST_SKIP() << "SPC corpus not found (../shared/spc-corpus)";
    std::string failure;
    const auto image = read_spc_file_quietly(path.c_str(), failure);
    ASSERT_TRUE(image) << path << ": " << failure;
    const song_trace skipped = trace_song(*image, 60);
    EXPECT_TRUE(same_events(skipped, trace_song(*image, 60, without_skipping()))) << name;
    EXPECT_GT(skipped.key_on_count(), 0u) << name;
  }
}

TEST(SongTraceTest, SummaryCountsKeyOnsPerSample) {
  song_trace trace;
  trace_event on;
  on.srcn = 5;
  on.voice = 3;
  on.pitch = 0x0800;
  on.sample = 100;
  trace.events.push_back(on);
  on.voice = 0;
  on.sample = 200;
  on.pitch = 0x1000;
  trace.events.push_back(on);
  on.pitch = 0x0800;
  trace.events.push_back(on);
  const auto plays = summarize_trace(trace);
  EXPECT_FALSE(plays[4].played());
  EXPECT_EQ(plays[5].key_ons, 3);
  EXPECT_EQ(plays[5].voices, 0x09);
  EXPECT_EQ(plays[5].first_sample, 100);
  ASSERT_EQ(plays[5].pitches.size(), 2u);
  EXPECT_EQ(plays[5].pitches[0].pitch, 0x0800);
  EXPECT_EQ(plays[5].pitches[0].count, 2);
}

// A quiet stretch answers reads of ENVX, OUTX and ENDX by running only what
// they need; the same reads, each after a write that makes the DSP catch up
// all its voices, must see the same values at every clock.
// Voices 0–2 keyed on at once, at pitches 0x0800, 0x0D00 and 0x1200, with
// attack, decay and sustain, on a four-block sample whose last block loops
// (ENDX sets again and again).
spc_format looping_voices_image() {
  spc_builder b;
  b.dir_entry(0, 0x1000, 0x1000).brr_chain(0x1000, 4, 0x11);
  for (int v = 0; v < 3; ++v) {
    b.dsp(v * 0x10 + 0x03, u8(0x08 + 0x05 * v));
    b.dsp(v * 0x10 + 0x05, u8(0x8A + v)).dsp(v * 0x10 + 0x06, 0x4C);
  }
  spc_format image = b.image();
  image.aram[0x1000 + 3 * 9] |= 0x02;
  return image;
}

TEST(SongTraceTest, QuietReadsSeeWhatAWholeCatchUpSees) {
  const spc_format image = looping_voices_image();
  std::vector<trace_event> events_quiet, events_caught_up;
  dsp_register_file quiet(image, image, events_quiet), caught_up(image, image, events_caught_up);
  for (dsp_register_file* dsp : {&quiet, &caught_up}) dsp->write(0x4C, 0x07, 0);
  const u8 watched[] = {0x7C, 0x08, 0x18, 0x28, 0x09, 0x19, 0x29};
  int n = 0;
  for (std::int64_t cycle = 40; cycle < 3000 * 32; cycle += 13, ++n) {
    const u8 reg = watched[n % std::size(watched)];
    caught_up.write(0x0A, u8(n & 1 ? 0x00 : 0x01), cycle);  // an unused register
    ASSERT_EQ(quiet.read(reg, cycle), caught_up.read(reg, cycle))
        << "register " << int(reg) << " at cycle " << cycle;
    // As drivers do, clear ENDX after reading it (mostly with nothing to clear).
    if (reg == 0x7C)
      for (dsp_register_file* dsp : {&quiet, &caught_up}) dsp->write(0x7C, 0x00, cycle + 5);
  }
}

// Clearing ENDX, or writing a voice's own registers (GAIN, ADSR, pitch,
// volume), leaves the voices it does not touch running quietly; the same
// writes, each followed by one that sends every voice step by step through
// the next frames, must give the same reads and the same events.
TEST(SongTraceTest, WritesSettleOnlyWhatTheyTouch) {
  const spc_format image = looping_voices_image();
  std::vector<trace_event> events_settled, events_stepped;
  dsp_register_file settled(image, image, events_settled), stepped(image, image, events_stepped);
  const auto both_write = [&](u8 reg, u8 value, std::int64_t cycle) {
    settled.write(reg, value, cycle);
    stepped.write(reg, value, cycle);
    stepped.write(0x0A, u8(cycle & 1), cycle);  // an unused register, not a voice's own
  };
  both_write(0x4C, 0x07, 0);
  const u8 written[] = {0x07, 0x15, 0x27, 0x03, 0x10, 0x05, 0x21, 0x17, 0x26};
  // Accesses some frames apart, so that whole frames run between them.
  for (int n = 0; n < 3000; ++n) {
    const std::int64_t cycle = 100 + n * 389;
    const u8 reg = written[n % std::size(written)];
    // GAIN in every mode, ADSR1 switching between ADSR and GAIN, pitches
    // from 0x0000 to 0x1F00, any volume.
    const u8 value = (reg & 0x0F) == 0x03 ? u8(n % 0x20) : (reg & 0x0F) == 0x05 ? u8((n & 0x80) | 0x0F) : u8(n * 37);
    both_write(reg, value, cycle);
    const u8 envx = u8(0x08 + 0x10 * (n % 3));
    ASSERT_EQ(settled.read(envx, cycle + 171), stepped.read(envx, cycle + 171)) << "at cycle " << cycle;
    ASSERT_EQ(settled.read(0x7C, cycle + 300), stepped.read(0x7C, cycle + 300)) << "at cycle " << cycle;
    both_write(0x7C, 0x00, cycle + 301);
  }
  const std::int64_t end = 100 + 3000 * 389 + 64 * 32;
  settled.finish(end);
  stepped.finish(end);
  const auto text = [](const std::vector<trace_event>& events) {
    std::string out;
    for (const trace_event& e : events)
      out += std::to_string(e.sample) + " " + std::to_string(int(e.kind)) + " " + std::to_string(e.voice) +
             " " + std::to_string(e.pitch) + " " + std::to_string(e.vol_left) + "/" +
             std::to_string(e.vol_right) + " " + std::to_string(e.adsr1) + " " + std::to_string(e.gain) +
             (e.split ? " split" : "") + " " + std::to_string(e.envelope_from) + "\n";
    return out;
  };
  EXPECT_GT(events_settled.size(), 1000u);
  EXPECT_EQ(text(events_settled), text(events_stepped));
}

}  // namespace
