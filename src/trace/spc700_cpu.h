// The SPC700, the sound CPU: an instruction-at-a-time interpreter over a bus
// it is given. Header-only so that the bus's read and write inline into the
// opcode switch: a song's trace runs some 50 million instructions.
//
// The bus is any class with
//   u8 read(u16 address);
//   void write(u16 address, u8 value);
// and sees every read whose value the instruction uses, in the hardware's
// order, and every write. The hardware's dummy reads (value unused) are
// skipped: on RAM they change nothing, and of the I/O registers only the
// timer counters at 0x00FD-0x00FF notice a read, which would clear them
// where the hardware's program never meant to. The skipped reads:
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

  // Executes the instruction at regs.pc and returns its length in CPU
  // cycles (2 ... 12; branches count their taken cycles). SLEEP and STOP
  // take 3 cycles, leave pc after themselves and set `halt`; from then on
  // step() touches neither the bus nor the registers and returns
  // spc700_halted_cycles. The thread that owns the CPU and its bus.
  int step();

 private:
  Bus& bus_;

  // --- the bus ---
  u8 read(u16 address) { return bus_.read(address); }
  void write(u16 address, u8 value) { bus_.write(address, value); }
  // The next program byte.
  u8 fetch() { return read(regs.pc++); }
  // The next two program bytes, low first.
  u16 fetch_word() {
    u8 low = fetch();
    return u16(low | fetch() << 8);
  }

  // --- addressing ---
  // Direct page offset to address: page 0, or page 1 when P is set. The
  // offset wraps within the page (callers pass u8 sums).
  u16 direct(u8 offset) const { return u16((regs.psw & spc700_flag_p) << 3 | offset); }
  // d
  u16 addr_d() { return direct(fetch()); }
  // d+X
  u16 addr_dx() { return direct(u8(fetch() + regs.x)); }
  // d+Y
  u16 addr_dy() { return direct(u8(fetch() + regs.y)); }
  // !a
  u16 addr_abs() { return fetch_word(); }
  // !a+X, wrapping at 64 KiB
  u16 addr_absx() { return u16(fetch_word() + regs.x); }
  // !a+Y
  u16 addr_absy() { return u16(fetch_word() + regs.y); }
  // A little-endian word in the direct page (a pointer, or a word op's
  // operand), low byte first; the high byte wraps within the page.
  u16 read_direct_word(u8 offset) {
    u8 low = read(direct(offset));
    return u16(low | read(direct(u8(offset + 1))) << 8);
  }
  // [d+X]
  u16 addr_indx() { return read_direct_word(u8(fetch() + regs.x)); }
  // [d]+Y
  u16 addr_indy() { return u16(read_direct_word(fetch()) + regs.y); }
  // (X)
  u16 addr_ix() const { return direct(regs.x); }
  // (Y)
  u16 addr_iy() const { return direct(regs.y); }
  // m.b of the one-bit instructions: 13-bit address, bit number in the top 3 bits.
  struct bit_operand {
    u16 address;
    u8 mask;
  };
  bit_operand addr_bit() {
    u16 word = fetch_word();
    return {u16(word & 0x1FFF), u8(1u << (word >> 13))};
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
  // The relative branch operand; taken adds 2 cycles to `cycles`.
  int branch(bool taken, int cycles) {
    auto offset = static_cast<std::int8_t>(fetch());
    if (!taken) return cycles;
    regs.pc = u16(regs.pc + offset);
    return cycles + 2;
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
int spc700_cpu<Bus>::step() {
  if (halt != spc700_halt::running) return spc700_halted_cycles;

  // Scratch for the cases below.
  u16 address;
  u8 value;
  bit_operand bit;

  u8 opcode = fetch();
  switch (opcode) {
    // ---------------------------------------------------------- 8-bit ALU
    // OR A,d / !a / (X) / [d+X] / #i / d+X / !a+X / !a+Y / [d]+Y
    case 0x04: regs.a = op_or(regs.a, read(addr_d())); return 3;
    case 0x05: regs.a = op_or(regs.a, read(addr_abs())); return 4;
    case 0x06: regs.a = op_or(regs.a, read(addr_ix())); return 3;
    case 0x07: regs.a = op_or(regs.a, read(addr_indx())); return 6;
    case 0x08: regs.a = op_or(regs.a, fetch()); return 2;
    case 0x14: regs.a = op_or(regs.a, read(addr_dx())); return 4;
    case 0x15: regs.a = op_or(regs.a, read(addr_absx())); return 5;
    case 0x16: regs.a = op_or(regs.a, read(addr_absy())); return 5;
    case 0x17: regs.a = op_or(regs.a, read(addr_indy())); return 6;
    // OR dd,ds (operands: source, then destination)
    case 0x09: value = read(addr_d()); combine<&spc700_cpu::op_or>(addr_d(), value); return 6;
    // OR d,#i (operands: immediate, then destination)
    case 0x18: value = fetch(); combine<&spc700_cpu::op_or>(addr_d(), value); return 5;
    // OR (X),(Y)
    case 0x19: value = read(addr_iy()); combine<&spc700_cpu::op_or>(addr_ix(), value); return 5;

    // AND A,...
    case 0x24: regs.a = op_and(regs.a, read(addr_d())); return 3;
    case 0x25: regs.a = op_and(regs.a, read(addr_abs())); return 4;
    case 0x26: regs.a = op_and(regs.a, read(addr_ix())); return 3;
    case 0x27: regs.a = op_and(regs.a, read(addr_indx())); return 6;
    case 0x28: regs.a = op_and(regs.a, fetch()); return 2;
    case 0x34: regs.a = op_and(regs.a, read(addr_dx())); return 4;
    case 0x35: regs.a = op_and(regs.a, read(addr_absx())); return 5;
    case 0x36: regs.a = op_and(regs.a, read(addr_absy())); return 5;
    case 0x37: regs.a = op_and(regs.a, read(addr_indy())); return 6;
    // AND dd,ds / AND d,#i / AND (X),(Y)
    case 0x29: value = read(addr_d()); combine<&spc700_cpu::op_and>(addr_d(), value); return 6;
    case 0x38: value = fetch(); combine<&spc700_cpu::op_and>(addr_d(), value); return 5;
    case 0x39: value = read(addr_iy()); combine<&spc700_cpu::op_and>(addr_ix(), value); return 5;

    // EOR A,...
    case 0x44: regs.a = op_eor(regs.a, read(addr_d())); return 3;
    case 0x45: regs.a = op_eor(regs.a, read(addr_abs())); return 4;
    case 0x46: regs.a = op_eor(regs.a, read(addr_ix())); return 3;
    case 0x47: regs.a = op_eor(regs.a, read(addr_indx())); return 6;
    case 0x48: regs.a = op_eor(regs.a, fetch()); return 2;
    case 0x54: regs.a = op_eor(regs.a, read(addr_dx())); return 4;
    case 0x55: regs.a = op_eor(regs.a, read(addr_absx())); return 5;
    case 0x56: regs.a = op_eor(regs.a, read(addr_absy())); return 5;
    case 0x57: regs.a = op_eor(regs.a, read(addr_indy())); return 6;
    // EOR dd,ds / EOR d,#i / EOR (X),(Y)
    case 0x49: value = read(addr_d()); combine<&spc700_cpu::op_eor>(addr_d(), value); return 6;
    case 0x58: value = fetch(); combine<&spc700_cpu::op_eor>(addr_d(), value); return 5;
    case 0x59: value = read(addr_iy()); combine<&spc700_cpu::op_eor>(addr_ix(), value); return 5;

    // CMP A,...
    case 0x64: op_cmp(regs.a, read(addr_d())); return 3;
    case 0x65: op_cmp(regs.a, read(addr_abs())); return 4;
    case 0x66: op_cmp(regs.a, read(addr_ix())); return 3;
    case 0x67: op_cmp(regs.a, read(addr_indx())); return 6;
    case 0x68: op_cmp(regs.a, fetch()); return 2;
    case 0x74: op_cmp(regs.a, read(addr_dx())); return 4;
    case 0x75: op_cmp(regs.a, read(addr_absx())); return 5;
    case 0x76: op_cmp(regs.a, read(addr_absy())); return 5;
    case 0x77: op_cmp(regs.a, read(addr_indy())); return 6;
    // CMP dd,ds / CMP d,#i / CMP (X),(Y): compare only, nothing written
    case 0x69: value = read(addr_d()); op_cmp(read(addr_d()), value); return 6;
    case 0x78: value = fetch(); op_cmp(read(addr_d()), value); return 5;
    case 0x79: value = read(addr_iy()); op_cmp(read(addr_ix()), value); return 5;
    // CMP X,#i / d / !a and CMP Y,#i / d / !a
    case 0xC8: op_cmp(regs.x, fetch()); return 2;
    case 0x3E: op_cmp(regs.x, read(addr_d())); return 3;
    case 0x1E: op_cmp(regs.x, read(addr_abs())); return 4;
    case 0xAD: op_cmp(regs.y, fetch()); return 2;
    case 0x7E: op_cmp(regs.y, read(addr_d())); return 3;
    case 0x5E: op_cmp(regs.y, read(addr_abs())); return 4;

    // ADC A,...
    case 0x84: regs.a = op_adc(regs.a, read(addr_d())); return 3;
    case 0x85: regs.a = op_adc(regs.a, read(addr_abs())); return 4;
    case 0x86: regs.a = op_adc(regs.a, read(addr_ix())); return 3;
    case 0x87: regs.a = op_adc(regs.a, read(addr_indx())); return 6;
    case 0x88: regs.a = op_adc(regs.a, fetch()); return 2;
    case 0x94: regs.a = op_adc(regs.a, read(addr_dx())); return 4;
    case 0x95: regs.a = op_adc(regs.a, read(addr_absx())); return 5;
    case 0x96: regs.a = op_adc(regs.a, read(addr_absy())); return 5;
    case 0x97: regs.a = op_adc(regs.a, read(addr_indy())); return 6;
    // ADC dd,ds / ADC d,#i / ADC (X),(Y)
    case 0x89: value = read(addr_d()); combine<&spc700_cpu::op_adc>(addr_d(), value); return 6;
    case 0x98: value = fetch(); combine<&spc700_cpu::op_adc>(addr_d(), value); return 5;
    case 0x99: value = read(addr_iy()); combine<&spc700_cpu::op_adc>(addr_ix(), value); return 5;

    // SBC A,...
    case 0xA4: regs.a = op_sbc(regs.a, read(addr_d())); return 3;
    case 0xA5: regs.a = op_sbc(regs.a, read(addr_abs())); return 4;
    case 0xA6: regs.a = op_sbc(regs.a, read(addr_ix())); return 3;
    case 0xA7: regs.a = op_sbc(regs.a, read(addr_indx())); return 6;
    case 0xA8: regs.a = op_sbc(regs.a, fetch()); return 2;
    case 0xB4: regs.a = op_sbc(regs.a, read(addr_dx())); return 4;
    case 0xB5: regs.a = op_sbc(regs.a, read(addr_absx())); return 5;
    case 0xB6: regs.a = op_sbc(regs.a, read(addr_absy())); return 5;
    case 0xB7: regs.a = op_sbc(regs.a, read(addr_indy())); return 6;
    // SBC dd,ds / SBC d,#i / SBC (X),(Y)
    case 0xA9: value = read(addr_d()); combine<&spc700_cpu::op_sbc>(addr_d(), value); return 6;
    case 0xB8: value = fetch(); combine<&spc700_cpu::op_sbc>(addr_d(), value); return 5;
    case 0xB9: value = read(addr_iy()); combine<&spc700_cpu::op_sbc>(addr_ix(), value); return 5;

    // ------------------------------------------------- shifts and rotates
    // ASL d / !a / d+X / A
    case 0x0B: modify<&spc700_cpu::op_asl>(addr_d()); return 4;
    case 0x0C: modify<&spc700_cpu::op_asl>(addr_abs()); return 5;
    case 0x1B: modify<&spc700_cpu::op_asl>(addr_dx()); return 5;
    case 0x1C: regs.a = op_asl(regs.a); return 2;
    // ROL d / !a / d+X / A
    case 0x2B: modify<&spc700_cpu::op_rol>(addr_d()); return 4;
    case 0x2C: modify<&spc700_cpu::op_rol>(addr_abs()); return 5;
    case 0x3B: modify<&spc700_cpu::op_rol>(addr_dx()); return 5;
    case 0x3C: regs.a = op_rol(regs.a); return 2;
    // LSR d / !a / d+X / A
    case 0x4B: modify<&spc700_cpu::op_lsr>(addr_d()); return 4;
    case 0x4C: modify<&spc700_cpu::op_lsr>(addr_abs()); return 5;
    case 0x5B: modify<&spc700_cpu::op_lsr>(addr_dx()); return 5;
    case 0x5C: regs.a = op_lsr(regs.a); return 2;
    // ROR d / !a / d+X / A
    case 0x6B: modify<&spc700_cpu::op_ror>(addr_d()); return 4;
    case 0x6C: modify<&spc700_cpu::op_ror>(addr_abs()); return 5;
    case 0x7B: modify<&spc700_cpu::op_ror>(addr_dx()); return 5;
    case 0x7C: regs.a = op_ror(regs.a); return 2;
    // XCN A: swap A's nibbles
    case 0x9F: regs.a = nz(u8(regs.a >> 4 | regs.a << 4)); return 5;

    // -------------------------------------------------- increment, decrement
    // INC d / !a / d+X / A / X / Y
    case 0xAB: modify<&spc700_cpu::op_inc>(addr_d()); return 4;
    case 0xAC: modify<&spc700_cpu::op_inc>(addr_abs()); return 5;
    case 0xBB: modify<&spc700_cpu::op_inc>(addr_dx()); return 5;
    case 0xBC: regs.a = op_inc(regs.a); return 2;
    case 0x3D: regs.x = op_inc(regs.x); return 2;
    case 0xFC: regs.y = op_inc(regs.y); return 2;
    // DEC d / !a / d+X / A / X / Y
    case 0x8B: modify<&spc700_cpu::op_dec>(addr_d()); return 4;
    case 0x8C: modify<&spc700_cpu::op_dec>(addr_abs()); return 5;
    case 0x9B: modify<&spc700_cpu::op_dec>(addr_dx()); return 5;
    case 0x9C: regs.a = op_dec(regs.a); return 2;
    case 0x1D: regs.x = op_dec(regs.x); return 2;
    case 0xDC: regs.y = op_dec(regs.y); return 2;

    // ------------------------------------------------------------- loads
    // MOV A,d / !a / (X) / [d+X] / #i / d+X / !a+X / !a+Y / [d]+Y / (X)+
    case 0xE4: regs.a = nz(read(addr_d())); return 3;
    case 0xE5: regs.a = nz(read(addr_abs())); return 4;
    case 0xE6: regs.a = nz(read(addr_ix())); return 3;
    case 0xE7: regs.a = nz(read(addr_indx())); return 6;
    case 0xE8: regs.a = nz(fetch()); return 2;
    case 0xF4: regs.a = nz(read(addr_dx())); return 4;
    case 0xF5: regs.a = nz(read(addr_absx())); return 5;
    case 0xF6: regs.a = nz(read(addr_absy())); return 5;
    case 0xF7: regs.a = nz(read(addr_indy())); return 6;
    case 0xBF: regs.a = nz(read(addr_ix())); regs.x++; return 4;
    // MOV X,#i / d / d+Y / !a
    case 0xCD: regs.x = nz(fetch()); return 2;
    case 0xF8: regs.x = nz(read(addr_d())); return 3;
    case 0xF9: regs.x = nz(read(addr_dy())); return 4;
    case 0xE9: regs.x = nz(read(addr_abs())); return 4;
    // MOV Y,#i / d / d+X / !a
    case 0x8D: regs.y = nz(fetch()); return 2;
    case 0xEB: regs.y = nz(read(addr_d())); return 3;
    case 0xFB: regs.y = nz(read(addr_dx())); return 4;
    case 0xEC: regs.y = nz(read(addr_abs())); return 4;

    // ------------------------------------------------------------ stores
    // MOV d / !a / (X) / [d+X] / d+X / !a+X / !a+Y / [d]+Y / (X)+, A
    case 0xC4: write(addr_d(), regs.a); return 4;
    case 0xC5: write(addr_abs(), regs.a); return 5;
    case 0xC6: write(addr_ix(), regs.a); return 4;
    case 0xC7: write(addr_indx(), regs.a); return 7;
    case 0xD4: write(addr_dx(), regs.a); return 5;
    case 0xD5: write(addr_absx(), regs.a); return 6;
    case 0xD6: write(addr_absy(), regs.a); return 6;
    case 0xD7: write(addr_indy(), regs.a); return 7;
    case 0xAF: write(addr_ix(), regs.a); regs.x++; return 4;
    // MOV d / d+Y / !a, X
    case 0xD8: write(addr_d(), regs.x); return 4;
    case 0xD9: write(addr_dy(), regs.x); return 5;
    case 0xC9: write(addr_abs(), regs.x); return 5;
    // MOV d / d+X / !a, Y
    case 0xCB: write(addr_d(), regs.y); return 4;
    case 0xDB: write(addr_dx(), regs.y); return 5;
    case 0xCC: write(addr_abs(), regs.y); return 5;
    // MOV d,#i (operands: immediate, then destination)
    case 0x8F: value = fetch(); write(addr_d(), value); return 5;
    // MOV dd,ds (operands: source, then destination); no flags
    case 0xFA: value = read(addr_d()); write(addr_d(), value); return 5;

    // ------------------------------------------------- register transfers
    // MOV A,X / A,Y / X,A / Y,A / X,SP: NZ; MOV SP,X: no flags
    case 0x7D: regs.a = nz(regs.x); return 2;
    case 0xDD: regs.a = nz(regs.y); return 2;
    case 0x5D: regs.x = nz(regs.a); return 2;
    case 0xFD: regs.y = nz(regs.a); return 2;
    case 0x9D: regs.x = nz(regs.sp); return 2;
    case 0xBD: regs.sp = regs.x; return 2;

    // ------------------------------------------------------- 16-bit ops
    // MOVW YA,d: NZ from the word
    case 0xBA: set_ya(read_direct_word(fetch())); nz16(ya()); return 5;
    // MOVW d,YA: low byte, then high; no flags
    case 0xDA: {
      u8 offset = fetch();
      write(direct(offset), regs.a);
      write(direct(u8(offset + 1)), regs.y);
      return 5;
    }
    // INCW d / DECW d: NZ from the word
    case 0x3A: step_word(1); return 6;
    case 0x1A: step_word(-1); return 6;
    // ADDW YA,d: NVHZC, carry in ignored
    case 0x7A: set_ya(add_word(ya(), read_direct_word(fetch()), 0)); return 5;
    // SUBW YA,d: YA + ~d + 1, so C and H mean "no borrow"
    case 0x9A: set_ya(add_word(ya(), u16(~read_direct_word(fetch())), 1)); return 5;
    // CMPW YA,d: NZC
    case 0x5A: {
      int difference = ya() - read_direct_word(fetch());
      set_flag(spc700_flag_c, difference >= 0);
      nz16(u16(difference));
      return 4;
    }
    // MUL YA: YA = Y * A; NZ from Y
    case 0xCF: set_ya(u16(regs.y * regs.a)); nz(regs.y); return 9;
    // DIV YA,X: A = quotient, Y = remainder; NVHZ
    case 0x9E: divide(); return 12;

    // -------------------------------------------------- decimal adjust
    // DAA A: after ADC of two BCD bytes; H is read, not changed
    case 0xDF:
      if (flag(spc700_flag_c) || regs.a > 0x99) {
        regs.a = u8(regs.a + 0x60);
        set_flag(spc700_flag_c, true);
      }
      if (flag(spc700_flag_h) || (regs.a & 0x0F) > 9) regs.a = u8(regs.a + 0x06);
      nz(regs.a);
      return 3;
    // DAS A: after SBC of two BCD bytes; C and H clear mean a borrow
    case 0xBE:
      if (!flag(spc700_flag_c) || regs.a > 0x99) {
        regs.a = u8(regs.a - 0x60);
        set_flag(spc700_flag_c, false);
      }
      if (!flag(spc700_flag_h) || (regs.a & 0x0F) > 9) regs.a = u8(regs.a - 0x06);
      nz(regs.a);
      return 3;

    // ---------------------------------------------------------- branches
    // BRA r
    case 0x2F: return branch(true, 2);
    // BPL / BMI / BVC / BVS / BCC / BCS / BNE / BEQ r
    case 0x10: return branch(!flag(spc700_flag_n), 2);
    case 0x30: return branch(flag(spc700_flag_n), 2);
    case 0x50: return branch(!flag(spc700_flag_v), 2);
    case 0x70: return branch(flag(spc700_flag_v), 2);
    case 0x90: return branch(!flag(spc700_flag_c), 2);
    case 0xB0: return branch(flag(spc700_flag_c), 2);
    case 0xD0: return branch(!flag(spc700_flag_z), 2);
    case 0xF0: return branch(flag(spc700_flag_z), 2);
    // BBS d.b,r (opcode b*32 + 0x03) / BBC d.b,r (b*32 + 0x13)
    case 0x03: case 0x23: case 0x43: case 0x63: case 0x83: case 0xA3: case 0xC3: case 0xE3:
    case 0x13: case 0x33: case 0x53: case 0x73: case 0x93: case 0xB3: case 0xD3: case 0xF3: {
      bool set = read(addr_d()) & (1u << (opcode >> 5));
      return branch(set == !(opcode & 0x10), 5);
    }
    // CBNE d,r / d+X,r: branch when A differs from the byte; no flags
    case 0x2E: value = read(addr_d()); return branch(regs.a != value, 5);
    case 0xDE: value = read(addr_dx()); return branch(regs.a != value, 6);
    // DBNZ d,r: decrement the byte, branch unless it is 0; no flags
    case 0x6E:
      address = addr_d();
      value = u8(read(address) - 1);
      write(address, value);
      return branch(value != 0, 5);
    // DBNZ Y,r
    case 0xFE: return branch(--regs.y != 0, 4);

    // ------------------------------------------------ jumps and calls
    // JMP !a / [!a+X]
    case 0x5F: regs.pc = addr_abs(); return 3;
    case 0x1F: regs.pc = read_word(addr_absx()); return 6;
    // CALL !a
    case 0x3F: address = addr_abs(); push_pc(); regs.pc = address; return 8;
    // PCALL u: call 0xFF00 + u
    case 0x4F: value = fetch(); push_pc(); regs.pc = u16(0xFF00 | value); return 6;
    // TCALL n (opcode n*16 + 0x01): call the vector at 0xFFDE - 2n
    case 0x01: case 0x11: case 0x21: case 0x31: case 0x41: case 0x51: case 0x61: case 0x71:
    case 0x81: case 0x91: case 0xA1: case 0xB1: case 0xC1: case 0xD1: case 0xE1: case 0xF1: {
      push_pc();
      regs.pc = read_word(u16(0xFFDE - 2 * (opcode >> 4)));
      return 8;
    }
    // BRK: push PC and PSW, B on, I off, jump through 0xFFDE
    case 0x0F:
      push_pc();
      push(regs.psw);
      set_flag(spc700_flag_b, true);
      set_flag(spc700_flag_i, false);
      regs.pc = read_word(0xFFDE);
      return 8;
    // RET
    case 0x6F: pop_pc(); return 5;
    // RETI: PSW, then PC
    case 0x7F: regs.psw = pop(); pop_pc(); return 6;

    // -------------------------------------------------------------- stack
    // PUSH A / X / Y / PSW
    case 0x2D: push(regs.a); return 4;
    case 0x4D: push(regs.x); return 4;
    case 0x6D: push(regs.y); return 4;
    case 0x0D: push(regs.psw); return 4;
    // POP A / X / Y / PSW: no flags except PSW itself
    case 0xAE: regs.a = pop(); return 4;
    case 0xCE: regs.x = pop(); return 4;
    case 0xEE: regs.y = pop(); return 4;
    case 0x8E: regs.psw = pop(); return 4;

    // ---------------------------------------------------------- bit ops
    // SET1 d.b (opcode b*32 + 0x02) / CLR1 d.b (b*32 + 0x12)
    case 0x02: case 0x22: case 0x42: case 0x62: case 0x82: case 0xA2: case 0xC2: case 0xE2:
    case 0x12: case 0x32: case 0x52: case 0x72: case 0x92: case 0xB2: case 0xD2: case 0xF2: {
      u8 mask = u8(1u << (opcode >> 5));
      address = addr_d();
      value = read(address);
      write(address, (opcode & 0x10) ? u8(value & ~mask) : u8(value | mask));
      return 4;
    }
    // TSET1 !a / TCLR1 !a: NZ from A - byte, then set / clear A's bits in the byte
    case 0x0E:
    case 0x4E: {
      address = addr_abs();
      value = read(address);
      nz(u8(regs.a - value));
      write(address, opcode == 0x0E ? u8(value | regs.a) : u8(value & ~regs.a));
      return 6;
    }
    // AND1 C,m.b / AND1 C,/m.b
    case 0x4A: bit = addr_bit(); if (!(read(bit.address) & bit.mask)) set_flag(spc700_flag_c, false); return 4;
    case 0x6A: bit = addr_bit(); if (read(bit.address) & bit.mask) set_flag(spc700_flag_c, false); return 4;
    // OR1 C,m.b / OR1 C,/m.b
    case 0x0A: bit = addr_bit(); if (read(bit.address) & bit.mask) set_flag(spc700_flag_c, true); return 5;
    case 0x2A: bit = addr_bit(); if (!(read(bit.address) & bit.mask)) set_flag(spc700_flag_c, true); return 5;
    // EOR1 C,m.b
    case 0x8A: bit = addr_bit(); if (read(bit.address) & bit.mask) regs.psw ^= spc700_flag_c; return 5;
    // NOT1 m.b
    case 0xEA: bit = addr_bit(); write(bit.address, u8(read(bit.address) ^ bit.mask)); return 5;
    // MOV1 C,m.b
    case 0xAA: bit = addr_bit(); set_flag(spc700_flag_c, read(bit.address) & bit.mask); return 4;
    // MOV1 m.b,C
    case 0xCA:
      bit = addr_bit();
      value = read(bit.address);
      write(bit.address, carry() ? u8(value | bit.mask) : u8(value & ~bit.mask));
      return 6;

    // -------------------------------------------------------------- flags
    // CLRC / SETC / NOTC
    case 0x60: set_flag(spc700_flag_c, false); return 2;
    case 0x80: set_flag(spc700_flag_c, true); return 2;
    case 0xED: regs.psw ^= spc700_flag_c; return 3;
    // CLRV: clears V and H
    case 0xE0: regs.psw &= u8(~(spc700_flag_v | spc700_flag_h)); return 2;
    // CLRP / SETP: direct page 0 / 1
    case 0x20: set_flag(spc700_flag_p, false); return 2;
    case 0x40: set_flag(spc700_flag_p, true); return 2;
    // EI / DI
    case 0xA0: set_flag(spc700_flag_i, true); return 3;
    case 0xC0: set_flag(spc700_flag_i, false); return 3;

    // -------------------------------------------------------------- other
    // NOP
    case 0x00: return 2;
    // SLEEP / STOP: wait for an interrupt that never comes
    case 0xEF: halt = spc700_halt::sleep; return 3;
    case 0xFF: halt = spc700_halt::stop; return 3;
  }
  // Every one of the 256 opcodes has its case above.
  __builtin_unreachable();
}
