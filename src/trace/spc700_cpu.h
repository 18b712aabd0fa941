// The SPC700, the sound CPU: an instruction-at-a-time interpreter over a bus
// it is given, cycle by cycle. Header-only so that the bus's read and write
// inline into the opcode switch: a song's trace runs some 50 million
// instructions.
//
// Every instruction is the hardware's sequence of bus cycles (the order of
// the public cycle tables: opcode fetch, operand fetches, reads, internal
// cycles, writes), and each access carries its cycle: `clock` counts the CPU
// cycles run, and an access is dated by the clock at the end of its cycle
// (the first instruction's opcode fetch at 1). A timer counter read or a DSP
// register written is thereby dated to the cycle, as cycle-accurate players
// date them.
//
// The bus is any class with
//   u8 read(u16 address, std::int64_t cycle);
//   void write(u16 address, u8 value, std::int64_t cycle);
// and optionally
//   u8 fetch(u16 address, std::int64_t cycle);        // opcode and operand bytes
//   void dummy_read(u16 address, std::int64_t cycle); // a read whose value is unused
// A bus without fetch() gets opcode and operand fetches through read(). A
// bus without dummy_read() doesn't see the hardware's dummy reads at all:
// on RAM they change nothing, and of the I/O registers only the timer
// counters at 0x00FD-0x00FF notice a read, which would clear them where the
// program never meant to (the players that date accesses like this skip
// them too). The dummy reads:
//   - the byte after a one-byte opcode (pc+1), SLEEP and STOP's included;
//   - the destination before a store: MOV d,#i / MOV d,A/X/Y / MOV !a,A/X/Y,
//     MOV (X),A, MOV d+X,A, MOV !a+X/Y,A, MOV [d+X],A, MOV [d]+Y,A,
//     MOV d+X,Y, MOV d+Y,X and MOVW d,YA (its low byte);
//   - TSET1 and TCLR1's second read of their operand.
// Interrupts are not wired on the console, so I only matters to EI/DI,
// BRK/RETI and PUSH/POP PSW.
#pragma once

#include <cstdint>

#include "spc.h"

// The programmer-visible state. psw bits: N V P B H I Z C.
struct spc700_registers {
  u16 pc = 0;
  u8 a = 0, x = 0, y = 0, sp = 0, psw = 0;
};

// running: executing. sleep / stop: SLEEP or STOP was executed; the
// hardware waits for an interrupt that never comes, so the CPU is done.
enum class spc700_halt : u8 { running, sleep, stop };

// The psw flags.
inline constexpr u8 spc700_flag_n = 0x80;  // negative
inline constexpr u8 spc700_flag_v = 0x40;  // overflow
inline constexpr u8 spc700_flag_p = 0x20;  // direct page at 0x0100 instead of 0x0000
inline constexpr u8 spc700_flag_b = 0x10;  // set by BRK
inline constexpr u8 spc700_flag_h = 0x08;  // half carry (out of bit 3, or bit 11 for words)
inline constexpr u8 spc700_flag_i = 0x04;  // interrupts enabled (no effect on this console)
inline constexpr u8 spc700_flag_z = 0x02;  // zero
inline constexpr u8 spc700_flag_c = 0x01;  // carry

// Cycles step() reports while the CPU is halted: none of the program's, but
// time goes on for the timers and the DSP, and a loop that runs the CPU for
// a number of cycles still ends.
inline constexpr int spc700_halted_cycles = 2;

template <class Bus>
class spc700_cpu {
 public:
  // The CPU keeps a reference to `bus`, which must outlive it. Any thread.
  explicit spc700_cpu(Bus& bus) : bus_(bus) {}

  spc700_registers regs;
  spc700_halt halt = spc700_halt::running;
  // CPU cycles run so far (the caller may move it on, e.g. over a skipped
  // wait). The thread that owns the CPU.
  std::int64_t clock = 0;

  // Executes the instruction at regs.pc and returns its length in CPU
  // cycles (2 ... 12; branches count their taken cycles), by which `clock`
  // went on. SLEEP and STOP take 3 cycles, leave pc after themselves and set
  // `halt`; from then on step() touches neither the bus nor the registers
  // and returns spc700_halted_cycles. The thread that owns the CPU and its
  // bus.
  int step() {
    const std::int64_t started = clock;
    if (halt != spc700_halt::running)
      clock += spc700_halted_cycles;
    else
      run_instructions(clock + 1);
    return int(clock - started);
  }

  // Runs instructions until `clock` reaches `until` or the CPU halts.
  // `until` is read after every instruction: the bus may bring it down
  // (to 0, say) to have the run stop after the instruction under way, when
  // the caller has something to do. The registers and the clock live in
  // locals meanwhile, which is what makes a song's trace fast. The thread
  // that owns the CPU and its bus.
  void run(const std::int64_t& until) { run_instructions(until); }
  // The cycle at which the last instruction run() ran started.
  std::int64_t last_started = 0;
  // How many instructions run() has run (a skipped wait's passes not
  // counted), for the speed's figures.
  std::int64_t instructions = 0;

 private:
  Bus& bus_;

  // The interpreter: one instruction after another, each opcode's code
  // going straight on to the next opcode's (a computed goto, which the
  // processor predicts per opcode).
  void run_instructions(const std::int64_t& until);

  // What the interpreter works on while it runs: a copy of the CPU's state
  // in a local of run_instructions() whose address never escapes, so that
  // the compiler keeps it in machine registers. (State reached through a
  // pointer stays in memory: any store to audio RAM, a char, might change
  // it.) The functions below are the instructions' parts; each inlines.
  struct core {
    Bus& bus_;
    spc700_registers regs;
    spc700_halt halt;
    std::int64_t clock;
    std::int64_t last_started;
    std::int64_t instructions;

    // --- the bus, one cycle per call ---
    [[gnu::always_inline]] u8 read(u16 address) { return bus_.read(address, ++clock); }
    [[gnu::always_inline]] void write(u16 address, u8 value) { bus_.write(address, value, ++clock); }
    [[gnu::always_inline]] void dummy_read(u16 address) {
      ++clock;
      if constexpr (requires(Bus& bus) { bus.dummy_read(u16{}, std::int64_t{}); }) bus_.dummy_read(address, clock);
    }
    // An internal cycle: no bus access.
    [[gnu::always_inline]] void idle() { ++clock; }
    // The next program byte.
    [[gnu::always_inline]] u8 fetch() {
      ++clock;
      if constexpr (requires(Bus& bus) { bus.fetch(u16{}, std::int64_t{}); })
        return bus_.fetch(regs.pc++, clock);
      else
        return bus_.read(regs.pc++, clock);
    }
    // The one-byte opcodes' read of the byte after them.
    [[gnu::always_inline]] void dummy_fetch() { dummy_read(regs.pc); }
    // The next two program bytes, low first.
    [[gnu::always_inline]] u16 fetch_word() {
      u8 low = fetch();
      return u16(low | fetch() << 8);
    }

    // --- addressing; each costs the cycles its mode takes before the access ---
    // Direct page offset to address: page 0, or page 1 when P is set. The
    // offset wraps within the page (callers pass u8 sums).
    [[gnu::always_inline]] u16 direct(u8 offset) const { return u16(page_ | offset); }
    // d
    [[gnu::always_inline]] u16 addr_d() { return direct(fetch()); }
    // d+X: the addition takes a cycle.
    [[gnu::always_inline]] u16 addr_dx() {
      u8 offset = fetch();
      idle();
      return direct(u8(offset + regs.x));
    }
    // d+Y
    [[gnu::always_inline]] u16 addr_dy() {
      u8 offset = fetch();
      idle();
      return direct(u8(offset + regs.y));
    }
    // !a
    [[gnu::always_inline]] u16 addr_abs() { return fetch_word(); }
    // !a+X, wrapping at 64 KiB
    [[gnu::always_inline]] u16 addr_absx() {
      u16 base = fetch_word();
      idle();
      return u16(base + regs.x);
    }
    // !a+Y
    [[gnu::always_inline]] u16 addr_absy() {
      u16 base = fetch_word();
      idle();
      return u16(base + regs.y);
    }
    // A little-endian word in the direct page (a pointer, or a word op's
    // operand), low byte first; the high byte wraps within the page.
    [[gnu::always_inline]] u16 read_direct_word(u8 offset) {
      u8 low = read(direct(offset));
      return u16(low | read(direct(u8(offset + 1))) << 8);
    }
    // The same with an internal cycle between the bytes (MOVW YA,d, ADDW, SUBW).
    [[gnu::always_inline]] u16 read_word_split(u8 offset) {
      u8 low = read(direct(offset));
      idle();
      return u16(low | read(direct(u8(offset + 1))) << 8);
    }
    // [d+X]
    [[gnu::always_inline]] u16 addr_indx() {
      u8 offset = fetch();
      idle();
      return read_direct_word(u8(offset + regs.x));
    }
    // [d]+Y, as the loads take it: the cycle before the pointer.
    [[gnu::always_inline]] u16 addr_indy() {
      u8 offset = fetch();
      idle();
      return u16(read_direct_word(offset) + regs.y);
    }
    // [d]+Y, as MOV [d]+Y,A takes it: the cycle after the pointer.
    [[gnu::always_inline]] u16 addr_indy_store() {
      u16 pointer = read_direct_word(fetch());
      idle();
      return u16(pointer + regs.y);
    }
    // (X) and (Y): the byte after the opcode is read and dropped first.
    [[gnu::always_inline]] u16 addr_ix() {
      dummy_fetch();
      return direct(regs.x);
    }
    [[gnu::always_inline]] u16 addr_iy() {
      dummy_fetch();
      return direct(regs.y);
    }
    // m.b of the one-bit instructions: 13-bit address, bit number in the top 3 bits.
    struct bit_operand {
      u16 address;
      u8 mask;
    };
    [[gnu::always_inline]] bit_operand addr_bit() {
      u16 word = fetch_word();
      return {u16(word & 0x1FFF), u8(1u << (word >> 13))};
    }
    // A store: the destination is read (and dropped), then written.
    [[gnu::always_inline]] void store(u16 address, u8 value) {
      dummy_read(address);
      write(address, value);
    }

    // --- the stack, at 0x0100 | SP, growing down ---
    [[gnu::always_inline]] void push(u8 value) { write(u16(0x0100 | regs.sp--), value); }
    [[gnu::always_inline]] u8 pop() { return read(u16(0x0100 | ++regs.sp)); }
    [[gnu::always_inline]] void push_pc() {
      push(u8(regs.pc >> 8));
      push(u8(regs.pc));
    }
    [[gnu::always_inline]] void pop_pc() {
      u8 low = pop();
      regs.pc = u16(low | pop() << 8);
    }
    // The little-endian word at `address` (for TCALL and BRK's vectors, JMP [!a+X]).
    [[gnu::always_inline]] u16 read_word(u16 address) {
      u8 low = read(address);
      return u16(low | read(u16(address + 1)) << 8);
    }
    [[gnu::always_inline]] void idle(int cycles) { clock += cycles; }

    // --- flags ---
    [[gnu::always_inline]] void set_flag(u8 flag, bool on) {
      if (flag == spc700_flag_c) {
        carry_ = on;
        return;
      }
      regs.psw = u8(on ? regs.psw | flag : regs.psw & ~flag);
      if (flag == spc700_flag_p) page_ = on ? 0x100 : 0;
    }
    [[gnu::always_inline]] bool flag(u8 flag) const {
      if (flag == spc700_flag_n) return n_source_ & 0x80;
      if (flag == spc700_flag_z) return z_source_ == 0;
      if (flag == spc700_flag_c) return carry_;
      return regs.psw & flag;
    }
    [[gnu::always_inline]] u8 carry() const { return u8(carry_); }
    [[gnu::always_inline]] void complement_carry() { carry_ ^= 1; }
    // The flags the instructions use most are kept apart while the
    // interpreter runs: N and Z, which nearly every instruction sets and few
    // read, as the value they were last set from (N is bit 7 of n_source_,
    // Z is z_source_ being 0); C as 0 or 1; P as the direct page's address.
    // regs.psw holds the others then (and P); psw() and set_psw() give and
    // take all of them.
    unsigned n_source_ = 0, z_source_ = 1, carry_ = 0;
    u16 page_ = 0;
    [[gnu::always_inline]] u8 psw() const {
      return u8((regs.psw & ~(spc700_flag_n | spc700_flag_z | spc700_flag_c)) |
                (n_source_ & spc700_flag_n) | (z_source_ == 0 ? spc700_flag_z : 0) | carry_);
    }
    [[gnu::always_inline]] void set_psw(u8 value) {
      regs.psw = value;
      n_source_ = value;
      z_source_ = value & spc700_flag_z ? 0 : 1;
      carry_ = value & spc700_flag_c;
      page_ = u16((value & spc700_flag_p) << 3);
    }
    // N and Z from a byte; returns it.
    [[gnu::always_inline]] u8 nz(u8 value) {
      n_source_ = z_source_ = value;
      return value;
    }
    // N and Z from a word.
    [[gnu::always_inline]] void nz16(u16 value) {
      n_source_ = value >> 8;
      z_source_ = value;
    }

    // --- the ALU; each returns the result and sets the flags the manual lists ---
    [[gnu::always_inline]] u8 op_or(u8 a, u8 b) { return nz(a | b); }
    [[gnu::always_inline]] u8 op_and(u8 a, u8 b) { return nz(a & b); }
    [[gnu::always_inline]] u8 op_eor(u8 a, u8 b) { return nz(a ^ b); }
    // NZC from a - b; nothing is stored.
    [[gnu::always_inline]] void op_cmp(u8 a, u8 b) {
      int difference = a - b;
      set_flag(spc700_flag_c, difference >= 0);
      nz(u8(difference));
    }
    // NVHZC.
    [[gnu::always_inline]] u8 op_adc(u8 a, u8 b) {
      int sum = a + b + carry();
      set_flag(spc700_flag_c, sum > 0xFF);
      set_flag(spc700_flag_h, (a ^ b ^ sum) & 0x10);
      set_flag(spc700_flag_v, ~(a ^ b) & (a ^ sum) & 0x80);
      return nz(u8(sum));
    }
    // a - b - !C is a + ~b + C: C and H mean "no borrow".
    [[gnu::always_inline]] u8 op_sbc(u8 a, u8 b) { return op_adc(a, u8(~b)); }
    // NZC.
    [[gnu::always_inline]] u8 op_asl(u8 v) {
      set_flag(spc700_flag_c, v & 0x80);
      return nz(u8(v << 1));
    }
    [[gnu::always_inline]] u8 op_rol(u8 v) {
      u8 result = u8(v << 1 | carry());
      set_flag(spc700_flag_c, v & 0x80);
      return nz(result);
    }
    [[gnu::always_inline]] u8 op_lsr(u8 v) {
      set_flag(spc700_flag_c, v & 0x01);
      return nz(u8(v >> 1));
    }
    [[gnu::always_inline]] u8 op_ror(u8 v) {
      u8 result = u8(v >> 1 | carry() << 7);
      set_flag(spc700_flag_c, v & 0x01);
      return nz(result);
    }
    // NZ.
    [[gnu::always_inline]] u8 op_inc(u8 v) { return nz(u8(v + 1)); }
    [[gnu::always_inline]] u8 op_dec(u8 v) { return nz(u8(v - 1)); }

    // --- instruction shapes used by many opcodes ---
    // Read-modify-write of one byte.
    // The operation is a template argument so that it inlines.
    template <class Op>
    [[gnu::always_inline]] void modify(Op op, u16 address) {
      write(address, (this->*op)(read(address)));
    }
    // `value` (already read) combined into the byte at `target`, written back
    // (OR dd,ds / d,#i / (X),(Y) and their kin).
    template <class Op>
    [[gnu::always_inline]] void combine(Op op, u16 target, u8 value) {
      write(target, (this->*op)(read(target), value));
    }
    // The relative branch operand; taken costs 2 more cycles.
    [[gnu::always_inline]] void branch(bool taken) {
      auto offset = static_cast<std::int8_t>(fetch());
      if (!taken) return;
      idle(2);
      regs.pc = u16(regs.pc + offset);
    }
    [[gnu::always_inline]] u16 ya() const { return u16(regs.y << 8 | regs.a); }
    [[gnu::always_inline]] void set_ya(u16 value) {
      regs.a = u8(value);
      regs.y = u8(value >> 8);
    }
    // YA + value + carry_in as the hardware does it, a byte at a time: C from
    // bit 15, H from bit 11, V from bit 15's signed overflow, NZ from the word.
    [[gnu::always_inline]] u16 add_word(u16 left, u16 right, int carry_in) {
      int sum = left + right + carry_in;
      set_flag(spc700_flag_c, sum > 0xFFFF);
      set_flag(spc700_flag_h, (left ^ right ^ sum) & 0x1000);
      set_flag(spc700_flag_v, ~(left ^ right) & (left ^ sum) & 0x8000);
      nz16(u16(sum));
      return u16(sum);
    }
    // INCW/DECW: low byte written before the high byte is read, as the hardware does.
    [[gnu::always_inline]] void step_word(int delta) {
      u8 offset = fetch();
      u16 low_address = direct(offset), high_address = direct(u8(offset + 1));
      u8 low = read(low_address);
      write(low_address, u8(low + delta));
      u16 result = u16((read(high_address) << 8 | low) + delta);
      write(high_address, u8(result >> 8));
      nz16(result);
    }
    // DIV YA,X. The hardware divider runs 9 subtract-and-shift steps, so a
    // quotient up to 511 comes out right (its ninth bit is V, A keeps the
    // low 8); beyond that, and for X = 0, the steps give the odd values below.
    [[gnu::always_inline]] void divide() {
      unsigned dividend = ya(), divisor = regs.x;
      set_flag(spc700_flag_h, (regs.y & 0x0F) >= (regs.x & 0x0F));
      set_flag(spc700_flag_v, regs.y >= regs.x);
      if (regs.y < divisor * 2) {
        regs.a = u8(dividend / divisor);
        regs.y = u8(dividend % divisor);
      } else {
        unsigned excess = dividend - (divisor << 9);
        regs.a = u8(255 - excess / (256 - divisor));
        regs.y = u8(divisor + excess % (256 - divisor));
      }
      nz(regs.a);
    }
  };
};

template <class Bus>
void spc700_cpu<Bus>::run_instructions(const std::int64_t& until) {
  // Where each opcode's code starts, in opcode order: the labels below, as
  // distances from the first opcode's, so that the table is constant data
  // (label addresses themselves would need relocating at load time). A
  // label missing for any of the 256 opcodes would not compile, and the
  // count is checked below.
#define AT(label) int(static_cast<char*>(&&label) - static_cast<char*>(&&op_0x00))
  static const int dispatch[] = {
      AT(op_0x00), AT(op_0x01), AT(op_0x02), AT(op_0x03), AT(op_0x04), AT(op_0x05), AT(op_0x06), AT(op_0x07),
      AT(op_0x08), AT(op_0x09), AT(op_0x0A), AT(op_0x0B), AT(op_0x0C), AT(op_0x0D), AT(op_0x0E), AT(op_0x0F),
      AT(op_0x10), AT(op_0x11), AT(op_0x12), AT(op_0x13), AT(op_0x14), AT(op_0x15), AT(op_0x16), AT(op_0x17),
      AT(op_0x18), AT(op_0x19), AT(op_0x1A), AT(op_0x1B), AT(op_0x1C), AT(op_0x1D), AT(op_0x1E), AT(op_0x1F),
      AT(op_0x20), AT(op_0x21), AT(op_0x22), AT(op_0x23), AT(op_0x24), AT(op_0x25), AT(op_0x26), AT(op_0x27),
      AT(op_0x28), AT(op_0x29), AT(op_0x2A), AT(op_0x2B), AT(op_0x2C), AT(op_0x2D), AT(op_0x2E), AT(op_0x2F),
      AT(op_0x30), AT(op_0x31), AT(op_0x32), AT(op_0x33), AT(op_0x34), AT(op_0x35), AT(op_0x36), AT(op_0x37),
      AT(op_0x38), AT(op_0x39), AT(op_0x3A), AT(op_0x3B), AT(op_0x3C), AT(op_0x3D), AT(op_0x3E), AT(op_0x3F),
      AT(op_0x40), AT(op_0x41), AT(op_0x42), AT(op_0x43), AT(op_0x44), AT(op_0x45), AT(op_0x46), AT(op_0x47),
      AT(op_0x48), AT(op_0x49), AT(op_0x4A), AT(op_0x4B), AT(op_0x4C), AT(op_0x4D), AT(op_0x4E), AT(op_0x4F),
      AT(op_0x50), AT(op_0x51), AT(op_0x52), AT(op_0x53), AT(op_0x54), AT(op_0x55), AT(op_0x56), AT(op_0x57),
      AT(op_0x58), AT(op_0x59), AT(op_0x5A), AT(op_0x5B), AT(op_0x5C), AT(op_0x5D), AT(op_0x5E), AT(op_0x5F),
      AT(op_0x60), AT(op_0x61), AT(op_0x62), AT(op_0x63), AT(op_0x64), AT(op_0x65), AT(op_0x66), AT(op_0x67),
      AT(op_0x68), AT(op_0x69), AT(op_0x6A), AT(op_0x6B), AT(op_0x6C), AT(op_0x6D), AT(op_0x6E), AT(op_0x6F),
      AT(op_0x70), AT(op_0x71), AT(op_0x72), AT(op_0x73), AT(op_0x74), AT(op_0x75), AT(op_0x76), AT(op_0x77),
      AT(op_0x78), AT(op_0x79), AT(op_0x7A), AT(op_0x7B), AT(op_0x7C), AT(op_0x7D), AT(op_0x7E), AT(op_0x7F),
      AT(op_0x80), AT(op_0x81), AT(op_0x82), AT(op_0x83), AT(op_0x84), AT(op_0x85), AT(op_0x86), AT(op_0x87),
      AT(op_0x88), AT(op_0x89), AT(op_0x8A), AT(op_0x8B), AT(op_0x8C), AT(op_0x8D), AT(op_0x8E), AT(op_0x8F),
      AT(op_0x90), AT(op_0x91), AT(op_0x92), AT(op_0x93), AT(op_0x94), AT(op_0x95), AT(op_0x96), AT(op_0x97),
      AT(op_0x98), AT(op_0x99), AT(op_0x9A), AT(op_0x9B), AT(op_0x9C), AT(op_0x9D), AT(op_0x9E), AT(op_0x9F),
      AT(op_0xA0), AT(op_0xA1), AT(op_0xA2), AT(op_0xA3), AT(op_0xA4), AT(op_0xA5), AT(op_0xA6), AT(op_0xA7),
      AT(op_0xA8), AT(op_0xA9), AT(op_0xAA), AT(op_0xAB), AT(op_0xAC), AT(op_0xAD), AT(op_0xAE), AT(op_0xAF),
      AT(op_0xB0), AT(op_0xB1), AT(op_0xB2), AT(op_0xB3), AT(op_0xB4), AT(op_0xB5), AT(op_0xB6), AT(op_0xB7),
      AT(op_0xB8), AT(op_0xB9), AT(op_0xBA), AT(op_0xBB), AT(op_0xBC), AT(op_0xBD), AT(op_0xBE), AT(op_0xBF),
      AT(op_0xC0), AT(op_0xC1), AT(op_0xC2), AT(op_0xC3), AT(op_0xC4), AT(op_0xC5), AT(op_0xC6), AT(op_0xC7),
      AT(op_0xC8), AT(op_0xC9), AT(op_0xCA), AT(op_0xCB), AT(op_0xCC), AT(op_0xCD), AT(op_0xCE), AT(op_0xCF),
      AT(op_0xD0), AT(op_0xD1), AT(op_0xD2), AT(op_0xD3), AT(op_0xD4), AT(op_0xD5), AT(op_0xD6), AT(op_0xD7),
      AT(op_0xD8), AT(op_0xD9), AT(op_0xDA), AT(op_0xDB), AT(op_0xDC), AT(op_0xDD), AT(op_0xDE), AT(op_0xDF),
      AT(op_0xE0), AT(op_0xE1), AT(op_0xE2), AT(op_0xE3), AT(op_0xE4), AT(op_0xE5), AT(op_0xE6), AT(op_0xE7),
      AT(op_0xE8), AT(op_0xE9), AT(op_0xEA), AT(op_0xEB), AT(op_0xEC), AT(op_0xED), AT(op_0xEE), AT(op_0xEF),
      AT(op_0xF0), AT(op_0xF1), AT(op_0xF2), AT(op_0xF3), AT(op_0xF4), AT(op_0xF5), AT(op_0xF6), AT(op_0xF7),
      AT(op_0xF8), AT(op_0xF9), AT(op_0xFA), AT(op_0xFB), AT(op_0xFC), AT(op_0xFD), AT(op_0xFE), AT(op_0xFF),
  };
#undef AT
  static_assert(sizeof dispatch / sizeof dispatch[0] == 256);

  // SLEEP and STOP end the run at once: the loop only watches the clock.
  if (halt != spc700_halt::running) return;
  core c{bus_, regs, halt, clock, last_started, instructions};
  c.set_psw(regs.psw);  // the flags kept apart while it runs (see core::psw)

  // Scratch for the cases below.
  u16 address;
  u8 value;
  typename core::bit_operand bit;
  u8 opcode;

  // Each opcode's code ends by starting the next instruction itself rather
  // than jumping back to one shared place, so that the processor predicts
  // where each opcode goes next from that opcode alone (a driver's loops
  // run the same few opcodes in the same order, pass after pass).
#define NEXT_INSTRUCTION                                           \
  do {                                                             \
    if (c.clock >= until) goto done;                               \
    c.last_started = c.clock;                                      \
    ++c.instructions;                                              \
    opcode = c.fetch();                                            \
    goto *(static_cast<char*>(&&op_0x00) + dispatch[opcode]);      \
  } while (false)

  // Each opcode lists the bus cycles after its fetch: the addressing functions
  // take their own (see above), idle() is an internal cycle.
  NEXT_INSTRUCTION;
  {
    // ---------------------------------------------------------- 8-bit ALU
    // OR A,d / !a / (X) / [d+X] / #i / d+X / !a+X / !a+Y / [d]+Y
    op_0x04: c.regs.a = c.op_or(c.regs.a, c.read(c.addr_d())); NEXT_INSTRUCTION;
    op_0x05: c.regs.a = c.op_or(c.regs.a, c.read(c.addr_abs())); NEXT_INSTRUCTION;
    op_0x06: c.regs.a = c.op_or(c.regs.a, c.read(c.addr_ix())); NEXT_INSTRUCTION;
    op_0x07: c.regs.a = c.op_or(c.regs.a, c.read(c.addr_indx())); NEXT_INSTRUCTION;
    op_0x08: c.regs.a = c.op_or(c.regs.a, c.fetch()); NEXT_INSTRUCTION;
    op_0x14: c.regs.a = c.op_or(c.regs.a, c.read(c.addr_dx())); NEXT_INSTRUCTION;
    op_0x15: c.regs.a = c.op_or(c.regs.a, c.read(c.addr_absx())); NEXT_INSTRUCTION;
    op_0x16: c.regs.a = c.op_or(c.regs.a, c.read(c.addr_absy())); NEXT_INSTRUCTION;
    op_0x17: c.regs.a = c.op_or(c.regs.a, c.read(c.addr_indy())); NEXT_INSTRUCTION;
    // OR dd,ds (operands: source, then destination)
    op_0x09: value = c.read(c.addr_d()); c.combine(&core::op_or, c.addr_d(), value); NEXT_INSTRUCTION;
    // OR d,#i (operands: immediate, then destination)
    op_0x18: value = c.fetch(); c.combine(&core::op_or, c.addr_d(), value); NEXT_INSTRUCTION;
    // OR (X),(Y)
    op_0x19: value = c.read(c.addr_iy()); c.combine(&core::op_or, c.direct(c.regs.x), value); NEXT_INSTRUCTION;

    // AND A,...
    op_0x24: c.regs.a = c.op_and(c.regs.a, c.read(c.addr_d())); NEXT_INSTRUCTION;
    op_0x25: c.regs.a = c.op_and(c.regs.a, c.read(c.addr_abs())); NEXT_INSTRUCTION;
    op_0x26: c.regs.a = c.op_and(c.regs.a, c.read(c.addr_ix())); NEXT_INSTRUCTION;
    op_0x27: c.regs.a = c.op_and(c.regs.a, c.read(c.addr_indx())); NEXT_INSTRUCTION;
    op_0x28: c.regs.a = c.op_and(c.regs.a, c.fetch()); NEXT_INSTRUCTION;
    op_0x34: c.regs.a = c.op_and(c.regs.a, c.read(c.addr_dx())); NEXT_INSTRUCTION;
    op_0x35: c.regs.a = c.op_and(c.regs.a, c.read(c.addr_absx())); NEXT_INSTRUCTION;
    op_0x36: c.regs.a = c.op_and(c.regs.a, c.read(c.addr_absy())); NEXT_INSTRUCTION;
    op_0x37: c.regs.a = c.op_and(c.regs.a, c.read(c.addr_indy())); NEXT_INSTRUCTION;
    // AND dd,ds / AND d,#i / AND (X),(Y)
    op_0x29: value = c.read(c.addr_d()); c.combine(&core::op_and, c.addr_d(), value); NEXT_INSTRUCTION;
    op_0x38: value = c.fetch(); c.combine(&core::op_and, c.addr_d(), value); NEXT_INSTRUCTION;
    op_0x39: value = c.read(c.addr_iy()); c.combine(&core::op_and, c.direct(c.regs.x), value); NEXT_INSTRUCTION;

    // EOR A,...
    op_0x44: c.regs.a = c.op_eor(c.regs.a, c.read(c.addr_d())); NEXT_INSTRUCTION;
    op_0x45: c.regs.a = c.op_eor(c.regs.a, c.read(c.addr_abs())); NEXT_INSTRUCTION;
    op_0x46: c.regs.a = c.op_eor(c.regs.a, c.read(c.addr_ix())); NEXT_INSTRUCTION;
    op_0x47: c.regs.a = c.op_eor(c.regs.a, c.read(c.addr_indx())); NEXT_INSTRUCTION;
    op_0x48: c.regs.a = c.op_eor(c.regs.a, c.fetch()); NEXT_INSTRUCTION;
    op_0x54: c.regs.a = c.op_eor(c.regs.a, c.read(c.addr_dx())); NEXT_INSTRUCTION;
    op_0x55: c.regs.a = c.op_eor(c.regs.a, c.read(c.addr_absx())); NEXT_INSTRUCTION;
    op_0x56: c.regs.a = c.op_eor(c.regs.a, c.read(c.addr_absy())); NEXT_INSTRUCTION;
    op_0x57: c.regs.a = c.op_eor(c.regs.a, c.read(c.addr_indy())); NEXT_INSTRUCTION;
    // EOR dd,ds / EOR d,#i / EOR (X),(Y)
    op_0x49: value = c.read(c.addr_d()); c.combine(&core::op_eor, c.addr_d(), value); NEXT_INSTRUCTION;
    op_0x58: value = c.fetch(); c.combine(&core::op_eor, c.addr_d(), value); NEXT_INSTRUCTION;
    op_0x59: value = c.read(c.addr_iy()); c.combine(&core::op_eor, c.direct(c.regs.x), value); NEXT_INSTRUCTION;

    // CMP A,...
    op_0x64: c.op_cmp(c.regs.a, c.read(c.addr_d())); NEXT_INSTRUCTION;
    op_0x65: c.op_cmp(c.regs.a, c.read(c.addr_abs())); NEXT_INSTRUCTION;
    op_0x66: c.op_cmp(c.regs.a, c.read(c.addr_ix())); NEXT_INSTRUCTION;
    op_0x67: c.op_cmp(c.regs.a, c.read(c.addr_indx())); NEXT_INSTRUCTION;
    op_0x68: c.op_cmp(c.regs.a, c.fetch()); NEXT_INSTRUCTION;
    op_0x74: c.op_cmp(c.regs.a, c.read(c.addr_dx())); NEXT_INSTRUCTION;
    op_0x75: c.op_cmp(c.regs.a, c.read(c.addr_absx())); NEXT_INSTRUCTION;
    op_0x76: c.op_cmp(c.regs.a, c.read(c.addr_absy())); NEXT_INSTRUCTION;
    op_0x77: c.op_cmp(c.regs.a, c.read(c.addr_indy())); NEXT_INSTRUCTION;
    // CMP dd,ds / CMP d,#i / CMP (X),(Y): compare only; a cycle where the others write
    op_0x69: value = c.read(c.addr_d()); c.op_cmp(c.read(c.addr_d()), value); c.idle(); NEXT_INSTRUCTION;
    op_0x78: value = c.fetch(); c.op_cmp(c.read(c.addr_d()), value); c.idle(); NEXT_INSTRUCTION;
    op_0x79: value = c.read(c.addr_iy()); c.op_cmp(c.read(c.direct(c.regs.x)), value); c.idle(); NEXT_INSTRUCTION;
    // CMP X,#i / d / !a and CMP Y,#i / d / !a
    op_0xC8: c.op_cmp(c.regs.x, c.fetch()); NEXT_INSTRUCTION;
    op_0x3E: c.op_cmp(c.regs.x, c.read(c.addr_d())); NEXT_INSTRUCTION;
    op_0x1E: c.op_cmp(c.regs.x, c.read(c.addr_abs())); NEXT_INSTRUCTION;
    op_0xAD: c.op_cmp(c.regs.y, c.fetch()); NEXT_INSTRUCTION;
    op_0x7E: c.op_cmp(c.regs.y, c.read(c.addr_d())); NEXT_INSTRUCTION;
    op_0x5E: c.op_cmp(c.regs.y, c.read(c.addr_abs())); NEXT_INSTRUCTION;

    // ADC A,...
    op_0x84: c.regs.a = c.op_adc(c.regs.a, c.read(c.addr_d())); NEXT_INSTRUCTION;
    op_0x85: c.regs.a = c.op_adc(c.regs.a, c.read(c.addr_abs())); NEXT_INSTRUCTION;
    op_0x86: c.regs.a = c.op_adc(c.regs.a, c.read(c.addr_ix())); NEXT_INSTRUCTION;
    op_0x87: c.regs.a = c.op_adc(c.regs.a, c.read(c.addr_indx())); NEXT_INSTRUCTION;
    op_0x88: c.regs.a = c.op_adc(c.regs.a, c.fetch()); NEXT_INSTRUCTION;
    op_0x94: c.regs.a = c.op_adc(c.regs.a, c.read(c.addr_dx())); NEXT_INSTRUCTION;
    op_0x95: c.regs.a = c.op_adc(c.regs.a, c.read(c.addr_absx())); NEXT_INSTRUCTION;
    op_0x96: c.regs.a = c.op_adc(c.regs.a, c.read(c.addr_absy())); NEXT_INSTRUCTION;
    op_0x97: c.regs.a = c.op_adc(c.regs.a, c.read(c.addr_indy())); NEXT_INSTRUCTION;
    // ADC dd,ds / ADC d,#i / ADC (X),(Y)
    op_0x89: value = c.read(c.addr_d()); c.combine(&core::op_adc, c.addr_d(), value); NEXT_INSTRUCTION;
    op_0x98: value = c.fetch(); c.combine(&core::op_adc, c.addr_d(), value); NEXT_INSTRUCTION;
    op_0x99: value = c.read(c.addr_iy()); c.combine(&core::op_adc, c.direct(c.regs.x), value); NEXT_INSTRUCTION;

    // SBC A,...
    op_0xA4: c.regs.a = c.op_sbc(c.regs.a, c.read(c.addr_d())); NEXT_INSTRUCTION;
    op_0xA5: c.regs.a = c.op_sbc(c.regs.a, c.read(c.addr_abs())); NEXT_INSTRUCTION;
    op_0xA6: c.regs.a = c.op_sbc(c.regs.a, c.read(c.addr_ix())); NEXT_INSTRUCTION;
    op_0xA7: c.regs.a = c.op_sbc(c.regs.a, c.read(c.addr_indx())); NEXT_INSTRUCTION;
    op_0xA8: c.regs.a = c.op_sbc(c.regs.a, c.fetch()); NEXT_INSTRUCTION;
    op_0xB4: c.regs.a = c.op_sbc(c.regs.a, c.read(c.addr_dx())); NEXT_INSTRUCTION;
    op_0xB5: c.regs.a = c.op_sbc(c.regs.a, c.read(c.addr_absx())); NEXT_INSTRUCTION;
    op_0xB6: c.regs.a = c.op_sbc(c.regs.a, c.read(c.addr_absy())); NEXT_INSTRUCTION;
    op_0xB7: c.regs.a = c.op_sbc(c.regs.a, c.read(c.addr_indy())); NEXT_INSTRUCTION;
    // SBC dd,ds / SBC d,#i / SBC (X),(Y)
    op_0xA9: value = c.read(c.addr_d()); c.combine(&core::op_sbc, c.addr_d(), value); NEXT_INSTRUCTION;
    op_0xB8: value = c.fetch(); c.combine(&core::op_sbc, c.addr_d(), value); NEXT_INSTRUCTION;
    op_0xB9: value = c.read(c.addr_iy()); c.combine(&core::op_sbc, c.direct(c.regs.x), value); NEXT_INSTRUCTION;

    // ------------------------------------------------- shifts and rotates
    // ASL d / !a / d+X / A
    op_0x0B: c.modify(&core::op_asl, c.addr_d()); NEXT_INSTRUCTION;
    op_0x0C: c.modify(&core::op_asl, c.addr_abs()); NEXT_INSTRUCTION;
    op_0x1B: c.modify(&core::op_asl, c.addr_dx()); NEXT_INSTRUCTION;
    op_0x1C: c.dummy_fetch(); c.regs.a = c.op_asl(c.regs.a); NEXT_INSTRUCTION;
    // ROL d / !a / d+X / A
    op_0x2B: c.modify(&core::op_rol, c.addr_d()); NEXT_INSTRUCTION;
    op_0x2C: c.modify(&core::op_rol, c.addr_abs()); NEXT_INSTRUCTION;
    op_0x3B: c.modify(&core::op_rol, c.addr_dx()); NEXT_INSTRUCTION;
    op_0x3C: c.dummy_fetch(); c.regs.a = c.op_rol(c.regs.a); NEXT_INSTRUCTION;
    // LSR d / !a / d+X / A
    op_0x4B: c.modify(&core::op_lsr, c.addr_d()); NEXT_INSTRUCTION;
    op_0x4C: c.modify(&core::op_lsr, c.addr_abs()); NEXT_INSTRUCTION;
    op_0x5B: c.modify(&core::op_lsr, c.addr_dx()); NEXT_INSTRUCTION;
    op_0x5C: c.dummy_fetch(); c.regs.a = c.op_lsr(c.regs.a); NEXT_INSTRUCTION;
    // ROR d / !a / d+X / A
    op_0x6B: c.modify(&core::op_ror, c.addr_d()); NEXT_INSTRUCTION;
    op_0x6C: c.modify(&core::op_ror, c.addr_abs()); NEXT_INSTRUCTION;
    op_0x7B: c.modify(&core::op_ror, c.addr_dx()); NEXT_INSTRUCTION;
    op_0x7C: c.dummy_fetch(); c.regs.a = c.op_ror(c.regs.a); NEXT_INSTRUCTION;
    // XCN A: swap A's nibbles
    op_0x9F: c.dummy_fetch(); c.idle(3); c.regs.a = c.nz(u8(c.regs.a >> 4 | c.regs.a << 4)); NEXT_INSTRUCTION;

    // -------------------------------------------------- increment, decrement
    // INC d / !a / d+X / A / X / Y
    op_0xAB: c.modify(&core::op_inc, c.addr_d()); NEXT_INSTRUCTION;
    op_0xAC: c.modify(&core::op_inc, c.addr_abs()); NEXT_INSTRUCTION;
    op_0xBB: c.modify(&core::op_inc, c.addr_dx()); NEXT_INSTRUCTION;
    op_0xBC: c.dummy_fetch(); c.regs.a = c.op_inc(c.regs.a); NEXT_INSTRUCTION;
    op_0x3D: c.dummy_fetch(); c.regs.x = c.op_inc(c.regs.x); NEXT_INSTRUCTION;
    op_0xFC: c.dummy_fetch(); c.regs.y = c.op_inc(c.regs.y); NEXT_INSTRUCTION;
    // DEC d / !a / d+X / A / X / Y
    op_0x8B: c.modify(&core::op_dec, c.addr_d()); NEXT_INSTRUCTION;
    op_0x8C: c.modify(&core::op_dec, c.addr_abs()); NEXT_INSTRUCTION;
    op_0x9B: c.modify(&core::op_dec, c.addr_dx()); NEXT_INSTRUCTION;
    op_0x9C: c.dummy_fetch(); c.regs.a = c.op_dec(c.regs.a); NEXT_INSTRUCTION;
    op_0x1D: c.dummy_fetch(); c.regs.x = c.op_dec(c.regs.x); NEXT_INSTRUCTION;
    op_0xDC: c.dummy_fetch(); c.regs.y = c.op_dec(c.regs.y); NEXT_INSTRUCTION;

    // ------------------------------------------------------------- loads
    // MOV A,d / !a / (X) / [d+X] / #i / d+X / !a+X / !a+Y / [d]+Y / (X)+
    op_0xE4: c.regs.a = c.nz(c.read(c.addr_d())); NEXT_INSTRUCTION;
    op_0xE5: c.regs.a = c.nz(c.read(c.addr_abs())); NEXT_INSTRUCTION;
    op_0xE6: c.regs.a = c.nz(c.read(c.addr_ix())); NEXT_INSTRUCTION;
    op_0xE7: c.regs.a = c.nz(c.read(c.addr_indx())); NEXT_INSTRUCTION;
    op_0xE8: c.regs.a = c.nz(c.fetch()); NEXT_INSTRUCTION;
    op_0xF4: c.regs.a = c.nz(c.read(c.addr_dx())); NEXT_INSTRUCTION;
    op_0xF5: c.regs.a = c.nz(c.read(c.addr_absx())); NEXT_INSTRUCTION;
    op_0xF6: c.regs.a = c.nz(c.read(c.addr_absy())); NEXT_INSTRUCTION;
    op_0xF7: c.regs.a = c.nz(c.read(c.addr_indy())); NEXT_INSTRUCTION;
    op_0xBF: c.regs.a = c.nz(c.read(c.addr_ix())); c.idle(); c.regs.x++; NEXT_INSTRUCTION;
    // MOV X,#i / d / d+Y / !a
    op_0xCD: c.regs.x = c.nz(c.fetch()); NEXT_INSTRUCTION;
    op_0xF8: c.regs.x = c.nz(c.read(c.addr_d())); NEXT_INSTRUCTION;
    op_0xF9: c.regs.x = c.nz(c.read(c.addr_dy())); NEXT_INSTRUCTION;
    op_0xE9: c.regs.x = c.nz(c.read(c.addr_abs())); NEXT_INSTRUCTION;
    // MOV Y,#i / d / d+X / !a
    op_0x8D: c.regs.y = c.nz(c.fetch()); NEXT_INSTRUCTION;
    op_0xEB: c.regs.y = c.nz(c.read(c.addr_d())); NEXT_INSTRUCTION;
    op_0xFB: c.regs.y = c.nz(c.read(c.addr_dx())); NEXT_INSTRUCTION;
    op_0xEC: c.regs.y = c.nz(c.read(c.addr_abs())); NEXT_INSTRUCTION;

    // ------------------------------------------------------------ stores
    // MOV d / !a / (X) / [d+X] / d+X / !a+X / !a+Y / [d]+Y, A
    op_0xC4: c.store(c.addr_d(), c.regs.a); NEXT_INSTRUCTION;
    op_0xC5: c.store(c.addr_abs(), c.regs.a); NEXT_INSTRUCTION;
    op_0xC6: c.store(c.addr_ix(), c.regs.a); NEXT_INSTRUCTION;
    op_0xC7: c.store(c.addr_indx(), c.regs.a); NEXT_INSTRUCTION;
    op_0xD4: c.store(c.addr_dx(), c.regs.a); NEXT_INSTRUCTION;
    op_0xD5: c.store(c.addr_absx(), c.regs.a); NEXT_INSTRUCTION;
    op_0xD6: c.store(c.addr_absy(), c.regs.a); NEXT_INSTRUCTION;
    op_0xD7: c.store(c.addr_indy_store(), c.regs.a); NEXT_INSTRUCTION;
    // MOV (X)+,A: a cycle for the increment instead of the read
    op_0xAF: c.dummy_fetch(); c.idle(); c.write(c.direct(c.regs.x), c.regs.a); c.regs.x++; NEXT_INSTRUCTION;
    // MOV d / d+Y / !a, X
    op_0xD8: c.store(c.addr_d(), c.regs.x); NEXT_INSTRUCTION;
    op_0xD9: c.store(c.addr_dy(), c.regs.x); NEXT_INSTRUCTION;
    op_0xC9: c.store(c.addr_abs(), c.regs.x); NEXT_INSTRUCTION;
    // MOV d / d+X / !a, Y
    op_0xCB: c.store(c.addr_d(), c.regs.y); NEXT_INSTRUCTION;
    op_0xDB: c.store(c.addr_dx(), c.regs.y); NEXT_INSTRUCTION;
    op_0xCC: c.store(c.addr_abs(), c.regs.y); NEXT_INSTRUCTION;
    // MOV d,#i (operands: immediate, then destination)
    op_0x8F: value = c.fetch(); c.store(c.addr_d(), value); NEXT_INSTRUCTION;
    // MOV dd,ds (operands: source, then destination); no flags, no read of the destination
    op_0xFA: value = c.read(c.addr_d()); c.write(c.addr_d(), value); NEXT_INSTRUCTION;

    // ------------------------------------------------- register transfers
    // MOV A,X / A,Y / X,A / Y,A / X,SP: NZ; MOV SP,X: no flags
    op_0x7D: c.dummy_fetch(); c.regs.a = c.nz(c.regs.x); NEXT_INSTRUCTION;
    op_0xDD: c.dummy_fetch(); c.regs.a = c.nz(c.regs.y); NEXT_INSTRUCTION;
    op_0x5D: c.dummy_fetch(); c.regs.x = c.nz(c.regs.a); NEXT_INSTRUCTION;
    op_0xFD: c.dummy_fetch(); c.regs.y = c.nz(c.regs.a); NEXT_INSTRUCTION;
    op_0x9D: c.dummy_fetch(); c.regs.x = c.nz(c.regs.sp); NEXT_INSTRUCTION;
    op_0xBD: c.dummy_fetch(); c.regs.sp = c.regs.x; NEXT_INSTRUCTION;

    // ------------------------------------------------------- 16-bit ops
    // MOVW YA,d: NZ from the word; a cycle between the bytes
    op_0xBA: c.set_ya(c.read_word_split(c.fetch())); c.nz16(c.ya()); NEXT_INSTRUCTION;
    // MOVW d,YA: low byte (read first), then high; no flags
    op_0xDA: {
      u8 offset = c.fetch();
      c.store(c.direct(offset), c.regs.a);
      c.write(c.direct(u8(offset + 1)), c.regs.y);
      NEXT_INSTRUCTION;
    }
    // INCW d / DECW d: NZ from the word
    op_0x3A: c.step_word(1); NEXT_INSTRUCTION;
    op_0x1A: c.step_word(-1); NEXT_INSTRUCTION;
    // ADDW YA,d: NVHZC, carry in ignored
    op_0x7A: c.set_ya(c.add_word(c.ya(), c.read_word_split(c.fetch()), 0)); NEXT_INSTRUCTION;
    // SUBW YA,d: YA + ~d + 1, so C and H mean "no borrow"
    op_0x9A: c.set_ya(c.add_word(c.ya(), u16(~c.read_word_split(c.fetch())), 1)); NEXT_INSTRUCTION;
    // CMPW YA,d: NZC
    op_0x5A: {
      int difference = c.ya() - c.read_direct_word(c.fetch());
      c.set_flag(spc700_flag_c, difference >= 0);
      c.nz16(u16(difference));
      NEXT_INSTRUCTION;
    }
    // MUL YA: YA = Y * A; NZ from Y
    op_0xCF: c.dummy_fetch(); c.idle(7); c.set_ya(u16(c.regs.y * c.regs.a)); c.nz(c.regs.y); NEXT_INSTRUCTION;
    // DIV YA,X: A = quotient, Y = remainder; NVHZ
    op_0x9E: c.dummy_fetch(); c.idle(10); c.divide(); NEXT_INSTRUCTION;

    // -------------------------------------------------- decimal adjust
    // DAA A: after ADC of two BCD bytes; H is read, not changed
    op_0xDF:
      c.dummy_fetch();
      c.idle();
      if (c.flag(spc700_flag_c) || c.regs.a > 0x99) {
        c.regs.a = u8(c.regs.a + 0x60);
        c.set_flag(spc700_flag_c, true);
      }
      if (c.flag(spc700_flag_h) || (c.regs.a & 0x0F) > 9) c.regs.a = u8(c.regs.a + 0x06);
      c.nz(c.regs.a);
      NEXT_INSTRUCTION;
    // DAS A: after SBC of two BCD bytes; C and H clear mean a borrow
    op_0xBE:
      c.dummy_fetch();
      c.idle();
      if (!c.flag(spc700_flag_c) || c.regs.a > 0x99) {
        c.regs.a = u8(c.regs.a - 0x60);
        c.set_flag(spc700_flag_c, false);
      }
      if (!c.flag(spc700_flag_h) || (c.regs.a & 0x0F) > 9) c.regs.a = u8(c.regs.a - 0x06);
      c.nz(c.regs.a);
      NEXT_INSTRUCTION;

    // ---------------------------------------------------------- branches
    // BRA r
    op_0x2F: c.branch(true); NEXT_INSTRUCTION;
    // BPL / BMI / BVC / BVS / BCC / BCS / BNE / BEQ r
    op_0x10: c.branch(!c.flag(spc700_flag_n)); NEXT_INSTRUCTION;
    op_0x30: c.branch(c.flag(spc700_flag_n)); NEXT_INSTRUCTION;
    op_0x50: c.branch(!c.flag(spc700_flag_v)); NEXT_INSTRUCTION;
    op_0x70: c.branch(c.flag(spc700_flag_v)); NEXT_INSTRUCTION;
    op_0x90: c.branch(!c.flag(spc700_flag_c)); NEXT_INSTRUCTION;
    op_0xB0: c.branch(c.flag(spc700_flag_c)); NEXT_INSTRUCTION;
    op_0xD0: c.branch(!c.flag(spc700_flag_z)); NEXT_INSTRUCTION;
    op_0xF0: c.branch(c.flag(spc700_flag_z)); NEXT_INSTRUCTION;
    // BBS d.b,r (opcode b*32 + 0x03) / BBC d.b,r (b*32 + 0x13)
    op_0x03: op_0x23: op_0x43: op_0x63: op_0x83: op_0xA3: op_0xC3: op_0xE3:
    op_0x13: op_0x33: op_0x53: op_0x73: op_0x93: op_0xB3: op_0xD3: op_0xF3: {
      bool set = c.read(c.addr_d()) & (1u << (opcode >> 5));
      c.idle();
      c.branch(set == !(opcode & 0x10));
      NEXT_INSTRUCTION;
    }
    // CBNE d,r / d+X,r: branch when A differs from the byte; no flags
    op_0x2E: value = c.read(c.addr_d()); c.idle(); c.branch(c.regs.a != value); NEXT_INSTRUCTION;
    op_0xDE: value = c.read(c.addr_dx()); c.idle(); c.branch(c.regs.a != value); NEXT_INSTRUCTION;
    // DBNZ d,r: decrement the byte, branch unless it is 0; no flags
    op_0x6E:
      address = c.addr_d();
      value = u8(c.read(address) - 1);
      c.write(address, value);
      c.branch(value != 0);
      NEXT_INSTRUCTION;
    // DBNZ Y,r
    op_0xFE: c.dummy_fetch(); c.idle(); c.branch(--c.regs.y != 0); NEXT_INSTRUCTION;

    // ------------------------------------------------ jumps and calls
    // JMP !a / [!a+X]
    op_0x5F: c.regs.pc = c.addr_abs(); NEXT_INSTRUCTION;
    op_0x1F: c.regs.pc = c.read_word(c.addr_absx()); NEXT_INSTRUCTION;
    // CALL !a
    op_0x3F: address = c.addr_abs(); c.idle(); c.push_pc(); c.idle(2); c.regs.pc = address; NEXT_INSTRUCTION;
    // PCALL u: call 0xFF00 + u
    op_0x4F: value = c.fetch(); c.idle(); c.push_pc(); c.idle(); c.regs.pc = u16(0xFF00 | value); NEXT_INSTRUCTION;
    // TCALL n (opcode n*16 + 0x01): call the vector at 0xFFDE - 2n
    op_0x01: op_0x11: op_0x21: op_0x31: op_0x41: op_0x51: op_0x61: op_0x71:
    op_0x81: op_0x91: op_0xA1: op_0xB1: op_0xC1: op_0xD1: op_0xE1: op_0xF1:
      c.dummy_fetch();
      c.idle();
      c.push_pc();
      c.idle();
      c.regs.pc = c.read_word(u16(0xFFDE - 2 * (opcode >> 4)));
      NEXT_INSTRUCTION;
    // BRK: push PC and PSW, B on, I off, jump through 0xFFDE
    op_0x0F:
      c.dummy_fetch();
      c.push_pc();
      c.push(c.psw());
      c.idle();
      c.set_flag(spc700_flag_b, true);
      c.set_flag(spc700_flag_i, false);
      c.regs.pc = c.read_word(0xFFDE);
      NEXT_INSTRUCTION;
    // RET
    op_0x6F: c.dummy_fetch(); c.idle(); c.pop_pc(); NEXT_INSTRUCTION;
    // RETI: PSW, then PC
    op_0x7F: c.dummy_fetch(); c.idle(); c.set_psw(c.pop()); c.pop_pc(); NEXT_INSTRUCTION;

    // -------------------------------------------------------------- stack
    // PUSH A / X / Y / PSW: the write, then a cycle for SP
    op_0x2D: c.dummy_fetch(); c.push(c.regs.a); c.idle(); NEXT_INSTRUCTION;
    op_0x4D: c.dummy_fetch(); c.push(c.regs.x); c.idle(); NEXT_INSTRUCTION;
    op_0x6D: c.dummy_fetch(); c.push(c.regs.y); c.idle(); NEXT_INSTRUCTION;
    op_0x0D: c.dummy_fetch(); c.push(c.psw()); c.idle(); NEXT_INSTRUCTION;
    // POP A / X / Y / PSW: a cycle for SP, then the read; no flags except PSW itself
    op_0xAE: c.dummy_fetch(); c.idle(); c.regs.a = c.pop(); NEXT_INSTRUCTION;
    op_0xCE: c.dummy_fetch(); c.idle(); c.regs.x = c.pop(); NEXT_INSTRUCTION;
    op_0xEE: c.dummy_fetch(); c.idle(); c.regs.y = c.pop(); NEXT_INSTRUCTION;
    op_0x8E: c.dummy_fetch(); c.idle(); c.set_psw(c.pop()); NEXT_INSTRUCTION;

    // ---------------------------------------------------------- bit ops
    // SET1 d.b (opcode b*32 + 0x02) / CLR1 d.b (b*32 + 0x12)
    op_0x02: op_0x22: op_0x42: op_0x62: op_0x82: op_0xA2: op_0xC2: op_0xE2:
    op_0x12: op_0x32: op_0x52: op_0x72: op_0x92: op_0xB2: op_0xD2: op_0xF2: {
      u8 mask = u8(1u << (opcode >> 5));
      address = c.addr_d();
      value = c.read(address);
      c.write(address, (opcode & 0x10) ? u8(value & ~mask) : u8(value | mask));
      NEXT_INSTRUCTION;
    }
    // TSET1 !a / TCLR1 !a: NZ from A - byte, then set / clear A's bits in the byte
    op_0x0E:
    op_0x4E: {
      address = c.addr_abs();
      value = c.read(address);
      c.nz(u8(c.regs.a - value));
      c.store(address, opcode == 0x0E ? u8(value | c.regs.a) : u8(value & ~c.regs.a));
      NEXT_INSTRUCTION;
    }
    // AND1 C,m.b / AND1 C,/m.b
    op_0x4A: bit = c.addr_bit(); if (!(c.read(bit.address) & bit.mask)) c.set_flag(spc700_flag_c, false); NEXT_INSTRUCTION;
    op_0x6A: bit = c.addr_bit(); if (c.read(bit.address) & bit.mask) c.set_flag(spc700_flag_c, false); NEXT_INSTRUCTION;
    // OR1 C,m.b / OR1 C,/m.b
    op_0x0A: bit = c.addr_bit(); if (c.read(bit.address) & bit.mask) c.set_flag(spc700_flag_c, true); c.idle(); NEXT_INSTRUCTION;
    op_0x2A: bit = c.addr_bit(); if (!(c.read(bit.address) & bit.mask)) c.set_flag(spc700_flag_c, true); c.idle(); NEXT_INSTRUCTION;
    // EOR1 C,m.b
    op_0x8A: bit = c.addr_bit(); if (c.read(bit.address) & bit.mask) c.complement_carry(); c.idle(); NEXT_INSTRUCTION;
    // NOT1 m.b
    op_0xEA: bit = c.addr_bit(); c.write(bit.address, u8(c.read(bit.address) ^ bit.mask)); NEXT_INSTRUCTION;
    // MOV1 C,m.b
    op_0xAA: bit = c.addr_bit(); c.set_flag(spc700_flag_c, c.read(bit.address) & bit.mask); NEXT_INSTRUCTION;
    // MOV1 m.b,C
    op_0xCA:
      bit = c.addr_bit();
      value = c.read(bit.address);
      c.idle();
      c.write(bit.address, c.carry() ? u8(value | bit.mask) : u8(value & ~bit.mask));
      NEXT_INSTRUCTION;

    // -------------------------------------------------------------- flags
    // CLRC / SETC / NOTC
    op_0x60: c.dummy_fetch(); c.set_flag(spc700_flag_c, false); NEXT_INSTRUCTION;
    op_0x80: c.dummy_fetch(); c.set_flag(spc700_flag_c, true); NEXT_INSTRUCTION;
    op_0xED: c.dummy_fetch(); c.idle(); c.complement_carry(); NEXT_INSTRUCTION;
    // CLRV: clears V and H
    op_0xE0: c.dummy_fetch(); c.regs.psw &= u8(~(spc700_flag_v | spc700_flag_h)); NEXT_INSTRUCTION;
    // CLRP / SETP: direct page 0 / 1
    op_0x20: c.dummy_fetch(); c.set_flag(spc700_flag_p, false); NEXT_INSTRUCTION;
    op_0x40: c.dummy_fetch(); c.set_flag(spc700_flag_p, true); NEXT_INSTRUCTION;
    // EI / DI
    op_0xA0: c.dummy_fetch(); c.idle(); c.set_flag(spc700_flag_i, true); NEXT_INSTRUCTION;
    op_0xC0: c.dummy_fetch(); c.idle(); c.set_flag(spc700_flag_i, false); NEXT_INSTRUCTION;

    // -------------------------------------------------------------- other
    // NOP
    op_0x00: c.dummy_fetch(); NEXT_INSTRUCTION;
    // SLEEP / STOP: wait for an interrupt that never comes
    op_0xEF: c.dummy_fetch(); c.idle(); c.halt = spc700_halt::sleep; goto done;
    op_0xFF: c.dummy_fetch(); c.idle(); c.halt = spc700_halt::stop; goto done;
  }
#undef NEXT_INSTRUCTION
done:
  c.regs.psw = c.psw();
  regs = c.regs;
  halt = c.halt;
  clock = c.clock;
  last_started = c.last_started;
  instructions = c.instructions;
}
