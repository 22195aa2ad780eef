// Building blocks shared by the instruction groups: operand fetch, the stack,
// register selection by opcode field, and the arithmetic and logic rules with
// their flags. Everything here is inline so that each opcode case compiles to
// straight-line code.
#pragma once

#include "z80.h"
#include "z80_tables.h"

#define Z80_INLINE inline __attribute__((always_inline))

// Which pair stands where an unprefixed instruction names HL, H, L or (HL).
enum class IndexReg { HL, IX, IY };

Z80_INLINE uint8_t fetch8(Z80State* s) {
    return mem_read(s->PC.w++);
}

Z80_INLINE uint16_t fetch16(Z80State* s) {
    const uint8_t low = fetch8(s);
    const uint8_t high = fetch8(s);
    return static_cast<uint16_t>(low | (high << 8));
}

Z80_INLINE void push16(Z80State* s, uint16_t value) {
    --s->SP.w;
    mem_write(s->SP.w, static_cast<uint8_t>(value >> 8));
    --s->SP.w;
    mem_write(s->SP.w, static_cast<uint8_t>(value));
}

Z80_INLINE uint16_t pop16(Z80State* s) {
    const uint8_t low = mem_read(s->SP.w++);
    const uint8_t high = mem_read(s->SP.w++);
    return static_cast<uint16_t>(low | (high << 8));
}

Z80_INLINE uint8_t& reg_a(Z80State* s) { return s->AF.b.h; }
Z80_INLINE uint8_t& reg_f(Z80State* s) { return s->AF.b.l; }

// HL, or the index register that replaces it.
template <IndexReg I>
Z80_INLINE RegPair& hl_pair(Z80State* s) {
    if constexpr (I == IndexReg::HL)
        return s->HL;
    else if constexpr (I == IndexReg::IX)
        return s->IX;
    else
        return s->IY;
}

// Register field r of an opcode (0 B, 1 C, 2 D, 3 E, 4 H, 5 L, 7 A); H and L
// become the halves of the index register under a DD or FD prefix. Field 6,
// the memory operand, is handled by the callers.
template <IndexReg I, int R>
Z80_INLINE uint8_t& reg8(Z80State* s) {
    static_assert(R >= 0 && R <= 7 && R != 6, "register field 6 is the memory operand");
    if constexpr (R == 0) return s->BC.b.h;
    if constexpr (R == 1) return s->BC.b.l;
    if constexpr (R == 2) return s->DE.b.h;
    if constexpr (R == 3) return s->DE.b.l;
    if constexpr (R == 4) return hl_pair<I>(s).b.h;
    if constexpr (R == 5) return hl_pair<I>(s).b.l;
    if constexpr (R == 7) return s->AF.b.h;
}

// Pair field p of an opcode (0 BC, 1 DE, 2 HL or the index register, 3 SP).
template <IndexReg I, int P>
Z80_INLINE RegPair& pair16(Z80State* s) {
    if constexpr (P == 0) return s->BC;
    if constexpr (P == 1) return s->DE;
    if constexpr (P == 2) return hl_pair<I>(s);
    if constexpr (P == 3) return s->SP;
}

// Pair field p of PUSH and POP, where 3 means AF.
template <IndexReg I, int P>
Z80_INLINE RegPair& pair16_af(Z80State* s) {
    if constexpr (P == 3)
        return s->AF;
    else
        return pair16<I, P>(s);
}

// The address of the memory operand: HL, or the index register plus the
// signed displacement byte that follows the opcode.
template <IndexReg I>
Z80_INLINE uint16_t memory_operand(Z80State* s) {
    if constexpr (I == IndexReg::HL) {
        return s->HL.w;
    } else {
        const int8_t d = static_cast<int8_t>(fetch8(s));
        return static_cast<uint16_t>(hl_pair<I>(s).w + d);
    }
}

// Condition field c: NZ, Z, NC, C, PO, PE, P, M.
template <int C>
Z80_INLINE bool condition(const Z80State* s) {
    const uint8_t f = s->AF.b.l;
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
Z80_INLINE void alu_add(Z80State* s, uint8_t v, unsigned carry) {
    const unsigned a = reg_a(s);
    const unsigned r = a + v + carry;
    reg_f(s) = static_cast<uint8_t>(flags_zs[r & 0xFF] | ((a ^ v ^ r) & FLAG_H) |
                                    (((a ^ r) & (v ^ r) & 0x80) >> 5) | (r >> 8));
    reg_a(s) = static_cast<uint8_t>(r);
}

// Subtraction; returns the 8-bit result and sets F (SUB, SBC, CP).
Z80_INLINE uint8_t alu_sub_flags(Z80State* s, uint8_t v, unsigned carry) {
    const unsigned a = reg_a(s);
    const unsigned r = a - v - carry;
    reg_f(s) = static_cast<uint8_t>(flags_zs[r & 0xFF] | ((a ^ v ^ r) & FLAG_H) |
                                    (((a ^ v) & (a ^ r) & 0x80) >> 5) | FLAG_N |
                                    ((r >> 8) & FLAG_C));
    return static_cast<uint8_t>(r);
}

// ALU operation field: 0 ADD, 1 ADC, 2 SUB, 3 SBC, 4 AND, 5 XOR, 6 OR, 7 CP.
template <int Op>
Z80_INLINE void alu_op(Z80State* s, uint8_t v) {
    if constexpr (Op == 0) {
        alu_add(s, v, 0);
    } else if constexpr (Op == 1) {
        alu_add(s, v, reg_f(s) & FLAG_C);
    } else if constexpr (Op == 2) {
        reg_a(s) = alu_sub_flags(s, v, 0);
    } else if constexpr (Op == 3) {
        reg_a(s) = alu_sub_flags(s, v, reg_f(s) & FLAG_C);
    } else if constexpr (Op == 4) {
        reg_a(s) &= v;
        reg_f(s) = flags_zsp[reg_a(s)] | FLAG_H;
    } else if constexpr (Op == 5) {
        reg_a(s) ^= v;
        reg_f(s) = flags_zsp[reg_a(s)];
    } else if constexpr (Op == 6) {
        reg_a(s) |= v;
        reg_f(s) = flags_zsp[reg_a(s)];
    } else {
        alu_sub_flags(s, v, 0);
    }
}

Z80_INLINE uint8_t alu_inc(Z80State* s, uint8_t v) {
    const uint8_t r = static_cast<uint8_t>(v + 1);
    reg_f(s) = static_cast<uint8_t>((reg_f(s) & FLAG_C) | flags_zs[r] |
                                    ((r & 0x0F) == 0 ? FLAG_H : 0) | (r == 0x80 ? FLAG_PV : 0));
    return r;
}

Z80_INLINE uint8_t alu_dec(Z80State* s, uint8_t v) {
    const uint8_t r = static_cast<uint8_t>(v - 1);
    reg_f(s) = static_cast<uint8_t>((reg_f(s) & FLAG_C) | flags_zs[r] |
                                    ((r & 0x0F) == 0x0F ? FLAG_H : 0) |
                                    (r == 0x7F ? FLAG_PV : 0) | FLAG_N);
    return r;
}

// ADD HL,rr (and ADD IX/IY,rr): H from bit 11, C from bit 15; S, Z, P/V and
// bits 3 and 5 stay.
Z80_INLINE void alu_add16(Z80State* s, RegPair& target, uint16_t v) {
    const unsigned a = target.w;
    const unsigned r = a + v;
    reg_f(s) = static_cast<uint8_t>((reg_f(s) & (FLAG_S | FLAG_Z | FLAG_5 | FLAG_3 | FLAG_PV)) |
                                    (((a ^ v ^ r) >> 8) & FLAG_H) | (r >> 16));
    target.w = static_cast<uint16_t>(r);
}

// Rotate/shift field of the CB groups: 0 RLC, 1 RRC, 2 RL, 3 RR, 4 SLA,
// 5 SRA, 6 SLL, 7 SRL. F = S, Z, P/V of the result plus the bit shifted out.
template <int Op>
Z80_INLINE uint8_t rotate_shift(Z80State* s, uint8_t v) {
    const unsigned old_carry = reg_f(s) & FLAG_C;
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
    reg_f(s) = static_cast<uint8_t>(flags_zsp[result] | carry);
    return result;
}

// BIT b: Z = the inverse of the bit, H set, N cleared, every other flag kept.
template <int B>
Z80_INLINE void bit_test(Z80State* s, uint8_t v) {
    reg_f(s) = static_cast<uint8_t>((reg_f(s) & 0xBD) | ((v & (1 << B)) ? 0 : FLAG_Z) | FLAG_H);
}

// Expands M(n) for every byte value n, for switches that give each opcode a
// case of its own.
#define Z80_CASES4(M, n) M((n)) M((n) + 1) M((n) + 2) M((n) + 3)
#define Z80_CASES16(M, n) \
    Z80_CASES4(M, n) Z80_CASES4(M, (n) + 4) Z80_CASES4(M, (n) + 8) Z80_CASES4(M, (n) + 12)
#define Z80_CASES256(M)                                                                   \
    Z80_CASES16(M, 0x00) Z80_CASES16(M, 0x10) Z80_CASES16(M, 0x20) Z80_CASES16(M, 0x30)   \
    Z80_CASES16(M, 0x40) Z80_CASES16(M, 0x50) Z80_CASES16(M, 0x60) Z80_CASES16(M, 0x70)   \
    Z80_CASES16(M, 0x80) Z80_CASES16(M, 0x90) Z80_CASES16(M, 0xA0) Z80_CASES16(M, 0xB0)   \
    Z80_CASES16(M, 0xC0) Z80_CASES16(M, 0xD0) Z80_CASES16(M, 0xE0) Z80_CASES16(M, 0xF0)
