// Building blocks shared by the instruction groups: operand fetch, the stack,
// register selection by opcode field, and the arithmetic and logic rules with
// their flags. Everything here is inline so that each opcode case compiles to
// straight-line code.
#pragma once

#include "z80_bus.h"
#include "z80_tables.h"

// Which pair stands where an unprefixed instruction names HL, H, L or (HL).
enum class IndexReg { HL, IX, IY };

// One refresh step of R (or one taken back): the low 7 bits count, bit 7
// stays. Only buses that keep R take it.
template <int Step, class Bus>
Z80_INLINE void refresh_step(Cpu<Bus>& c) {
    if constexpr (Bus::refresh) c.r = static_cast<uint8_t>((c.r & 0x80) | ((c.r + Step) & 0x7F));
}

// An opcode fetch: `Offset` is its cycle within the instruction (4 for the
// byte after a prefix).
template <int Offset, class Bus>
Z80_INLINE uint8_t fetch_opcode(Cpu<Bus>& c) {
    const uint8_t refresh = c.r;
    refresh_step<+1>(c);
    return c.bus.fetch(c.s, c.pc++, refresh, c.cycles, Offset);
}

// A fetch that the same instruction will make again: the byte after a prefix
// that turned out to be a prefix itself. Its refresh step is taken back.
template <class Bus>
Z80_INLINE void unfetch_opcode(Cpu<Bus>& c) {
    --c.pc;
    refresh_step<-1>(c);
}

template <class Bus>
Z80_INLINE uint8_t fetch8(Cpu<Bus>& c) {
    return c.bus.read(c.pc++);
}

template <class Bus>
Z80_INLINE uint16_t fetch16(Cpu<Bus>& c) {
    const uint8_t low = fetch8(c);
    const uint8_t high = fetch8(c);
    return static_cast<uint16_t>(low | (high << 8));
}

template <class Bus>
Z80_INLINE void push16(Cpu<Bus>& c, uint16_t value) {
    RegPair& sp = c.s.SP;
    --sp.w;
    c.bus.write(sp.w, static_cast<uint8_t>(value >> 8));
    --sp.w;
    c.bus.write(sp.w, static_cast<uint8_t>(value));
}

template <class Bus>
Z80_INLINE uint16_t pop16(Cpu<Bus>& c) {
    RegPair& sp = c.s.SP;
    const uint8_t low = c.bus.read(sp.w++);
    const uint8_t high = c.bus.read(sp.w++);
    return static_cast<uint16_t>(low | (high << 8));
}

template <class Bus>
Z80_INLINE uint8_t& reg_f(Cpu<Bus>& c) { return c.s.AF.b.l; }

// HL, or the index register that replaces it.
template <IndexReg I>
Z80_INLINE RegPair& hl_pair(Z80State& s) {
    if constexpr (I == IndexReg::HL)
        return s.HL;
    else if constexpr (I == IndexReg::IX)
        return s.IX;
    else
        return s.IY;
}

// Register field r of an opcode (0 B, 1 C, 2 D, 3 E, 4 H, 5 L, 7 A); H and L
// become the halves of the index register under a DD or FD prefix. Field 6,
// the memory operand, is handled by the callers.
template <IndexReg I, int R>
Z80_INLINE uint8_t& reg8(Z80State& s) {
    static_assert(R >= 0 && R <= 7 && R != 6, "register field 6 is the memory operand");
    if constexpr (R == 0) return s.BC.b.h;
    if constexpr (R == 1) return s.BC.b.l;
    if constexpr (R == 2) return s.DE.b.h;
    if constexpr (R == 3) return s.DE.b.l;
    if constexpr (R == 4) return hl_pair<I>(s).b.h;
    if constexpr (R == 5) return hl_pair<I>(s).b.l;
    if constexpr (R == 7) return s.AF.b.h;
}

// Pair field p of an opcode (0 BC, 1 DE, 2 HL or the index register, 3 SP).
template <IndexReg I, int P>
Z80_INLINE RegPair& pair16(Z80State& s) {
    if constexpr (P == 0) return s.BC;
    if constexpr (P == 1) return s.DE;
    if constexpr (P == 2) return hl_pair<I>(s);
    if constexpr (P == 3) return s.SP;
}

// Pair field p of PUSH and POP, where 3 means AF.
template <IndexReg I, int P>
Z80_INLINE RegPair& pair16_af(Z80State& s) {
    if constexpr (P == 3)
        return s.AF;
    else
        return pair16<I, P>(s);
}

// The address of the memory operand: HL, or the index register plus the
// signed displacement byte that follows the opcode.
template <IndexReg I, class Bus>
Z80_INLINE uint16_t memory_operand(Cpu<Bus>& c) {
    if constexpr (I == IndexReg::HL) {
        return c.s.HL.w;
    } else {
        const int8_t d = static_cast<int8_t>(fetch8(c));
        return static_cast<uint16_t>(hl_pair<I>(c.s).w + d);
    }
}

// Condition field c: NZ, Z, NC, C, PO, PE, P, M.
template <int C>
Z80_INLINE bool condition(const Z80State& s) {
    const uint8_t f = s.AF.b.l;
    if constexpr (C == 0) return !(f & FLAG_Z);
    if constexpr (C == 1) return f & FLAG_Z;
    if constexpr (C == 2) return !(f & FLAG_C);
    if constexpr (C == 3) return f & FLAG_C;
    if constexpr (C == 4) return !(f & FLAG_PV);
    if constexpr (C == 5) return f & FLAG_PV;
    if constexpr (C == 6) return !(f & FLAG_S);
    if constexpr (C == 7) return f & FLAG_S;
}

// 8-bit arithmetic. Bits 3 and 5 of F are always cleared.
Z80_INLINE void alu_add(Z80State& s, uint8_t v, unsigned carry) {
    const unsigned a = s.AF.b.h;
    const unsigned r = a + v + carry;
    s.AF.b.l = static_cast<uint8_t>(flags_zs[r & 0xFF] | ((a ^ v ^ r) & FLAG_H) |
                                    (((a ^ r) & (v ^ r) & 0x80) >> 5) | (r >> 8));
    s.AF.b.h = static_cast<uint8_t>(r);
}

// Subtraction; returns the 8-bit result and sets F (SUB, SBC, CP).
Z80_INLINE uint8_t alu_sub_flags(Z80State& s, uint8_t v, unsigned carry) {
    const unsigned a = s.AF.b.h;
    const unsigned r = a - v - carry;
    s.AF.b.l = static_cast<uint8_t>(flags_zs[r & 0xFF] | ((a ^ v ^ r) & FLAG_H) |
                                    (((a ^ v) & (a ^ r) & 0x80) >> 5) | FLAG_N |
                                    ((r >> 8) & FLAG_C));
    return static_cast<uint8_t>(r);
}

// ALU operation field: 0 ADD, 1 ADC, 2 SUB, 3 SBC, 4 AND, 5 XOR, 6 OR, 7 CP.
template <int Op>
Z80_INLINE void alu_op(Z80State& s, uint8_t v) {
    uint8_t& a = s.AF.b.h;
    uint8_t& f = s.AF.b.l;
    if constexpr (Op == 0) {
        alu_add(s, v, 0);
    } else if constexpr (Op == 1) {
        alu_add(s, v, f & FLAG_C);
    } else if constexpr (Op == 2) {
        a = alu_sub_flags(s, v, 0);
    } else if constexpr (Op == 3) {
        a = alu_sub_flags(s, v, f & FLAG_C);
    } else if constexpr (Op == 4) {
        a &= v;
        f = flags_zsp[a] | FLAG_H;
    } else if constexpr (Op == 5) {
        a ^= v;
        f = flags_zsp[a];
    } else if constexpr (Op == 6) {
        a |= v;
        f = flags_zsp[a];
    } else {
        alu_sub_flags(s, v, 0);
    }
}

Z80_INLINE uint8_t alu_inc(Z80State& s, uint8_t v) {
    const uint8_t r = static_cast<uint8_t>(v + 1);
    s.AF.b.l = static_cast<uint8_t>((s.AF.b.l & FLAG_C) | flags_zs[r] |
                                    ((r & 0x0F) == 0 ? FLAG_H : 0) | (r == 0x80 ? FLAG_PV : 0));
    return r;
}

Z80_INLINE uint8_t alu_dec(Z80State& s, uint8_t v) {
    const uint8_t r = static_cast<uint8_t>(v - 1);
    s.AF.b.l = static_cast<uint8_t>((s.AF.b.l & FLAG_C) | flags_zs[r] |
                                    ((r & 0x0F) == 0x0F ? FLAG_H : 0) |
                                    (r == 0x7F ? FLAG_PV : 0) | FLAG_N);
    return r;
}

// ADD HL,rr (and ADD IX/IY,rr): H from bit 11, C from bit 15; S, Z, P/V and
// bits 3 and 5 stay.
Z80_INLINE void alu_add16(Z80State& s, RegPair& target, uint16_t v) {
    const unsigned a = target.w;
    const unsigned r = a + v;
    s.AF.b.l = static_cast<uint8_t>((s.AF.b.l & (FLAG_S | FLAG_Z | FLAG_5 | FLAG_3 | FLAG_PV)) |
                                    (((a ^ v ^ r) >> 8) & FLAG_H) | (r >> 16));
    target.w = static_cast<uint16_t>(r);
}

// Rotate/shift field of the CB groups: 0 RLC, 1 RRC, 2 RL, 3 RR, 4 SLA,
// 5 SRA, 6 SLL, 7 SRL. F = S, Z, P/V of the result plus the bit shifted out.
template <int Op>
Z80_INLINE uint8_t rotate_shift(Z80State& s, uint8_t v) {
    const unsigned old_carry = s.AF.b.l & FLAG_C;
    unsigned r;
    unsigned carry;
    if constexpr (Op == 0) { r = (v << 1) | (v >> 7); carry = v >> 7; }
    if constexpr (Op == 1) { r = (v >> 1) | (v << 7); carry = v & 1; }
    if constexpr (Op == 2) { r = (v << 1) | old_carry; carry = v >> 7; }
    if constexpr (Op == 3) { r = (v >> 1) | (old_carry << 7); carry = v & 1; }
    if constexpr (Op == 4) { r = v << 1; carry = v >> 7; }
    if constexpr (Op == 5) { r = (v >> 1) | (v & 0x80); carry = v & 1; }
    if constexpr (Op == 6) { r = (v << 1) | 1; carry = v >> 7; }
    if constexpr (Op == 7) { r = v >> 1; carry = v & 1; }
    const uint8_t result = static_cast<uint8_t>(r);
    s.AF.b.l = static_cast<uint8_t>(flags_zsp[result] | carry);
    return result;
}

// BIT b: Z = the inverse of the bit, H set, N cleared, every other flag kept.
template <int B>
Z80_INLINE void bit_test(Z80State& s, uint8_t v) {
    s.AF.b.l = static_cast<uint8_t>((s.AF.b.l & 0xBD) | ((v & (1 << B)) ? 0 : FLAG_Z) | FLAG_H);
}

// The value a CB-group opcode other than BIT makes of v: rotate or shift
// (family 0, with its flags), RES (2) or SET (3) of the bit in field.
template <int Family, int Field>
Z80_INLINE uint8_t bit_operation(Z80State& s, uint8_t v) {
    constexpr uint8_t mask = static_cast<uint8_t>(1 << Field);
    if constexpr (Family == 0)
        return rotate_shift<Field>(s, v);
    else if constexpr (Family == 2)
        return v & static_cast<uint8_t>(~mask);
    else
        return v | mask;
}

// Expands M(n) for every byte value n, n being a two-digit hexadecimal token
// (00 to FF), for dispatch tables and switches with a case per opcode.
#define Z80_HEX_ROW(M, h)                                                                      \
    M(h##0) M(h##1) M(h##2) M(h##3) M(h##4) M(h##5) M(h##6) M(h##7) M(h##8) M(h##9) M(h##A) \
    M(h##B) M(h##C) M(h##D) M(h##E) M(h##F)
#define Z80_EACH_BYTE(M)                                                                       \
    Z80_HEX_ROW(M, 0) Z80_HEX_ROW(M, 1) Z80_HEX_ROW(M, 2) Z80_HEX_ROW(M, 3) Z80_HEX_ROW(M, 4) \
    Z80_HEX_ROW(M, 5) Z80_HEX_ROW(M, 6) Z80_HEX_ROW(M, 7) Z80_HEX_ROW(M, 8) Z80_HEX_ROW(M, 9) \
    Z80_HEX_ROW(M, A) Z80_HEX_ROW(M, B) Z80_HEX_ROW(M, C) Z80_HEX_ROW(M, D) Z80_HEX_ROW(M, E) \
    Z80_HEX_ROW(M, F)
