// The unprefixed instruction set. exec_main<Op, HL> is one case of the
// execution loop's dispatch; the DD and FD groups instantiate the same
// template with IX or IY, which puts the index register (or its halves, or
// the byte at X+d) wherever the opcode names HL, H, L or (HL).
//
// When a case runs, the opcode byte has been read and its cost charged by
// the caller. Only the unprefixed forms add the extra cost of a condition
// that holds; under a prefix the table's cost is the whole cost, unless the
// bus keeps exact timing.
#pragma once

#include "z80_groups.h"
#include "z80_ops.h"

// The unprefixed opcodes that belong to no regular family.
constexpr bool is_single_opcode(int op) {
    constexpr uint8_t singles[] = {0x00, 0x02, 0x07, 0x08, 0x0A, 0x0F, 0x10, 0x12, 0x17, 0x18,
                                   0x1A, 0x1F, 0x22, 0x27, 0x2A, 0x2F, 0x32, 0x37, 0x3A, 0x3F,
                                   0xC3, 0xC9, 0xCD, 0xD3, 0xD9, 0xDB, 0xE3, 0xE9, 0xEB, 0xF3,
                                   0xF9, 0xFB};
    for (uint8_t single : singles)
        if (single == op) return true;
    return false;
}

// Whether a condition that holds adds its extra cycles.
template <IndexReg I, class Bus>
constexpr bool charges_conditions = I == IndexReg::HL || Bus::exact_timing;

template <uint8_t Op, IndexReg I, class Bus>
Z80_INLINE void exec_main_single(Cpu<Bus>& c) {
    static_assert(is_single_opcode(Op), "opcode without a case");
    Z80State& s = c.s;
    uint8_t& a = s.AF.b.h;
    uint8_t& f = s.AF.b.l;
    switch (Op) {
    case 0x00:  // NOP
        break;
    case 0x02:  // LD (BC),A
        c.bus.write(s.BC.w, a);
        break;
    case 0x0A:  // LD A,(BC)
        a = c.bus.read(s.BC.w);
        break;
    case 0x12:  // LD (DE),A
        c.bus.write(s.DE.w, a);
        break;
    case 0x1A:  // LD A,(DE)
        a = c.bus.read(s.DE.w);
        break;
    case 0x32:  // LD (nn),A
        c.bus.write(fetch16(c), a);
        break;
    case 0x3A:  // LD A,(nn)
        a = c.bus.read(fetch16(c));
        break;
    case 0x22: {  // LD (nn),HL
        const uint16_t address = fetch16(c);
        c.bus.write(address, hl_pair<I>(s).b.l);
        c.bus.write(static_cast<uint16_t>(address + 1), hl_pair<I>(s).b.h);
        break;
    }
    case 0x2A: {  // LD HL,(nn)
        const uint16_t address = fetch16(c);
        hl_pair<I>(s).b.l = c.bus.read(address);
        hl_pair<I>(s).b.h = c.bus.read(static_cast<uint16_t>(address + 1));
        break;
    }
    case 0x07: {  // RLCA
        const uint8_t carry = a >> 7;
        a = static_cast<uint8_t>((a << 1) | carry);
        f = static_cast<uint8_t>((f & (FLAG_S | FLAG_Z | FLAG_5 | FLAG_3 | FLAG_PV)) | carry);
        break;
    }
    case 0x0F: {  // RRCA
        const uint8_t carry = a & 1;
        a = static_cast<uint8_t>((a >> 1) | (carry << 7));
        f = static_cast<uint8_t>((f & (FLAG_S | FLAG_Z | FLAG_5 | FLAG_3 | FLAG_PV)) | carry);
        break;
    }
    case 0x17: {  // RLA
        const uint8_t carry = a >> 7;
        a = static_cast<uint8_t>((a << 1) | (f & FLAG_C));
        f = static_cast<uint8_t>((f & (FLAG_S | FLAG_Z | FLAG_5 | FLAG_3 | FLAG_PV)) | carry);
        break;
    }
    case 0x1F: {  // RRA
        const uint8_t carry = a & 1;
        a = static_cast<uint8_t>((a >> 1) | ((f & FLAG_C) << 7));
        f = static_cast<uint8_t>((f & (FLAG_S | FLAG_Z | FLAG_5 | FLAG_3 | FLAG_PV)) | carry);
        break;
    }
    case 0x27:  // DAA
        s.AF.w = daa_table[a | ((f & FLAG_C) << 8) | ((f & FLAG_H) << 5) | ((f & FLAG_N) << 9)];
        break;
    case 0x2F:  // CPL
        a ^= 0xFF;
        f |= FLAG_H | FLAG_N;
        break;
    case 0x37:  // SCF
        f = static_cast<uint8_t>((f & (FLAG_S | FLAG_Z | FLAG_5 | FLAG_3 | FLAG_PV)) | FLAG_C);
        break;
    case 0x3F:  // CCF
        f = static_cast<uint8_t>((f & (FLAG_S | FLAG_Z | FLAG_5 | FLAG_3 | FLAG_PV)) |
                                 ((f & FLAG_C) << 4) | ((f & FLAG_C) ^ FLAG_C));
        break;
    case 0x08: {  // EX AF,AF'
        const uint16_t t = s.AF.w;
        s.AF.w = s.AF_alt.w;
        s.AF_alt.w = t;
        break;
    }
    case 0xD9: {  // EXX
        uint16_t t = s.BC.w;
        s.BC.w = s.BC_alt.w;
        s.BC_alt.w = t;
        t = s.DE.w;
        s.DE.w = s.DE_alt.w;
        s.DE_alt.w = t;
        t = s.HL.w;
        s.HL.w = s.HL_alt.w;
        s.HL_alt.w = t;
        break;
    }
    case 0xEB: {  // EX DE,HL: always HL itself, even under a prefix
        const uint16_t t = s.DE.w;
        s.DE.w = s.HL.w;
        s.HL.w = t;
        break;
    }
    case 0xE3: {  // EX (SP),HL
        RegPair& hl = hl_pair<I>(s);
        const uint8_t low = c.bus.read(s.SP.w);
        c.bus.write(s.SP.w, hl.b.l);
        const uint16_t above = static_cast<uint16_t>(s.SP.w + 1);
        const uint8_t high = c.bus.read(above);
        c.bus.write(above, hl.b.h);
        hl.w = static_cast<uint16_t>(low | (high << 8));
        break;
    }
    case 0xF9:  // LD SP,HL
        s.SP.w = hl_pair<I>(s).w;
        break;
    case 0xE9:  // JP (HL)
        c.pc = hl_pair<I>(s).w;
        break;
    case 0x10:  // DJNZ e
        if (--s.BC.b.h != 0) {
            const int8_t e = static_cast<int8_t>(fetch8(c));
            c.pc = static_cast<uint16_t>(c.pc + e);
            if constexpr (charges_conditions<I, Bus>) c.cycles -= 5;
        } else {
            ++c.pc;
        }
        break;
    case 0x18: {  // JR e
        const int8_t e = static_cast<int8_t>(fetch8(c));
        c.pc = static_cast<uint16_t>(c.pc + e);
        break;
    }
    case 0xC3:  // JP nn
        c.pc = fetch16(c);
        break;
    case 0xC9:  // RET
        c.pc = pop16(c);
        break;
    case 0xCD: {  // CALL nn
        const uint16_t target = fetch16(c);
        push16(c, c.pc);
        c.pc = target;
        break;
    }
    case 0xDB: {  // IN A,(n): A goes out on the high address lines
        const uint8_t n = fetch8(c);
        a = c.bus.in(static_cast<uint16_t>((a << 8) | n), c.cycles);
        break;
    }
    case 0xD3:  // OUT (n),A
        c.bus.out(static_cast<uint16_t>(a << 8 | fetch8(c)), a, c.cycles);  // A on the high address lines
        break;
    case 0xF3:  // DI
        s.IFF &= static_cast<uint8_t>(~IFF1);
        break;
    case 0xFB:  // EI; with an interrupt pending, let one more instruction run first
        s.IFF |= IFF1;
        if constexpr (Bus::watches_boundaries) c.after_ei = 1;
        if (s.pending_irq != IRQ_NONE) {
            s.IFF |= IFF_EI_PENDING;
            s.saved_cycles = c.cycles;
            c.cycles = 1;
        }
        break;
    default:
        break;
    }
}

template <uint8_t Op, IndexReg I, class Bus>
Z80_INLINE void exec_main(Cpu<Bus>& c) {
    constexpr bool unprefixed = I == IndexReg::HL;
    Z80State& s = c.s;
    constexpr int y = (Op >> 3) & 7;  // destination register, ALU op or condition
    constexpr int z = Op & 7;         // source register or instruction column
    constexpr int p = (Op >> 4) & 3;  // register pair

    if constexpr (Op == 0x76) {
        // HALT: stay on the opcode and end the period; the loop repeats it
        // until an interrupt is accepted.
        // With exact timing it goes on in 4-cycle steps instead.
        s.IFF |= IFF_HALTED;
        --c.pc;
        if constexpr (!Bus::exact_timing) c.cycles = 0;
    } else if constexpr (Op >= 0x40 && Op < 0x80) {
        // LD r,r'. Beside a memory operand, H and L are the real ones.
        if constexpr (y == 6) {
            const uint16_t address = memory_operand<I>(c);
            c.bus.write(address, reg8<IndexReg::HL, z>(s));
        } else if constexpr (z == 6) {
            const uint16_t address = memory_operand<I>(c);
            reg8<IndexReg::HL, y>(s) = c.bus.read(address);
        } else {
            reg8<I, y>(s) = reg8<I, z>(s);
        }
    } else if constexpr (Op >= 0x80 && Op < 0xC0) {
        if constexpr (z == 6)
            alu_op<y>(s, c.bus.read(memory_operand<I>(c)));
        else
            alu_op<y>(s, reg8<I, z>(s));
    } else if constexpr (Op < 0x40 && (z == 4 || z == 5)) {
        // INC r / DEC r
        if constexpr (y != 6) {
            uint8_t& r = reg8<I, y>(s);
            r = z == 4 ? alu_inc(s, r) : alu_dec(s, r);
        } else if constexpr (unprefixed) {
            const uint8_t v = c.bus.read(s.HL.w);
            c.bus.write(s.HL.w, z == 4 ? alu_inc(s, v) : alu_dec(s, v));
        } else {
            // INC/DEC (X+d) reads the displacement once to fetch the operand
            // and again, advancing PC, to form the address of the write.
            const int8_t d = static_cast<int8_t>(c.bus.read(c.pc));
            const uint8_t v = c.bus.read(static_cast<uint16_t>(hl_pair<I>(s).w + d));
            const uint8_t r = z == 4 ? alu_inc(s, v) : alu_dec(s, v);
            const int8_t d_again = static_cast<int8_t>(fetch8(c));
            c.bus.write(static_cast<uint16_t>(hl_pair<I>(s).w + d_again), r);
        }
    } else if constexpr (Op < 0x40 && z == 6) {
        // LD r,n
        if constexpr (y == 6) {
            const uint16_t address = memory_operand<I>(c);
            c.bus.write(address, fetch8(c));
        } else {
            reg8<I, y>(s) = fetch8(c);
        }
    } else if constexpr (Op >= 0xC0 && z == 6) {
        alu_op<y>(s, fetch8(c));
    } else if constexpr (Op >= 0xC0 && z == 7) {
        push16(c, c.pc);
        c.pc = y * 8;  // RST
    } else if constexpr (Op >= 0xC0 && z == 0) {
        if (condition<y>(s)) {  // RET cc
            c.pc = pop16(c);
            if constexpr (charges_conditions<I, Bus>) c.cycles -= 6;
        }
    } else if constexpr (Op >= 0xC0 && z == 2) {
        if (condition<y>(s))  // JP cc,nn
            c.pc = fetch16(c);
        else
            c.pc += 2;
    } else if constexpr (Op >= 0xC0 && z == 4) {
        if (condition<y>(s)) {  // CALL cc,nn
            const uint16_t target = fetch16(c);
            push16(c, c.pc);
            c.pc = target;
            if constexpr (charges_conditions<I, Bus>) c.cycles -= 7;
        } else {
            c.pc += 2;
        }
    } else if constexpr (Op >= 0xC0 && z == 5 && (y & 1) == 0) {
        push16(c, pair16_af<I, p>(s).w);  // PUSH
    } else if constexpr (Op >= 0xC0 && z == 1 && (y & 1) == 0) {
        pair16_af<I, p>(s).w = pop16(c);  // POP
    } else if constexpr (Op < 0x40 && z == 1 && (y & 1) == 0) {
        pair16<I, p>(s).w = fetch16(c);  // LD rr,nn
    } else if constexpr (Op < 0x40 && z == 3) {
        if constexpr ((y & 1) == 0)
            ++pair16<I, p>(s).w;  // INC rr
        else
            --pair16<I, p>(s).w;  // DEC rr
    } else if constexpr (Op < 0x40 && z == 1) {
        alu_add16(s, hl_pair<I>(s), pair16<I, p>(s).w);  // ADD HL,rr
    } else if constexpr (Op == 0x20 || Op == 0x28 || Op == 0x30 || Op == 0x38) {
        if (condition<y - 4>(s)) {  // JR cc,e
            const int8_t e = static_cast<int8_t>(fetch8(c));
            c.pc = static_cast<uint16_t>(c.pc + e);
            if constexpr (charges_conditions<I, Bus>) c.cycles -= 5;
        } else {
            ++c.pc;
        }
    } else if constexpr (Op == 0xCB) {
        c.take(run_cb<Bus>(s, c.bus, c.flow()));
    } else if constexpr (Op == 0xDD) {
        c.take(run_index<Bus, IndexReg::IX>(s, c.bus, c.flow()));
    } else if constexpr (Op == 0xED) {
        c.take(run_ed<Bus>(s, c.bus, c.flow()));
    } else if constexpr (Op == 0xFD) {
        c.take(run_index<Bus, IndexReg::IY>(s, c.bus, c.flow()));
    } else {
        exec_main_single<Op, I>(c);
    }
}
