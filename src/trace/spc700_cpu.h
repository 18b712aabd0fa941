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
  [[gnu::flatten]] void run(const std::int64_t& until) {
    // A copy on the stack whose address never escapes: the compiler keeps
    // its registers in machine registers across the bus's calls.
    spc700_cpu local(*this);
    local.run_instructions(until);
    regs = local.regs;
    halt = local.halt;
    clock = local.clock;
    last_started = local.last_started;
    instructions = local.instructions;
  }
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
  [[gnu::always_inline]] u16 direct(u8 offset) const { return u16((regs.psw & spc700_flag_p) << 3 | offset); }
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
  [[gnu::always_inline]] void set_flag(u8 flag, bool on) { regs.psw = u8(on ? regs.psw | flag : regs.psw & ~flag); }
  [[gnu::always_inline]] bool flag(u8 flag) const {
    if (flag == spc700_flag_n) return n_source_ & 0x80;
    if (flag == spc700_flag_z) return z_source_ == 0;
    return regs.psw & flag;
  }
  [[gnu::always_inline]] u8 carry() const { return regs.psw & spc700_flag_c; }
  // N and Z, which nearly every instruction sets and few read, are kept
  // while the interpreter runs as the value they were last set from: N is
  // bit 7 of n_source_, Z is z_source_ being 0. regs.psw holds the other
  // flags then; psw() and set_psw() give and take all of them.
  unsigned n_source_ = 0, z_source_ = 1;
  [[gnu::always_inline]] u8 psw() const {
    return u8((regs.psw & ~(spc700_flag_n | spc700_flag_z)) | (n_source_ & spc700_flag_n) |
              (z_source_ == 0 ? spc700_flag_z : 0));
  }
  [[gnu::always_inline]] void set_psw(u8 value) {
    regs.psw = value;
    n_source_ = value;
    z_source_ = value & spc700_flag_z ? 0 : 1;
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
  template <u8 (spc700_cpu::*op)(u8)>
  [[gnu::always_inline]] void modify(u16 address) {
    write(address, (this->*op)(read(address)));
  }
  // `value` (already read) combined into the byte at `target`, written back
  // (OR dd,ds / d,#i / (X),(Y) and their kin).
  template <u8 (spc700_cpu::*op)(u8, u8)>
  [[gnu::always_inline]] void combine(u16 target, u8 value) {
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

  // Scratch for the cases below.
  u16 address;
  u8 value;
  bit_operand bit;
  u8 opcode;

  // SLEEP and STOP end the run at once: the loop only watches the clock.
  if (halt != spc700_halt::running) return;
  set_psw(regs.psw);  // N and Z apart while it runs
next_instruction:
  if (clock >= until) goto done;
  last_started = clock;
  ++instructions;
  // Each opcode lists the bus cycles after its fetch: the addressing functions
  // take their own (see above), idle() is an internal cycle.
  opcode = fetch();
  goto *(static_cast<char*>(&&op_0x00) + dispatch[opcode]);
  {
    // ---------------------------------------------------------- 8-bit ALU
    // OR A,d / !a / (X) / [d+X] / #i / d+X / !a+X / !a+Y / [d]+Y
    op_0x04: regs.a = op_or(regs.a, read(addr_d())); goto next_instruction;
    op_0x05: regs.a = op_or(regs.a, read(addr_abs())); goto next_instruction;
    op_0x06: regs.a = op_or(regs.a, read(addr_ix())); goto next_instruction;
    op_0x07: regs.a = op_or(regs.a, read(addr_indx())); goto next_instruction;
    op_0x08: regs.a = op_or(regs.a, fetch()); goto next_instruction;
    op_0x14: regs.a = op_or(regs.a, read(addr_dx())); goto next_instruction;
    op_0x15: regs.a = op_or(regs.a, read(addr_absx())); goto next_instruction;
    op_0x16: regs.a = op_or(regs.a, read(addr_absy())); goto next_instruction;
    op_0x17: regs.a = op_or(regs.a, read(addr_indy())); goto next_instruction;
    // OR dd,ds (operands: source, then destination)
    op_0x09: value = read(addr_d()); combine<&spc700_cpu::op_or>(addr_d(), value); goto next_instruction;
    // OR d,#i (operands: immediate, then destination)
    op_0x18: value = fetch(); combine<&spc700_cpu::op_or>(addr_d(), value); goto next_instruction;
    // OR (X),(Y)
    op_0x19: value = read(addr_iy()); combine<&spc700_cpu::op_or>(direct(regs.x), value); goto next_instruction;

    // AND A,...
    op_0x24: regs.a = op_and(regs.a, read(addr_d())); goto next_instruction;
    op_0x25: regs.a = op_and(regs.a, read(addr_abs())); goto next_instruction;
    op_0x26: regs.a = op_and(regs.a, read(addr_ix())); goto next_instruction;
    op_0x27: regs.a = op_and(regs.a, read(addr_indx())); goto next_instruction;
    op_0x28: regs.a = op_and(regs.a, fetch()); goto next_instruction;
    op_0x34: regs.a = op_and(regs.a, read(addr_dx())); goto next_instruction;
    op_0x35: regs.a = op_and(regs.a, read(addr_absx())); goto next_instruction;
    op_0x36: regs.a = op_and(regs.a, read(addr_absy())); goto next_instruction;
    op_0x37: regs.a = op_and(regs.a, read(addr_indy())); goto next_instruction;
    // AND dd,ds / AND d,#i / AND (X),(Y)
    op_0x29: value = read(addr_d()); combine<&spc700_cpu::op_and>(addr_d(), value); goto next_instruction;
    op_0x38: value = fetch(); combine<&spc700_cpu::op_and>(addr_d(), value); goto next_instruction;
    op_0x39: value = read(addr_iy()); combine<&spc700_cpu::op_and>(direct(regs.x), value); goto next_instruction;

    // EOR A,...
    op_0x44: regs.a = op_eor(regs.a, read(addr_d())); goto next_instruction;
    op_0x45: regs.a = op_eor(regs.a, read(addr_abs())); goto next_instruction;
    op_0x46: regs.a = op_eor(regs.a, read(addr_ix())); goto next_instruction;
    op_0x47: regs.a = op_eor(regs.a, read(addr_indx())); goto next_instruction;
    op_0x48: regs.a = op_eor(regs.a, fetch()); goto next_instruction;
    op_0x54: regs.a = op_eor(regs.a, read(addr_dx())); goto next_instruction;
    op_0x55: regs.a = op_eor(regs.a, read(addr_absx())); goto next_instruction;
    op_0x56: regs.a = op_eor(regs.a, read(addr_absy())); goto next_instruction;
    op_0x57: regs.a = op_eor(regs.a, read(addr_indy())); goto next_instruction;
    // EOR dd,ds / EOR d,#i / EOR (X),(Y)
    op_0x49: value = read(addr_d()); combine<&spc700_cpu::op_eor>(addr_d(), value); goto next_instruction;
    op_0x58: value = fetch(); combine<&spc700_cpu::op_eor>(addr_d(), value); goto next_instruction;
    op_0x59: value = read(addr_iy()); combine<&spc700_cpu::op_eor>(direct(regs.x), value); goto next_instruction;

    // CMP A,...
    op_0x64: op_cmp(regs.a, read(addr_d())); goto next_instruction;
    op_0x65: op_cmp(regs.a, read(addr_abs())); goto next_instruction;
    op_0x66: op_cmp(regs.a, read(addr_ix())); goto next_instruction;
    op_0x67: op_cmp(regs.a, read(addr_indx())); goto next_instruction;
    op_0x68: op_cmp(regs.a, fetch()); goto next_instruction;
    op_0x74: op_cmp(regs.a, read(addr_dx())); goto next_instruction;
    op_0x75: op_cmp(regs.a, read(addr_absx())); goto next_instruction;
    op_0x76: op_cmp(regs.a, read(addr_absy())); goto next_instruction;
    op_0x77: op_cmp(regs.a, read(addr_indy())); goto next_instruction;
    // CMP dd,ds / CMP d,#i / CMP (X),(Y): compare only; a cycle where the others write
    op_0x69: value = read(addr_d()); op_cmp(read(addr_d()), value); idle(); goto next_instruction;
    op_0x78: value = fetch(); op_cmp(read(addr_d()), value); idle(); goto next_instruction;
    op_0x79: value = read(addr_iy()); op_cmp(read(direct(regs.x)), value); idle(); goto next_instruction;
    // CMP X,#i / d / !a and CMP Y,#i / d / !a
    op_0xC8: op_cmp(regs.x, fetch()); goto next_instruction;
    op_0x3E: op_cmp(regs.x, read(addr_d())); goto next_instruction;
    op_0x1E: op_cmp(regs.x, read(addr_abs())); goto next_instruction;
    op_0xAD: op_cmp(regs.y, fetch()); goto next_instruction;
    op_0x7E: op_cmp(regs.y, read(addr_d())); goto next_instruction;
    op_0x5E: op_cmp(regs.y, read(addr_abs())); goto next_instruction;

    // ADC A,...
    op_0x84: regs.a = op_adc(regs.a, read(addr_d())); goto next_instruction;
    op_0x85: regs.a = op_adc(regs.a, read(addr_abs())); goto next_instruction;
    op_0x86: regs.a = op_adc(regs.a, read(addr_ix())); goto next_instruction;
    op_0x87: regs.a = op_adc(regs.a, read(addr_indx())); goto next_instruction;
    op_0x88: regs.a = op_adc(regs.a, fetch()); goto next_instruction;
    op_0x94: regs.a = op_adc(regs.a, read(addr_dx())); goto next_instruction;
    op_0x95: regs.a = op_adc(regs.a, read(addr_absx())); goto next_instruction;
    op_0x96: regs.a = op_adc(regs.a, read(addr_absy())); goto next_instruction;
    op_0x97: regs.a = op_adc(regs.a, read(addr_indy())); goto next_instruction;
    // ADC dd,ds / ADC d,#i / ADC (X),(Y)
    op_0x89: value = read(addr_d()); combine<&spc700_cpu::op_adc>(addr_d(), value); goto next_instruction;
    op_0x98: value = fetch(); combine<&spc700_cpu::op_adc>(addr_d(), value); goto next_instruction;
    op_0x99: value = read(addr_iy()); combine<&spc700_cpu::op_adc>(direct(regs.x), value); goto next_instruction;

    // SBC A,...
    op_0xA4: regs.a = op_sbc(regs.a, read(addr_d())); goto next_instruction;
    op_0xA5: regs.a = op_sbc(regs.a, read(addr_abs())); goto next_instruction;
    op_0xA6: regs.a = op_sbc(regs.a, read(addr_ix())); goto next_instruction;
    op_0xA7: regs.a = op_sbc(regs.a, read(addr_indx())); goto next_instruction;
    op_0xA8: regs.a = op_sbc(regs.a, fetch()); goto next_instruction;
    op_0xB4: regs.a = op_sbc(regs.a, read(addr_dx())); goto next_instruction;
    op_0xB5: regs.a = op_sbc(regs.a, read(addr_absx())); goto next_instruction;
    op_0xB6: regs.a = op_sbc(regs.a, read(addr_absy())); goto next_instruction;
    op_0xB7: regs.a = op_sbc(regs.a, read(addr_indy())); goto next_instruction;
    // SBC dd,ds / SBC d,#i / SBC (X),(Y)
    op_0xA9: value = read(addr_d()); combine<&spc700_cpu::op_sbc>(addr_d(), value); goto next_instruction;
    op_0xB8: value = fetch(); combine<&spc700_cpu::op_sbc>(addr_d(), value); goto next_instruction;
    op_0xB9: value = read(addr_iy()); combine<&spc700_cpu::op_sbc>(direct(regs.x), value); goto next_instruction;

    // ------------------------------------------------- shifts and rotates
    // ASL d / !a / d+X / A
    op_0x0B: modify<&spc700_cpu::op_asl>(addr_d()); goto next_instruction;
    op_0x0C: modify<&spc700_cpu::op_asl>(addr_abs()); goto next_instruction;
    op_0x1B: modify<&spc700_cpu::op_asl>(addr_dx()); goto next_instruction;
    op_0x1C: dummy_fetch(); regs.a = op_asl(regs.a); goto next_instruction;
    // ROL d / !a / d+X / A
    op_0x2B: modify<&spc700_cpu::op_rol>(addr_d()); goto next_instruction;
    op_0x2C: modify<&spc700_cpu::op_rol>(addr_abs()); goto next_instruction;
    op_0x3B: modify<&spc700_cpu::op_rol>(addr_dx()); goto next_instruction;
    op_0x3C: dummy_fetch(); regs.a = op_rol(regs.a); goto next_instruction;
    // LSR d / !a / d+X / A
    op_0x4B: modify<&spc700_cpu::op_lsr>(addr_d()); goto next_instruction;
    op_0x4C: modify<&spc700_cpu::op_lsr>(addr_abs()); goto next_instruction;
    op_0x5B: modify<&spc700_cpu::op_lsr>(addr_dx()); goto next_instruction;
    op_0x5C: dummy_fetch(); regs.a = op_lsr(regs.a); goto next_instruction;
    // ROR d / !a / d+X / A
    op_0x6B: modify<&spc700_cpu::op_ror>(addr_d()); goto next_instruction;
    op_0x6C: modify<&spc700_cpu::op_ror>(addr_abs()); goto next_instruction;
    op_0x7B: modify<&spc700_cpu::op_ror>(addr_dx()); goto next_instruction;
    op_0x7C: dummy_fetch(); regs.a = op_ror(regs.a); goto next_instruction;
    // XCN A: swap A's nibbles
    op_0x9F: dummy_fetch(); idle(3); regs.a = nz(u8(regs.a >> 4 | regs.a << 4)); goto next_instruction;

    // -------------------------------------------------- increment, decrement
    // INC d / !a / d+X / A / X / Y
    op_0xAB: modify<&spc700_cpu::op_inc>(addr_d()); goto next_instruction;
    op_0xAC: modify<&spc700_cpu::op_inc>(addr_abs()); goto next_instruction;
    op_0xBB: modify<&spc700_cpu::op_inc>(addr_dx()); goto next_instruction;
    op_0xBC: dummy_fetch(); regs.a = op_inc(regs.a); goto next_instruction;
    op_0x3D: dummy_fetch(); regs.x = op_inc(regs.x); goto next_instruction;
    op_0xFC: dummy_fetch(); regs.y = op_inc(regs.y); goto next_instruction;
    // DEC d / !a / d+X / A / X / Y
    op_0x8B: modify<&spc700_cpu::op_dec>(addr_d()); goto next_instruction;
    op_0x8C: modify<&spc700_cpu::op_dec>(addr_abs()); goto next_instruction;
    op_0x9B: modify<&spc700_cpu::op_dec>(addr_dx()); goto next_instruction;
    op_0x9C: dummy_fetch(); regs.a = op_dec(regs.a); goto next_instruction;
    op_0x1D: dummy_fetch(); regs.x = op_dec(regs.x); goto next_instruction;
    op_0xDC: dummy_fetch(); regs.y = op_dec(regs.y); goto next_instruction;

    // ------------------------------------------------------------- loads
    // MOV A,d / !a / (X) / [d+X] / #i / d+X / !a+X / !a+Y / [d]+Y / (X)+
    op_0xE4: regs.a = nz(read(addr_d())); goto next_instruction;
    op_0xE5: regs.a = nz(read(addr_abs())); goto next_instruction;
    op_0xE6: regs.a = nz(read(addr_ix())); goto next_instruction;
    op_0xE7: regs.a = nz(read(addr_indx())); goto next_instruction;
    op_0xE8: regs.a = nz(fetch()); goto next_instruction;
    op_0xF4: regs.a = nz(read(addr_dx())); goto next_instruction;
    op_0xF5: regs.a = nz(read(addr_absx())); goto next_instruction;
    op_0xF6: regs.a = nz(read(addr_absy())); goto next_instruction;
    op_0xF7: regs.a = nz(read(addr_indy())); goto next_instruction;
    op_0xBF: regs.a = nz(read(addr_ix())); idle(); regs.x++; goto next_instruction;
    // MOV X,#i / d / d+Y / !a
    op_0xCD: regs.x = nz(fetch()); goto next_instruction;
    op_0xF8: regs.x = nz(read(addr_d())); goto next_instruction;
    op_0xF9: regs.x = nz(read(addr_dy())); goto next_instruction;
    op_0xE9: regs.x = nz(read(addr_abs())); goto next_instruction;
    // MOV Y,#i / d / d+X / !a
    op_0x8D: regs.y = nz(fetch()); goto next_instruction;
    op_0xEB: regs.y = nz(read(addr_d())); goto next_instruction;
    op_0xFB: regs.y = nz(read(addr_dx())); goto next_instruction;
    op_0xEC: regs.y = nz(read(addr_abs())); goto next_instruction;

    // ------------------------------------------------------------ stores
    // MOV d / !a / (X) / [d+X] / d+X / !a+X / !a+Y / [d]+Y, A
    op_0xC4: store(addr_d(), regs.a); goto next_instruction;
    op_0xC5: store(addr_abs(), regs.a); goto next_instruction;
    op_0xC6: store(addr_ix(), regs.a); goto next_instruction;
    op_0xC7: store(addr_indx(), regs.a); goto next_instruction;
    op_0xD4: store(addr_dx(), regs.a); goto next_instruction;
    op_0xD5: store(addr_absx(), regs.a); goto next_instruction;
    op_0xD6: store(addr_absy(), regs.a); goto next_instruction;
    op_0xD7: store(addr_indy_store(), regs.a); goto next_instruction;
    // MOV (X)+,A: a cycle for the increment instead of the read
    op_0xAF: dummy_fetch(); idle(); write(direct(regs.x), regs.a); regs.x++; goto next_instruction;
    // MOV d / d+Y / !a, X
    op_0xD8: store(addr_d(), regs.x); goto next_instruction;
    op_0xD9: store(addr_dy(), regs.x); goto next_instruction;
    op_0xC9: store(addr_abs(), regs.x); goto next_instruction;
    // MOV d / d+X / !a, Y
    op_0xCB: store(addr_d(), regs.y); goto next_instruction;
    op_0xDB: store(addr_dx(), regs.y); goto next_instruction;
    op_0xCC: store(addr_abs(), regs.y); goto next_instruction;
    // MOV d,#i (operands: immediate, then destination)
    op_0x8F: value = fetch(); store(addr_d(), value); goto next_instruction;
    // MOV dd,ds (operands: source, then destination); no flags, no read of the destination
    op_0xFA: value = read(addr_d()); write(addr_d(), value); goto next_instruction;

    // ------------------------------------------------- register transfers
    // MOV A,X / A,Y / X,A / Y,A / X,SP: NZ; MOV SP,X: no flags
    op_0x7D: dummy_fetch(); regs.a = nz(regs.x); goto next_instruction;
    op_0xDD: dummy_fetch(); regs.a = nz(regs.y); goto next_instruction;
    op_0x5D: dummy_fetch(); regs.x = nz(regs.a); goto next_instruction;
    op_0xFD: dummy_fetch(); regs.y = nz(regs.a); goto next_instruction;
    op_0x9D: dummy_fetch(); regs.x = nz(regs.sp); goto next_instruction;
    op_0xBD: dummy_fetch(); regs.sp = regs.x; goto next_instruction;

    // ------------------------------------------------------- 16-bit ops
    // MOVW YA,d: NZ from the word; a cycle between the bytes
    op_0xBA: set_ya(read_word_split(fetch())); nz16(ya()); goto next_instruction;
    // MOVW d,YA: low byte (read first), then high; no flags
    op_0xDA: {
      u8 offset = fetch();
      store(direct(offset), regs.a);
      write(direct(u8(offset + 1)), regs.y);
      goto next_instruction;
    }
    // INCW d / DECW d: NZ from the word
    op_0x3A: step_word(1); goto next_instruction;
    op_0x1A: step_word(-1); goto next_instruction;
    // ADDW YA,d: NVHZC, carry in ignored
    op_0x7A: set_ya(add_word(ya(), read_word_split(fetch()), 0)); goto next_instruction;
    // SUBW YA,d: YA + ~d + 1, so C and H mean "no borrow"
    op_0x9A: set_ya(add_word(ya(), u16(~read_word_split(fetch())), 1)); goto next_instruction;
    // CMPW YA,d: NZC
    op_0x5A: {
      int difference = ya() - read_direct_word(fetch());
      set_flag(spc700_flag_c, difference >= 0);
      nz16(u16(difference));
      goto next_instruction;
    }
    // MUL YA: YA = Y * A; NZ from Y
    op_0xCF: dummy_fetch(); idle(7); set_ya(u16(regs.y * regs.a)); nz(regs.y); goto next_instruction;
    // DIV YA,X: A = quotient, Y = remainder; NVHZ
    op_0x9E: dummy_fetch(); idle(10); divide(); goto next_instruction;

    // -------------------------------------------------- decimal adjust
    // DAA A: after ADC of two BCD bytes; H is read, not changed
    op_0xDF:
      dummy_fetch();
      idle();
      if (flag(spc700_flag_c) || regs.a > 0x99) {
        regs.a = u8(regs.a + 0x60);
        set_flag(spc700_flag_c, true);
      }
      if (flag(spc700_flag_h) || (regs.a & 0x0F) > 9) regs.a = u8(regs.a + 0x06);
      nz(regs.a);
      goto next_instruction;
    // DAS A: after SBC of two BCD bytes; C and H clear mean a borrow
    op_0xBE:
      dummy_fetch();
      idle();
      if (!flag(spc700_flag_c) || regs.a > 0x99) {
        regs.a = u8(regs.a - 0x60);
        set_flag(spc700_flag_c, false);
      }
      if (!flag(spc700_flag_h) || (regs.a & 0x0F) > 9) regs.a = u8(regs.a - 0x06);
      nz(regs.a);
      goto next_instruction;

    // ---------------------------------------------------------- branches
    // BRA r
    op_0x2F: branch(true); goto next_instruction;
    // BPL / BMI / BVC / BVS / BCC / BCS / BNE / BEQ r
    op_0x10: branch(!flag(spc700_flag_n)); goto next_instruction;
    op_0x30: branch(flag(spc700_flag_n)); goto next_instruction;
    op_0x50: branch(!flag(spc700_flag_v)); goto next_instruction;
    op_0x70: branch(flag(spc700_flag_v)); goto next_instruction;
    op_0x90: branch(!flag(spc700_flag_c)); goto next_instruction;
    op_0xB0: branch(flag(spc700_flag_c)); goto next_instruction;
    op_0xD0: branch(!flag(spc700_flag_z)); goto next_instruction;
    op_0xF0: branch(flag(spc700_flag_z)); goto next_instruction;
    // BBS d.b,r (opcode b*32 + 0x03) / BBC d.b,r (b*32 + 0x13)
    op_0x03: op_0x23: op_0x43: op_0x63: op_0x83: op_0xA3: op_0xC3: op_0xE3:
    op_0x13: op_0x33: op_0x53: op_0x73: op_0x93: op_0xB3: op_0xD3: op_0xF3: {
      bool set = read(addr_d()) & (1u << (opcode >> 5));
      idle();
      branch(set == !(opcode & 0x10));
      goto next_instruction;
    }
    // CBNE d,r / d+X,r: branch when A differs from the byte; no flags
    op_0x2E: value = read(addr_d()); idle(); branch(regs.a != value); goto next_instruction;
    op_0xDE: value = read(addr_dx()); idle(); branch(regs.a != value); goto next_instruction;
    // DBNZ d,r: decrement the byte, branch unless it is 0; no flags
    op_0x6E:
      address = addr_d();
      value = u8(read(address) - 1);
      write(address, value);
      branch(value != 0);
      goto next_instruction;
    // DBNZ Y,r
    op_0xFE: dummy_fetch(); idle(); branch(--regs.y != 0); goto next_instruction;

    // ------------------------------------------------ jumps and calls
    // JMP !a / [!a+X]
    op_0x5F: regs.pc = addr_abs(); goto next_instruction;
    op_0x1F: regs.pc = read_word(addr_absx()); goto next_instruction;
    // CALL !a
    op_0x3F: address = addr_abs(); idle(); push_pc(); idle(2); regs.pc = address; goto next_instruction;
    // PCALL u: call 0xFF00 + u
    op_0x4F: value = fetch(); idle(); push_pc(); idle(); regs.pc = u16(0xFF00 | value); goto next_instruction;
    // TCALL n (opcode n*16 + 0x01): call the vector at 0xFFDE - 2n
    op_0x01: op_0x11: op_0x21: op_0x31: op_0x41: op_0x51: op_0x61: op_0x71:
    op_0x81: op_0x91: op_0xA1: op_0xB1: op_0xC1: op_0xD1: op_0xE1: op_0xF1:
      dummy_fetch();
      idle();
      push_pc();
      idle();
      regs.pc = read_word(u16(0xFFDE - 2 * (opcode >> 4)));
      goto next_instruction;
    // BRK: push PC and PSW, B on, I off, jump through 0xFFDE
    op_0x0F:
      dummy_fetch();
      push_pc();
      push(psw());
      idle();
      set_flag(spc700_flag_b, true);
      set_flag(spc700_flag_i, false);
      regs.pc = read_word(0xFFDE);
      goto next_instruction;
    // RET
    op_0x6F: dummy_fetch(); idle(); pop_pc(); goto next_instruction;
    // RETI: PSW, then PC
    op_0x7F: dummy_fetch(); idle(); set_psw(pop()); pop_pc(); goto next_instruction;

    // -------------------------------------------------------------- stack
    // PUSH A / X / Y / PSW: the write, then a cycle for SP
    op_0x2D: dummy_fetch(); push(regs.a); idle(); goto next_instruction;
    op_0x4D: dummy_fetch(); push(regs.x); idle(); goto next_instruction;
    op_0x6D: dummy_fetch(); push(regs.y); idle(); goto next_instruction;
    op_0x0D: dummy_fetch(); push(psw()); idle(); goto next_instruction;
    // POP A / X / Y / PSW: a cycle for SP, then the read; no flags except PSW itself
    op_0xAE: dummy_fetch(); idle(); regs.a = pop(); goto next_instruction;
    op_0xCE: dummy_fetch(); idle(); regs.x = pop(); goto next_instruction;
    op_0xEE: dummy_fetch(); idle(); regs.y = pop(); goto next_instruction;
    op_0x8E: dummy_fetch(); idle(); set_psw(pop()); goto next_instruction;

    // ---------------------------------------------------------- bit ops
    // SET1 d.b (opcode b*32 + 0x02) / CLR1 d.b (b*32 + 0x12)
    op_0x02: op_0x22: op_0x42: op_0x62: op_0x82: op_0xA2: op_0xC2: op_0xE2:
    op_0x12: op_0x32: op_0x52: op_0x72: op_0x92: op_0xB2: op_0xD2: op_0xF2: {
      u8 mask = u8(1u << (opcode >> 5));
      address = addr_d();
      value = read(address);
      write(address, (opcode & 0x10) ? u8(value & ~mask) : u8(value | mask));
      goto next_instruction;
    }
    // TSET1 !a / TCLR1 !a: NZ from A - byte, then set / clear A's bits in the byte
    op_0x0E:
    op_0x4E: {
      address = addr_abs();
      value = read(address);
      nz(u8(regs.a - value));
      store(address, opcode == 0x0E ? u8(value | regs.a) : u8(value & ~regs.a));
      goto next_instruction;
    }
    // AND1 C,m.b / AND1 C,/m.b
    op_0x4A: bit = addr_bit(); if (!(read(bit.address) & bit.mask)) set_flag(spc700_flag_c, false); goto next_instruction;
    op_0x6A: bit = addr_bit(); if (read(bit.address) & bit.mask) set_flag(spc700_flag_c, false); goto next_instruction;
    // OR1 C,m.b / OR1 C,/m.b
    op_0x0A: bit = addr_bit(); if (read(bit.address) & bit.mask) set_flag(spc700_flag_c, true); idle(); goto next_instruction;
    op_0x2A: bit = addr_bit(); if (!(read(bit.address) & bit.mask)) set_flag(spc700_flag_c, true); idle(); goto next_instruction;
    // EOR1 C,m.b
    op_0x8A: bit = addr_bit(); if (read(bit.address) & bit.mask) regs.psw ^= spc700_flag_c; idle(); goto next_instruction;
    // NOT1 m.b
    op_0xEA: bit = addr_bit(); write(bit.address, u8(read(bit.address) ^ bit.mask)); goto next_instruction;
    // MOV1 C,m.b
    op_0xAA: bit = addr_bit(); set_flag(spc700_flag_c, read(bit.address) & bit.mask); goto next_instruction;
    // MOV1 m.b,C
    op_0xCA:
      bit = addr_bit();
      value = read(bit.address);
      idle();
      write(bit.address, carry() ? u8(value | bit.mask) : u8(value & ~bit.mask));
      goto next_instruction;

    // -------------------------------------------------------------- flags
    // CLRC / SETC / NOTC
    op_0x60: dummy_fetch(); set_flag(spc700_flag_c, false); goto next_instruction;
    op_0x80: dummy_fetch(); set_flag(spc700_flag_c, true); goto next_instruction;
    op_0xED: dummy_fetch(); idle(); regs.psw ^= spc700_flag_c; goto next_instruction;
    // CLRV: clears V and H
    op_0xE0: dummy_fetch(); regs.psw &= u8(~(spc700_flag_v | spc700_flag_h)); goto next_instruction;
    // CLRP / SETP: direct page 0 / 1
    op_0x20: dummy_fetch(); set_flag(spc700_flag_p, false); goto next_instruction;
    op_0x40: dummy_fetch(); set_flag(spc700_flag_p, true); goto next_instruction;
    // EI / DI
    op_0xA0: dummy_fetch(); idle(); set_flag(spc700_flag_i, true); goto next_instruction;
    op_0xC0: dummy_fetch(); idle(); set_flag(spc700_flag_i, false); goto next_instruction;

    // -------------------------------------------------------------- other
    // NOP
    op_0x00: dummy_fetch(); goto next_instruction;
    // SLEEP / STOP: wait for an interrupt that never comes
    op_0xEF: dummy_fetch(); idle(); halt = spc700_halt::sleep; goto done;
    op_0xFF: dummy_fetch(); idle(); halt = spc700_halt::stop; goto done;
  }
done:
  regs.psw = psw();
}
