// The SPC700 interpreter on plain RAM, for what random instruction vectors
// hardly ever reach: decimal adjust after a half carry, branches not taken,
// DIV past its range, and the halts.

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

#include "spc700_cpu.h"
#include "spc700_flat_bus.h"

namespace {

constexpr u16 program_start = 0x0200;

// A CPU on its own RAM with a program at 0x0200.
struct machine {
  std::unique_ptr<spc700_flat_bus> bus = std::make_unique<spc700_flat_bus>();
  spc700_cpu<spc700_flat_bus> cpu{*bus};

  explicit machine(std::initializer_list<u8> program) {
    u16 address = program_start;
    for (u8 byte : program) bus->ram[address++] = byte;
    cpu.regs.pc = program_start;
    cpu.regs.sp = 0xEF;
  }
  u8& program_byte(int offset) { return bus->ram[program_start + offset]; }
  // Runs `count` instructions; returns their cycles.
  int run(int count) {
    int cycles = 0;
    while (count-- > 0) cycles += cpu.step();
    return cycles;
  }
};

int bcd(int value) { return value / 10 * 16 + value % 10; }

// ADC then DAA, and SETC, SBC then DAS, give the decimal sum and difference
// with the carry as the decimal carry / no-borrow, for every pair of BCD
// bytes: about half the pairs pass through DAA or DAS with H set.
TEST(Spc700CpuTest, DecimalAdjustGivesDecimalResultsForEveryPair) {
  // CLRC; MOV A,#left; ADC A,#right; DAA
  machine add({0x60, 0xE8, 0x00, 0x88, 0x00, 0xDF});
  // SETC; MOV A,#left; SBC A,#right; DAS
  machine subtract({0x80, 0xE8, 0x00, 0xA8, 0x00, 0xBE});
  for (int left = 0; left < 100; left++) {
    for (int right = 0; right < 100; right++) {
      for (machine* m : {&add, &subtract}) {
        m->program_byte(2) = u8(bcd(left));
        m->program_byte(4) = u8(bcd(right));
        m->cpu.regs.pc = program_start;
        m->run(4);
      }
      ASSERT_EQ(add.cpu.regs.a, bcd((left + right) % 100)) << left << " + " << right;
      ASSERT_EQ(add.cpu.regs.psw & spc700_flag_c, left + right >= 100) << left << " + " << right;
      ASSERT_EQ(subtract.cpu.regs.a, bcd((left - right + 100) % 100)) << left << " - " << right;
      ASSERT_EQ(subtract.cpu.regs.psw & spc700_flag_c, left >= right) << left << " - " << right;
    }
  }
}

// CBNE and DBNZ fall through (2 cycles less) when equal / when the count
// reaches 0, and leave the flags alone.
TEST(Spc700CpuTest, CompareAndCountBranchesFallThrough) {
  // MOV Y,#3; loop: DBNZ Y,loop
  machine count_y({0x8D, 0x03, 0xFE, 0xFE});
  EXPECT_EQ(count_y.run(4), 2 + 6 + 6 + 4);
  EXPECT_EQ(count_y.cpu.regs.y, 0);
  EXPECT_EQ(count_y.cpu.regs.pc, program_start + 4);
  EXPECT_EQ(count_y.cpu.regs.psw & spc700_flag_z, 0);  // MOV Y,#3 cleared Z; DBNZ left it

  // loop: DBNZ $10,loop with $10 = 2
  machine count_direct({0x6E, 0x10, 0xFD});
  count_direct.bus->ram[0x10] = 2;
  EXPECT_EQ(count_direct.run(2), 7 + 5);
  EXPECT_EQ(count_direct.bus->ram[0x10], 0);
  EXPECT_EQ(count_direct.cpu.regs.pc, program_start + 3);

  // MOV A,#$42; CBNE $10,+5; CBNE $10+X,+5 with $10 = $11 = $42 and X = 1
  machine compare({0xE8, 0x42, 0x2E, 0x10, 0x05, 0xDE, 0x10, 0x05});
  compare.bus->ram[0x10] = 0x42;
  compare.bus->ram[0x11] = 0x42;
  compare.cpu.regs.x = 1;
  EXPECT_EQ(compare.run(3), 2 + 5 + 6);
  EXPECT_EQ(compare.cpu.regs.pc, program_start + 8);
  EXPECT_EQ(compare.cpu.regs.psw & (spc700_flag_z | spc700_flag_c), 0);

  // The taken side of the same compare: A differs.
  compare.cpu.regs.pc = program_start + 2;
  compare.cpu.regs.a = 0x41;
  EXPECT_EQ(compare.cpu.step(), 7);
  EXPECT_EQ(compare.cpu.regs.pc, program_start + 5 + 5);
}

// DIV's quotient has 9 bits (the ninth is V); past that, and for X = 0,
// the hardware's subtract-and-shift steps give these values (worked out
// bit by bit, not by the interpreter's shortcut).
TEST(Spc700CpuTest, DivideBeyondItsRangeGivesTheHardwareValues) {
  struct division {
    u16 ya;
    u8 x;
    u8 quotient, remainder, flags;
  };
  const u8 v = spc700_flag_v, h = spc700_flag_h, n = spc700_flag_n, z = spc700_flag_z;
  for (const division& d : {
           division{0xFFFF, 0x01, 0x01, 0xFE, u8(v | h)},
           division{0xFFFF, 0x00, 0x00, 0xFF, u8(v | h | z)},
           division{0x1234, 0x00, 0xED, 0x34, u8(v | h | n)},
           division{0x0200, 0x01, 0xFF, 0x01, u8(v | h | n)},  // 512: V set, A its low bits
           division{0x00FF, 0x01, 0xFF, 0x00, n},              // 255: in range
       }) {
    machine divide({0x9E});  // DIV YA,X
    divide.cpu.regs.y = u8(d.ya >> 8);
    divide.cpu.regs.a = u8(d.ya);
    divide.cpu.regs.x = d.x;
    EXPECT_EQ(divide.run(1), 12);
    const u8 checked = v | h | n | z;
    EXPECT_EQ(divide.cpu.regs.a, d.quotient) << std::hex << d.ya << " / " << int(d.x);
    EXPECT_EQ(divide.cpu.regs.y, d.remainder) << std::hex << d.ya << " / " << int(d.x);
    EXPECT_EQ(divide.cpu.regs.psw & checked, d.flags) << std::hex << d.ya << " / " << int(d.x);
  }
}

// SLEEP and STOP halt: after them step() runs nothing, however often called.
TEST(Spc700CpuTest, SleepAndStopHalt) {
  for (auto [opcode, state] : {std::pair{u8(0xEF), spc700_halt::sleep},
                               std::pair{u8(0xFF), spc700_halt::stop}}) {
    machine halted({opcode, 0xBC});  // then INC A, never reached
    EXPECT_EQ(halted.cpu.step(), 3);
    EXPECT_EQ(halted.cpu.halt, state);
    const spc700_registers at_halt = halted.cpu.regs;
    EXPECT_EQ(at_halt.pc, program_start + 1);
    for (int i = 0; i < 3; i++) EXPECT_EQ(halted.cpu.step(), spc700_halted_cycles);
    EXPECT_EQ(halted.cpu.halt, state);
    EXPECT_EQ(halted.cpu.regs.pc, at_halt.pc);
    EXPECT_EQ(halted.cpu.regs.a, at_halt.a);
    EXPECT_EQ(halted.cpu.regs.psw, at_halt.psw);
  }
}

}  // namespace
