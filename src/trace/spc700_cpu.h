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
    execute();
    return int(clock - started);
  }

 private:
  Bus& bus_;

  void execute();

  // --- the bus, one cycle per call ---
  u8 read(u16 address) { return bus_.read(address, ++clock); }
  void write(u16 address, u8 value) { bus_.write(address, value, ++clock); }
  void dummy_read(u16 address) {
    ++clock;
    if constexpr (requires(Bus& bus) { bus.dummy_read(u16{}, std::int64_t{}); }) bus_.dummy_read(address, clock);
  }
  // An internal cycle: no bus access.
  void idle() { ++clock; }
  // The next program byte.
  u8 fetch() {
    ++clock;
    if constexpr (requires(Bus& bus) { bus.fetch(u16{}, std::int64_t{}); })
      return bus_.fetch(regs.pc++, clock);
    else
      return bus_.read(regs.pc++, clock);
  }
  // The one-byte opcodes' read of the byte after them.
  void dummy_fetch() { dummy_read(regs.pc); }
  // The next two program bytes, low first.
  u16 fetch_word() {
    u8 low = fetch();
    return u16(low | fetch() << 8);
  }

  // --- addressing; each costs the cycles its mode takes before the access ---
  // Direct page offset to address: page 0, or page 1 when P is set. The
  // offset wraps within the page (callers pass u8 sums).
  u16 direct(u8 offset) const { return u16((regs.psw & spc700_flag_p) << 3 | offset); }
  // d
  u16 addr_d() { return direct(fetch()); }
  // d+X: the addition takes a cycle.
  u16 addr_dx() {
    u8 offset = fetch();
    idle();
    return direct(u8(offset + regs.x));
  }
  // d+Y
  u16 addr_dy() {
    u8 offset = fetch();
    idle();
    return direct(u8(offset + regs.y));
  }
  // !a
  u16 addr_abs() { return fetch_word(); }
  // !a+X, wrapping at 64 KiB
  u16 addr_absx() {
    u16 base = fetch_word();
    idle();
    return u16(base + regs.x);
  }
  // !a+Y
  u16 addr_absy() {
    u16 base = fetch_word();
    idle();
    return u16(base + regs.y);
  }
  // A little-endian word in the direct page (a pointer, or a word op's
  // operand), low byte first; the high byte wraps within the page.
  u16 read_direct_word(u8 offset) {
    u8 low = read(direct(offset));
    return u16(low | read(direct(u8(offset + 1))) << 8);
  }
  // The same with an internal cycle between the bytes (MOVW YA,d, ADDW, SUBW).
  u16 read_word_split(u8 offset) {
    u8 low = read(direct(offset));
    idle();
    return u16(low | read(direct(u8(offset + 1))) << 8);
  }
  // [d+X]
  u16 addr_indx() {
    u8 offset = fetch();
    idle();
    return read_direct_word(u8(offset + regs.x));
  }
  // [d]+Y, as the loads take it: the cycle before the pointer.
  u16 addr_indy() {
    u8 offset = fetch();
    idle();
    return u16(read_direct_word(offset) + regs.y);
  }
  // [d]+Y, as MOV [d]+Y,A takes it: the cycle after the pointer.
  u16 addr_indy_store() {
    u16 pointer = read_direct_word(fetch());
    idle();
    return u16(pointer + regs.y);
  }
  // (X) and (Y): the byte after the opcode is read and dropped first.
  u16 addr_ix() {
    dummy_fetch();
    return direct(regs.x);
  }
  u16 addr_iy() {
    dummy_fetch();
    return direct(regs.y);
  }
  // m.b of the one-bit instructions: 13-bit address, bit number in the top 3 bits.
  struct bit_operand {
    u16 address;
    u8 mask;
  };
  bit_operand addr_bit() {
    u16 word = fetch_word();
    return {u16(word & 0x1FFF), u8(1u << (word >> 13))};
  }
  // A store: the destination is read (and dropped), then written.
  void store(u16 address, u8 value) {
    dummy_read(address);
    write(address, value);
  }

  // --- the stack, at 0x0100 | SP, growing down ---
  void push(u8 value) { write(u16(0x0100 | regs.sp--), value); }
  u8 pop() { return read(u16(0x0100 | ++regs.sp)); }
  void push_pc() {
    push(u8(regs.pc >> 8));
    push(u8(regs.pc));
  }
  void pop_pc() {
    u8 low = pop();
    regs.pc = u16(low | pop() << 8);
  }
  // The little-endian word at `address` (for TCALL and BRK's vectors, JMP [!a+X]).
  u16 read_word(u16 address) {
    u8 low = read(address);
    return u16(low | read(u16(address + 1)) << 8);
  }
  void idle(int cycles) { clock += cycles; }

  // --- flags ---
  void set_flag(u8 flag, bool on) { regs.psw = u8(on ? regs.psw | flag : regs.psw & ~flag); }
  bool flag(u8 flag) const { return regs.psw & flag; }
  u8 carry() const { return regs.psw & spc700_flag_c; }
  // N and Z from a byte; returns it.
  u8 nz(u8 value) {
    regs.psw = u8((regs.psw & ~(spc700_flag_n | spc700_flag_z)) | (value & spc700_flag_n) |
                  (value == 0 ? spc700_flag_z : 0));
    return value;
  }
  // N and Z from a word.
  void nz16(u16 value) {
    regs.psw = u8((regs.psw & ~(spc700_flag_n | spc700_flag_z)) | ((value >> 8) & spc700_flag_n) |
                  (value == 0 ? spc700_flag_z : 0));
  }

  // --- the ALU; each returns the result and sets the flags the manual lists ---
  u8 op_or(u8 a, u8 b) { return nz(a | b); }
  u8 op_and(u8 a, u8 b) { return nz(a & b); }
  u8 op_eor(u8 a, u8 b) { return nz(a ^ b); }
  // NZC from a - b; nothing is stored.
  void op_cmp(u8 a, u8 b) {
    int difference = a - b;
    set_flag(spc700_flag_c, difference >= 0);
    nz(u8(difference));
  }
  // NVHZC.
  u8 op_adc(u8 a, u8 b) {
    int sum = a + b + carry();
    set_flag(spc700_flag_c, sum > 0xFF);
    set_flag(spc700_flag_h, (a ^ b ^ sum) & 0x10);
    set_flag(spc700_flag_v, ~(a ^ b) & (a ^ sum) & 0x80);
    return nz(u8(sum));
  }
  // a - b - !C is a + ~b + C: C and H mean "no borrow".
  u8 op_sbc(u8 a, u8 b) { return op_adc(a, u8(~b)); }
  // NZC.
  u8 op_asl(u8 v) {
    set_flag(spc700_flag_c, v & 0x80);
    return nz(u8(v << 1));
  }
  u8 op_rol(u8 v) {
    u8 result = u8(v << 1 | carry());
    set_flag(spc700_flag_c, v & 0x80);
    return nz(result);
  }
  u8 op_lsr(u8 v) {
    set_flag(spc700_flag_c, v & 0x01);
    return nz(u8(v >> 1));
  }
  u8 op_ror(u8 v) {
    u8 result = u8(v >> 1 | carry() << 7);
    set_flag(spc700_flag_c, v & 0x01);
    return nz(result);
  }
  // NZ.
  u8 op_inc(u8 v) { return nz(u8(v + 1)); }
  u8 op_dec(u8 v) { return nz(u8(v - 1)); }

  // --- instruction shapes used by many opcodes ---
  // Read-modify-write of one byte.
  // The operation is a template argument so that it inlines.
  template <u8 (spc700_cpu::*op)(u8)>
  void modify(u16 address) {
    write(address, (this->*op)(read(address)));
  }
  // `value` (already read) combined into the byte at `target`, written back
  // (OR dd,ds / d,#i / (X),(Y) and their kin).
  template <u8 (spc700_cpu::*op)(u8, u8)>
  void combine(u16 target, u8 value) {
    write(target, (this->*op)(read(target), value));
  }
  // The relative branch operand; taken costs 2 more cycles.
  void branch(bool taken) {
    auto offset = static_cast<std::int8_t>(fetch());
    if (!taken) return;
    idle(2);
    regs.pc = u16(regs.pc + offset);
  }
  u16 ya() const { return u16(regs.y << 8 | regs.a); }
  void set_ya(u16 value) {
    regs.a = u8(value);
    regs.y = u8(value >> 8);
  }
  // YA + value + carry_in as the hardware does it, a byte at a time: C from
  // bit 15, H from bit 11, V from bit 15's signed overflow, NZ from the word.
  u16 add_word(u16 left, u16 right, int carry_in) {
    int sum = left + right + carry_in;
    set_flag(spc700_flag_c, sum > 0xFFFF);
    set_flag(spc700_flag_h, (left ^ right ^ sum) & 0x1000);
    set_flag(spc700_flag_v, ~(left ^ right) & (left ^ sum) & 0x8000);
    nz16(u16(sum));
    return u16(sum);
  }
  // INCW/DECW: low byte written before the high byte is read, as the hardware does.
  void step_word(int delta) {
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
  void divide() {
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

template <class Bus>
void spc700_cpu<Bus>::execute() {
  if (halt != spc700_halt::running) {
    idle(spc700_halted_cycles);
    return;
  }

  // Scratch for the cases below.
  u16 address;
  u8 value;
  bit_operand bit;

  // Each case lists the bus cycles after the opcode fetch: the addressing
  // helpers take their own (see above), idle() is an internal cycle.
  u8 opcode = fetch();
  switch (opcode) {
    // ---------------------------------------------------------- 8-bit ALU
    // OR A,d / !a / (X) / [d+X] / #i / d+X / !a+X / !a+Y / [d]+Y
    case 0x04: regs.a = op_or(regs.a, read(addr_d())); return;
    case 0x05: regs.a = op_or(regs.a, read(addr_abs())); return;
    case 0x06: regs.a = op_or(regs.a, read(addr_ix())); return;
    case 0x07: regs.a = op_or(regs.a, read(addr_indx())); return;
    case 0x08: regs.a = op_or(regs.a, fetch()); return;
    case 0x14: regs.a = op_or(regs.a, read(addr_dx())); return;
    case 0x15: regs.a = op_or(regs.a, read(addr_absx())); return;
    case 0x16: regs.a = op_or(regs.a, read(addr_absy())); return;
    case 0x17: regs.a = op_or(regs.a, read(addr_indy())); return;
    // OR dd,ds (operands: source, then destination)
    case 0x09: value = read(addr_d()); combine<&spc700_cpu::op_or>(addr_d(), value); return;
    // OR d,#i (operands: immediate, then destination)
    case 0x18: value = fetch(); combine<&spc700_cpu::op_or>(addr_d(), value); return;
    // OR (X),(Y)
    case 0x19: value = read(addr_iy()); combine<&spc700_cpu::op_or>(direct(regs.x), value); return;

    // AND A,...
    case 0x24: regs.a = op_and(regs.a, read(addr_d())); return;
    case 0x25: regs.a = op_and(regs.a, read(addr_abs())); return;
    case 0x26: regs.a = op_and(regs.a, read(addr_ix())); return;
    case 0x27: regs.a = op_and(regs.a, read(addr_indx())); return;
    case 0x28: regs.a = op_and(regs.a, fetch()); return;
    case 0x34: regs.a = op_and(regs.a, read(addr_dx())); return;
    case 0x35: regs.a = op_and(regs.a, read(addr_absx())); return;
    case 0x36: regs.a = op_and(regs.a, read(addr_absy())); return;
    case 0x37: regs.a = op_and(regs.a, read(addr_indy())); return;
    // AND dd,ds / AND d,#i / AND (X),(Y)
    case 0x29: value = read(addr_d()); combine<&spc700_cpu::op_and>(addr_d(), value); return;
    case 0x38: value = fetch(); combine<&spc700_cpu::op_and>(addr_d(), value); return;
    case 0x39: value = read(addr_iy()); combine<&spc700_cpu::op_and>(direct(regs.x), value); return;

    // EOR A,...
    case 0x44: regs.a = op_eor(regs.a, read(addr_d())); return;
    case 0x45: regs.a = op_eor(regs.a, read(addr_abs())); return;
    case 0x46: regs.a = op_eor(regs.a, read(addr_ix())); return;
    case 0x47: regs.a = op_eor(regs.a, read(addr_indx())); return;
    case 0x48: regs.a = op_eor(regs.a, fetch()); return;
    case 0x54: regs.a = op_eor(regs.a, read(addr_dx())); return;
    case 0x55: regs.a = op_eor(regs.a, read(addr_absx())); return;
    case 0x56: regs.a = op_eor(regs.a, read(addr_absy())); return;
    case 0x57: regs.a = op_eor(regs.a, read(addr_indy())); return;
    // EOR dd,ds / EOR d,#i / EOR (X),(Y)
    case 0x49: value = read(addr_d()); combine<&spc700_cpu::op_eor>(addr_d(), value); return;
    case 0x58: value = fetch(); combine<&spc700_cpu::op_eor>(addr_d(), value); return;
    case 0x59: value = read(addr_iy()); combine<&spc700_cpu::op_eor>(direct(regs.x), value); return;

    // CMP A,...
    case 0x64: op_cmp(regs.a, read(addr_d())); return;
    case 0x65: op_cmp(regs.a, read(addr_abs())); return;
    case 0x66: op_cmp(regs.a, read(addr_ix())); return;
    case 0x67: op_cmp(regs.a, read(addr_indx())); return;
    case 0x68: op_cmp(regs.a, fetch()); return;
    case 0x74: op_cmp(regs.a, read(addr_dx())); return;
    case 0x75: op_cmp(regs.a, read(addr_absx())); return;
    case 0x76: op_cmp(regs.a, read(addr_absy())); return;
    case 0x77: op_cmp(regs.a, read(addr_indy())); return;
    // CMP dd,ds / CMP d,#i / CMP (X),(Y): compare only; a cycle where the others write
    case 0x69: value = read(addr_d()); op_cmp(read(addr_d()), value); idle(); return;
    case 0x78: value = fetch(); op_cmp(read(addr_d()), value); idle(); return;
    case 0x79: value = read(addr_iy()); op_cmp(read(direct(regs.x)), value); idle(); return;
    // CMP X,#i / d / !a and CMP Y,#i / d / !a
    case 0xC8: op_cmp(regs.x, fetch()); return;
    case 0x3E: op_cmp(regs.x, read(addr_d())); return;
    case 0x1E: op_cmp(regs.x, read(addr_abs())); return;
    case 0xAD: op_cmp(regs.y, fetch()); return;
    case 0x7E: op_cmp(regs.y, read(addr_d())); return;
    case 0x5E: op_cmp(regs.y, read(addr_abs())); return;

    // ADC A,...
    case 0x84: regs.a = op_adc(regs.a, read(addr_d())); return;
    case 0x85: regs.a = op_adc(regs.a, read(addr_abs())); return;
    case 0x86: regs.a = op_adc(regs.a, read(addr_ix())); return;
    case 0x87: regs.a = op_adc(regs.a, read(addr_indx())); return;
    case 0x88: regs.a = op_adc(regs.a, fetch()); return;
    case 0x94: regs.a = op_adc(regs.a, read(addr_dx())); return;
    case 0x95: regs.a = op_adc(regs.a, read(addr_absx())); return;
    case 0x96: regs.a = op_adc(regs.a, read(addr_absy())); return;
    case 0x97: regs.a = op_adc(regs.a, read(addr_indy())); return;
    // ADC dd,ds / ADC d,#i / ADC (X),(Y)
    case 0x89: value = read(addr_d()); combine<&spc700_cpu::op_adc>(addr_d(), value); return;
    case 0x98: value = fetch(); combine<&spc700_cpu::op_adc>(addr_d(), value); return;
    case 0x99: value = read(addr_iy()); combine<&spc700_cpu::op_adc>(direct(regs.x), value); return;

    // SBC A,...
    case 0xA4: regs.a = op_sbc(regs.a, read(addr_d())); return;
    case 0xA5: regs.a = op_sbc(regs.a, read(addr_abs())); return;
    case 0xA6: regs.a = op_sbc(regs.a, read(addr_ix())); return;
    case 0xA7: regs.a = op_sbc(regs.a, read(addr_indx())); return;
    case 0xA8: regs.a = op_sbc(regs.a, fetch()); return;
    case 0xB4: regs.a = op_sbc(regs.a, read(addr_dx())); return;
    case 0xB5: regs.a = op_sbc(regs.a, read(addr_absx())); return;
    case 0xB6: regs.a = op_sbc(regs.a, read(addr_absy())); return;
    case 0xB7: regs.a = op_sbc(regs.a, read(addr_indy())); return;
    // SBC dd,ds / SBC d,#i / SBC (X),(Y)
    case 0xA9: value = read(addr_d()); combine<&spc700_cpu::op_sbc>(addr_d(), value); return;
    case 0xB8: value = fetch(); combine<&spc700_cpu::op_sbc>(addr_d(), value); return;
    case 0xB9: value = read(addr_iy()); combine<&spc700_cpu::op_sbc>(direct(regs.x), value); return;

    // ------------------------------------------------- shifts and rotates
    // ASL d / !a / d+X / A
    case 0x0B: modify<&spc700_cpu::op_asl>(addr_d()); return;
    case 0x0C: modify<&spc700_cpu::op_asl>(addr_abs()); return;
    case 0x1B: modify<&spc700_cpu::op_asl>(addr_dx()); return;
    case 0x1C: dummy_fetch(); regs.a = op_asl(regs.a); return;
    // ROL d / !a / d+X / A
    case 0x2B: modify<&spc700_cpu::op_rol>(addr_d()); return;
    case 0x2C: modify<&spc700_cpu::op_rol>(addr_abs()); return;
    case 0x3B: modify<&spc700_cpu::op_rol>(addr_dx()); return;
    case 0x3C: dummy_fetch(); regs.a = op_rol(regs.a); return;
    // LSR d / !a / d+X / A
    case 0x4B: modify<&spc700_cpu::op_lsr>(addr_d()); return;
    case 0x4C: modify<&spc700_cpu::op_lsr>(addr_abs()); return;
    case 0x5B: modify<&spc700_cpu::op_lsr>(addr_dx()); return;
    case 0x5C: dummy_fetch(); regs.a = op_lsr(regs.a); return;
    // ROR d / !a / d+X / A
    case 0x6B: modify<&spc700_cpu::op_ror>(addr_d()); return;
    case 0x6C: modify<&spc700_cpu::op_ror>(addr_abs()); return;
    case 0x7B: modify<&spc700_cpu::op_ror>(addr_dx()); return;
    case 0x7C: dummy_fetch(); regs.a = op_ror(regs.a); return;
    // XCN A: swap A's nibbles
    case 0x9F: dummy_fetch(); idle(3); regs.a = nz(u8(regs.a >> 4 | regs.a << 4)); return;

    // -------------------------------------------------- increment, decrement
    // INC d / !a / d+X / A / X / Y
    case 0xAB: modify<&spc700_cpu::op_inc>(addr_d()); return;
    case 0xAC: modify<&spc700_cpu::op_inc>(addr_abs()); return;
    case 0xBB: modify<&spc700_cpu::op_inc>(addr_dx()); return;
    case 0xBC: dummy_fetch(); regs.a = op_inc(regs.a); return;
    case 0x3D: dummy_fetch(); regs.x = op_inc(regs.x); return;
    case 0xFC: dummy_fetch(); regs.y = op_inc(regs.y); return;
    // DEC d / !a / d+X / A / X / Y
    case 0x8B: modify<&spc700_cpu::op_dec>(addr_d()); return;
    case 0x8C: modify<&spc700_cpu::op_dec>(addr_abs()); return;
    case 0x9B: modify<&spc700_cpu::op_dec>(addr_dx()); return;
    case 0x9C: dummy_fetch(); regs.a = op_dec(regs.a); return;
    case 0x1D: dummy_fetch(); regs.x = op_dec(regs.x); return;
    case 0xDC: dummy_fetch(); regs.y = op_dec(regs.y); return;

    // ------------------------------------------------------------- loads
    // MOV A,d / !a / (X) / [d+X] / #i / d+X / !a+X / !a+Y / [d]+Y / (X)+
    case 0xE4: regs.a = nz(read(addr_d())); return;
    case 0xE5: regs.a = nz(read(addr_abs())); return;
    case 0xE6: regs.a = nz(read(addr_ix())); return;
    case 0xE7: regs.a = nz(read(addr_indx())); return;
    case 0xE8: regs.a = nz(fetch()); return;
    case 0xF4: regs.a = nz(read(addr_dx())); return;
    case 0xF5: regs.a = nz(read(addr_absx())); return;
    case 0xF6: regs.a = nz(read(addr_absy())); return;
    case 0xF7: regs.a = nz(read(addr_indy())); return;
    case 0xBF: regs.a = nz(read(addr_ix())); idle(); regs.x++; return;
    // MOV X,#i / d / d+Y / !a
    case 0xCD: regs.x = nz(fetch()); return;
    case 0xF8: regs.x = nz(read(addr_d())); return;
    case 0xF9: regs.x = nz(read(addr_dy())); return;
    case 0xE9: regs.x = nz(read(addr_abs())); return;
    // MOV Y,#i / d / d+X / !a
    case 0x8D: regs.y = nz(fetch()); return;
    case 0xEB: regs.y = nz(read(addr_d())); return;
    case 0xFB: regs.y = nz(read(addr_dx())); return;
    case 0xEC: regs.y = nz(read(addr_abs())); return;

    // ------------------------------------------------------------ stores
    // MOV d / !a / (X) / [d+X] / d+X / !a+X / !a+Y / [d]+Y, A
    case 0xC4: store(addr_d(), regs.a); return;
    case 0xC5: store(addr_abs(), regs.a); return;
    case 0xC6: store(addr_ix(), regs.a); return;
    case 0xC7: store(addr_indx(), regs.a); return;
    case 0xD4: store(addr_dx(), regs.a); return;
    case 0xD5: store(addr_absx(), regs.a); return;
    case 0xD6: store(addr_absy(), regs.a); return;
    case 0xD7: store(addr_indy_store(), regs.a); return;
    // MOV (X)+,A: a cycle for the increment instead of the read
    case 0xAF: dummy_fetch(); idle(); write(direct(regs.x), regs.a); regs.x++; return;
    // MOV d / d+Y / !a, X
    case 0xD8: store(addr_d(), regs.x); return;
    case 0xD9: store(addr_dy(), regs.x); return;
    case 0xC9: store(addr_abs(), regs.x); return;
    // MOV d / d+X / !a, Y
    case 0xCB: store(addr_d(), regs.y); return;
    case 0xDB: store(addr_dx(), regs.y); return;
    case 0xCC: store(addr_abs(), regs.y); return;
    // MOV d,#i (operands: immediate, then destination)
    case 0x8F: value = fetch(); store(addr_d(), value); return;
    // MOV dd,ds (operands: source, then destination); no flags, no read of the destination
    case 0xFA: value = read(addr_d()); write(addr_d(), value); return;

    // ------------------------------------------------- register transfers
    // MOV A,X / A,Y / X,A / Y,A / X,SP: NZ; MOV SP,X: no flags
    case 0x7D: dummy_fetch(); regs.a = nz(regs.x); return;
    case 0xDD: dummy_fetch(); regs.a = nz(regs.y); return;
    case 0x5D: dummy_fetch(); regs.x = nz(regs.a); return;
    case 0xFD: dummy_fetch(); regs.y = nz(regs.a); return;
    case 0x9D: dummy_fetch(); regs.x = nz(regs.sp); return;
    case 0xBD: dummy_fetch(); regs.sp = regs.x; return;

    // ------------------------------------------------------- 16-bit ops
    // MOVW YA,d: NZ from the word; a cycle between the bytes
    case 0xBA: set_ya(read_word_split(fetch())); nz16(ya()); return;
    // MOVW d,YA: low byte (read first), then high; no flags
    case 0xDA: {
      u8 offset = fetch();
      store(direct(offset), regs.a);
      write(direct(u8(offset + 1)), regs.y);
      return;
    }
    // INCW d / DECW d: NZ from the word
    case 0x3A: step_word(1); return;
    case 0x1A: step_word(-1); return;
    // ADDW YA,d: NVHZC, carry in ignored
    case 0x7A: set_ya(add_word(ya(), read_word_split(fetch()), 0)); return;
    // SUBW YA,d: YA + ~d + 1, so C and H mean "no borrow"
    case 0x9A: set_ya(add_word(ya(), u16(~read_word_split(fetch())), 1)); return;
    // CMPW YA,d: NZC
    case 0x5A: {
      int difference = ya() - read_direct_word(fetch());
      set_flag(spc700_flag_c, difference >= 0);
      nz16(u16(difference));
      return;
    }
    // MUL YA: YA = Y * A; NZ from Y
    case 0xCF: dummy_fetch(); idle(7); set_ya(u16(regs.y * regs.a)); nz(regs.y); return;
    // DIV YA,X: A = quotient, Y = remainder; NVHZ
    case 0x9E: dummy_fetch(); idle(10); divide(); return;

    // -------------------------------------------------- decimal adjust
    // DAA A: after ADC of two BCD bytes; H is read, not changed
    case 0xDF:
      dummy_fetch();
      idle();
      if (flag(spc700_flag_c) || regs.a > 0x99) {
        regs.a = u8(regs.a + 0x60);
        set_flag(spc700_flag_c, true);
      }
      if (flag(spc700_flag_h) || (regs.a & 0x0F) > 9) regs.a = u8(regs.a + 0x06);
      nz(regs.a);
      return;
    // DAS A: after SBC of two BCD bytes; C and H clear mean a borrow
    case 0xBE:
      dummy_fetch();
      idle();
      if (!flag(spc700_flag_c) || regs.a > 0x99) {
        regs.a = u8(regs.a - 0x60);
        set_flag(spc700_flag_c, false);
      }
      if (!flag(spc700_flag_h) || (regs.a & 0x0F) > 9) regs.a = u8(regs.a - 0x06);
      nz(regs.a);
      return;

    // ---------------------------------------------------------- branches
    // BRA r
    case 0x2F: branch(true); return;
    // BPL / BMI / BVC / BVS / BCC / BCS / BNE / BEQ r
    case 0x10: branch(!flag(spc700_flag_n)); return;
    case 0x30: branch(flag(spc700_flag_n)); return;
    case 0x50: branch(!flag(spc700_flag_v)); return;
    case 0x70: branch(flag(spc700_flag_v)); return;
    case 0x90: branch(!flag(spc700_flag_c)); return;
    case 0xB0: branch(flag(spc700_flag_c)); return;
    case 0xD0: branch(!flag(spc700_flag_z)); return;
    case 0xF0: branch(flag(spc700_flag_z)); return;
    // BBS d.b,r (opcode b*32 + 0x03) / BBC d.b,r (b*32 + 0x13)
    case 0x03: case 0x23: case 0x43: case 0x63: case 0x83: case 0xA3: case 0xC3: case 0xE3:
    case 0x13: case 0x33: case 0x53: case 0x73: case 0x93: case 0xB3: case 0xD3: case 0xF3: {
      bool set = read(addr_d()) & (1u << (opcode >> 5));
      idle();
      branch(set == !(opcode & 0x10));
      return;
    }
    // CBNE d,r / d+X,r: branch when A differs from the byte; no flags
    case 0x2E: value = read(addr_d()); idle(); branch(regs.a != value); return;
    case 0xDE: value = read(addr_dx()); idle(); branch(regs.a != value); return;
    // DBNZ d,r: decrement the byte, branch unless it is 0; no flags
    case 0x6E:
      address = addr_d();
      value = u8(read(address) - 1);
      write(address, value);
      branch(value != 0);
      return;
    // DBNZ Y,r
    case 0xFE: dummy_fetch(); idle(); branch(--regs.y != 0); return;

    // ------------------------------------------------ jumps and calls
    // JMP !a / [!a+X]
    case 0x5F: regs.pc = addr_abs(); return;
    case 0x1F: regs.pc = read_word(addr_absx()); return;
    // CALL !a
    case 0x3F: address = addr_abs(); idle(); push_pc(); idle(2); regs.pc = address; return;
    // PCALL u: call 0xFF00 + u
    case 0x4F: value = fetch(); idle(); push_pc(); idle(); regs.pc = u16(0xFF00 | value); return;
    // TCALL n (opcode n*16 + 0x01): call the vector at 0xFFDE - 2n
    case 0x01: case 0x11: case 0x21: case 0x31: case 0x41: case 0x51: case 0x61: case 0x71:
    case 0x81: case 0x91: case 0xA1: case 0xB1: case 0xC1: case 0xD1: case 0xE1: case 0xF1:
      dummy_fetch();
      idle();
      push_pc();
      idle();
      regs.pc = read_word(u16(0xFFDE - 2 * (opcode >> 4)));
      return;
    // BRK: push PC and PSW, B on, I off, jump through 0xFFDE
    case 0x0F:
      dummy_fetch();
      push_pc();
      push(regs.psw);
      idle();
      set_flag(spc700_flag_b, true);
      set_flag(spc700_flag_i, false);
      regs.pc = read_word(0xFFDE);
      return;
    // RET
    case 0x6F: dummy_fetch(); idle(); pop_pc(); return;
    // RETI: PSW, then PC
    case 0x7F: dummy_fetch(); idle(); regs.psw = pop(); pop_pc(); return;

    // -------------------------------------------------------------- stack
    // PUSH A / X / Y / PSW: the write, then a cycle for SP
    case 0x2D: dummy_fetch(); push(regs.a); idle(); return;
    case 0x4D: dummy_fetch(); push(regs.x); idle(); return;
    case 0x6D: dummy_fetch(); push(regs.y); idle(); return;
    case 0x0D: dummy_fetch(); push(regs.psw); idle(); return;
    // POP A / X / Y / PSW: a cycle for SP, then the read; no flags except PSW itself
    case 0xAE: dummy_fetch(); idle(); regs.a = pop(); return;
    case 0xCE: dummy_fetch(); idle(); regs.x = pop(); return;
    case 0xEE: dummy_fetch(); idle(); regs.y = pop(); return;
    case 0x8E: dummy_fetch(); idle(); regs.psw = pop(); return;

    // ---------------------------------------------------------- bit ops
    // SET1 d.b (opcode b*32 + 0x02) / CLR1 d.b (b*32 + 0x12)
    case 0x02: case 0x22: case 0x42: case 0x62: case 0x82: case 0xA2: case 0xC2: case 0xE2:
    case 0x12: case 0x32: case 0x52: case 0x72: case 0x92: case 0xB2: case 0xD2: case 0xF2: {
      u8 mask = u8(1u << (opcode >> 5));
      address = addr_d();
      value = read(address);
      write(address, (opcode & 0x10) ? u8(value & ~mask) : u8(value | mask));
      return;
    }
    // TSET1 !a / TCLR1 !a: NZ from A - byte, then set / clear A's bits in the byte
    case 0x0E:
    case 0x4E: {
      address = addr_abs();
      value = read(address);
      nz(u8(regs.a - value));
      store(address, opcode == 0x0E ? u8(value | regs.a) : u8(value & ~regs.a));
      return;
    }
    // AND1 C,m.b / AND1 C,/m.b
    case 0x4A: bit = addr_bit(); if (!(read(bit.address) & bit.mask)) set_flag(spc700_flag_c, false); return;
    case 0x6A: bit = addr_bit(); if (read(bit.address) & bit.mask) set_flag(spc700_flag_c, false); return;
    // OR1 C,m.b / OR1 C,/m.b
    case 0x0A: bit = addr_bit(); if (read(bit.address) & bit.mask) set_flag(spc700_flag_c, true); idle(); return;
    case 0x2A: bit = addr_bit(); if (!(read(bit.address) & bit.mask)) set_flag(spc700_flag_c, true); idle(); return;
    // EOR1 C,m.b
    case 0x8A: bit = addr_bit(); if (read(bit.address) & bit.mask) regs.psw ^= spc700_flag_c; idle(); return;
    // NOT1 m.b
    case 0xEA: bit = addr_bit(); write(bit.address, u8(read(bit.address) ^ bit.mask)); return;
    // MOV1 C,m.b
    case 0xAA: bit = addr_bit(); set_flag(spc700_flag_c, read(bit.address) & bit.mask); return;
    // MOV1 m.b,C
    case 0xCA:
      bit = addr_bit();
      value = read(bit.address);
      idle();
      write(bit.address, carry() ? u8(value | bit.mask) : u8(value & ~bit.mask));
      return;

    // -------------------------------------------------------------- flags
    // CLRC / SETC / NOTC
    case 0x60: dummy_fetch(); set_flag(spc700_flag_c, false); return;
    case 0x80: dummy_fetch(); set_flag(spc700_flag_c, true); return;
    case 0xED: dummy_fetch(); idle(); regs.psw ^= spc700_flag_c; return;
    // CLRV: clears V and H
    case 0xE0: dummy_fetch(); regs.psw &= u8(~(spc700_flag_v | spc700_flag_h)); return;
    // CLRP / SETP: direct page 0 / 1
    case 0x20: dummy_fetch(); set_flag(spc700_flag_p, false); return;
    case 0x40: dummy_fetch(); set_flag(spc700_flag_p, true); return;
    // EI / DI
    case 0xA0: dummy_fetch(); idle(); set_flag(spc700_flag_i, true); return;
    case 0xC0: dummy_fetch(); idle(); set_flag(spc700_flag_i, false); return;

    // -------------------------------------------------------------- other
    // NOP
    case 0x00: dummy_fetch(); return;
    // SLEEP / STOP: wait for an interrupt that never comes
    case 0xEF: dummy_fetch(); idle(); halt = spc700_halt::sleep; return;
    case 0xFF: dummy_fetch(); idle(); halt = spc700_halt::stop; return;
  }
  // Every one of the 256 opcodes has its case above.
  __builtin_unreachable();
}
