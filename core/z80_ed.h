// ED-prefixed instructions: port I/O through C, 16-bit arithmetic with carry,
// 16-bit memory loads, NEG, RETN/RETI, interrupt modes, I and R, RRD/RLD and
// the block instructions. ED FE calls the machine's trap.
#pragma once

#include <cstdio>

#include "z80_ops.h"

// IN r,(C): the whole of BC is the port address.
template <class Bus>
Z80_INLINE uint8_t in_c(Cpu<Bus>& c) {
    const uint8_t v = c.bus.in(c.s.BC.w, c.cycles);
    reg_f(c) = static_cast<uint8_t>(flags_zsp[v] | (reg_f(c) & FLAG_C));
    return v;
}

Z80_INLINE void adc16(Z80State& s, uint16_t v) {
    const unsigned hl = s.HL.w;
    const unsigned sum = hl + v + (s.AF.b.l & FLAG_C);
    const unsigned r = sum & 0xFFFF;
    s.AF.b.l = static_cast<uint8_t>(((r >> 8) & FLAG_S) | (r == 0 ? FLAG_Z : 0) |
                                    (((hl ^ v ^ r) >> 8) & FLAG_H) |
                                    ((~(hl ^ v) & (hl ^ r) & 0x8000) >> 13) | (sum >> 16));
    s.HL.w = static_cast<uint16_t>(r);
}

Z80_INLINE void sbc16(Z80State& s, uint16_t v) {
    const unsigned hl = s.HL.w;
    const unsigned diff = hl - v - (s.AF.b.l & FLAG_C);
    const unsigned r = diff & 0xFFFF;
    s.AF.b.l = static_cast<uint8_t>(((r >> 8) & FLAG_S) | (r == 0 ? FLAG_Z : 0) |
                                    (((hl ^ v ^ r) >> 8) & FLAG_H) |
                                    (((hl ^ v) & (hl ^ r) & 0x8000) >> 13) | FLAG_N |
                                    ((diff >> 16) & FLAG_C));
    s.HL.w = static_cast<uint16_t>(r);
}

template <class Bus>
Z80_INLINE void store16(Cpu<Bus>& c, const RegPair& pair) {
    const uint16_t address = fetch16(c);
    c.bus.write(address, pair.b.l);
    c.bus.write(static_cast<uint16_t>(address + 1), pair.b.h);
}

template <class Bus>
Z80_INLINE void load16(Cpu<Bus>& c, RegPair& pair) {
    const uint16_t address = fetch16(c);
    pair.b.l = c.bus.read(address);
    pair.b.h = c.bus.read(static_cast<uint16_t>(address + 1));
}

// LD A,I and LD A,R: P/V shows IFF1.
Z80_INLINE void load_a_special(Z80State& s, uint8_t v) {
    s.AF.b.h = v;
    s.AF.b.l = static_cast<uint8_t>(flags_zs[v] | ((s.IFF & IFF1) ? FLAG_PV : 0) |
                                    (s.AF.b.l & FLAG_C));
}

// One step of each block family; Dir is +1 (up) or -1 (down).
template <int Dir, class Bus>
Z80_INLINE void ld_step(Cpu<Bus>& c) {
    Z80State& s = c.s;
    c.bus.write(s.DE.w, c.bus.read(s.HL.w));
    s.HL.w = static_cast<uint16_t>(s.HL.w + Dir);
    s.DE.w = static_cast<uint16_t>(s.DE.w + Dir);
    --s.BC.w;
    s.AF.b.l = static_cast<uint8_t>((s.AF.b.l & 0xE9) | (s.BC.w != 0 ? FLAG_PV : 0));
}

// Returns true on a match (A equals the byte).
template <int Dir, class Bus>
Z80_INLINE bool cp_step(Cpu<Bus>& c) {
    Z80State& s = c.s;
    const unsigned a = s.AF.b.h;
    const unsigned v = c.bus.read(s.HL.w);
    s.HL.w = static_cast<uint16_t>(s.HL.w + Dir);
    const uint8_t d = static_cast<uint8_t>(a - v);
    --s.BC.w;
    s.AF.b.l = static_cast<uint8_t>(flags_zs[d] | ((a ^ v ^ d) & FLAG_H) |
                                    (s.BC.w != 0 ? FLAG_PV : 0) | FLAG_N | (s.AF.b.l & FLAG_C));
    return d == 0;
}

Z80_INLINE void io_step_flags(Z80State& s) {
    s.AF.b.l = s.BC.b.h == 0 ? (FLAG_Z | FLAG_N) : FLAG_N;
}

template <int Dir, class Bus>
Z80_INLINE void in_step(Cpu<Bus>& c) {
    Z80State& s = c.s;
    const uint8_t v = c.bus.in(s.BC.w, c.cycles);  // B not yet decremented
    c.bus.write(s.HL.w, v);
    s.HL.w = static_cast<uint16_t>(s.HL.w + Dir);
    --s.BC.b.h;
    io_step_flags(s);
}

template <int Dir, class Bus>
Z80_INLINE void out_step(Cpu<Bus>& c) {
    Z80State& s = c.s;
    const uint8_t v = c.bus.read(s.HL.w);
    s.HL.w = static_cast<uint16_t>(s.HL.w + Dir);
    --s.BC.b.h;  // B counts down first: the port carries the new B
    c.bus.out(s.BC.w, v, c.cycles);
    io_step_flags(s);
}

// A repeating block instruction: steps run inside this call at 21 cycles
// each, 16 for the last. Unless StopsEarly is false (CPDR), a spent budget
// ends the call with PC back on the ED byte, to resume after the period end.
// With exact timing each step is an instruction of its own, as on a Z80:
// the next step fetches the ED pair again, and interrupts fall between.
template <bool StopsEarly, class Bus, typename Step>
Z80_INLINE void repeat_block(Cpu<Bus>& c, Step step) {
    for (;;) {
        const bool finished = step();
        c.cycles -= 21;
        if (finished) {
            c.cycles += 5;
            return;
        }
        if (Bus::exact_timing || (StopsEarly && c.cycles <= 0)) {
            c.pc = static_cast<uint16_t>(c.pc - 2);
            return;
        }
    }
}

template <class Bus>
[[gnu::noinline]] Flow run_ed(Z80State& s, Bus bus, Flow f) {
    Cpu<Bus> c(s, bus, f);
    const uint8_t x = fetch_opcode<4>(c);
    c.cycles -= CostTables<Bus>::ed[x];
    uint8_t& a = s.AF.b.h;
    switch (x) {
    case 0x40: s.BC.b.h = in_c(c); break;
    case 0x48: s.BC.b.l = in_c(c); break;
    case 0x50: s.DE.b.h = in_c(c); break;
    case 0x58: s.DE.b.l = in_c(c); break;
    case 0x60: s.HL.b.h = in_c(c); break;
    case 0x68: s.HL.b.l = in_c(c); break;
    case 0x70: in_c(c); break;  // IN F,(C): flags only
    case 0x78: a = in_c(c); break;

    // OUT (C),r: B and C make the port address, as for IN (boards decode
    // the high byte: Chroma at $7FEF, ZXpand at $E007).
    case 0x41: c.bus.out(s.BC.w, s.BC.b.h, c.cycles); break;
    case 0x49: c.bus.out(s.BC.w, s.BC.b.l, c.cycles); break;
    case 0x51: c.bus.out(s.BC.w, s.DE.b.h, c.cycles); break;
    case 0x59: c.bus.out(s.BC.w, s.DE.b.l, c.cycles); break;
    case 0x61: c.bus.out(s.BC.w, s.HL.b.h, c.cycles); break;
    case 0x69: c.bus.out(s.BC.w, s.HL.b.l, c.cycles); break;
    case 0x79: c.bus.out(s.BC.w, a, c.cycles); break;

    case 0x42: sbc16(s, s.BC.w); break;
    case 0x52: sbc16(s, s.DE.w); break;
    case 0x62: sbc16(s, s.HL.w); break;
    case 0x72: sbc16(s, s.SP.w); break;
    case 0x4A: adc16(s, s.BC.w); break;
    case 0x5A: adc16(s, s.DE.w); break;
    case 0x6A: adc16(s, s.HL.w); break;
    case 0x7A: adc16(s, s.SP.w); break;

    case 0x43: store16(c, s.BC); break;
    case 0x53: store16(c, s.DE); break;
    case 0x63: store16(c, s.HL); break;
    case 0x73: store16(c, s.SP); break;
    case 0x4B: load16(c, s.BC); break;
    case 0x5B: load16(c, s.DE); break;
    case 0x6B: load16(c, s.HL); break;
    case 0x7B: load16(c, s.SP); break;

    case 0x44: {  // NEG
        const unsigned old = a;
        const uint8_t r = static_cast<uint8_t>(0u - old);
        a = r;
        s.AF.b.l = static_cast<uint8_t>(flags_zs[r] | ((old ^ r) & FLAG_H) |
                                        (old == 0x80 ? FLAG_PV : 0) | FLAG_N |
                                        (old != 0 ? FLAG_C : 0));
        break;
    }
    case 0x45:  // RETN
        s.IFF = static_cast<uint8_t>((s.IFF & ~IFF1) | ((s.IFF & IFF2) ? IFF1 : 0));
        c.pc = pop16(c);
        break;
    case 0x4D:  // RETI
        c.pc = pop16(c);
        break;
    case 0x46: s.IFF &= static_cast<uint8_t>(~(IFF_IM1 | IFF_IM2)); break;  // IM 0
    case 0x56: s.IFF = static_cast<uint8_t>((s.IFF & ~IFF_IM2) | IFF_IM1); break;  // IM 1
    case 0x5E: s.IFF = static_cast<uint8_t>((s.IFF & ~IFF_IM1) | IFF_IM2); break;  // IM 2
    case 0x47: s.I = a; break;  // LD I,A
    case 0x4F:  // LD R,A: after this instruction's own refresh steps
        if constexpr (Bus::refresh) c.r = a;
        break;
    case 0x57: load_a_special(s, s.I); break;
    case 0x5F:  // LD A,R: without a refresh register, a value that rises with the cycles spent
        if constexpr (Bus::refresh)
            load_a_special(s, c.r);
        else
            load_a_special(s, static_cast<uint8_t>(0u - static_cast<uint32_t>(c.cycles)));
        break;

    case 0x67: {  // RRD
        const uint8_t v = c.bus.read(s.HL.w);
        c.bus.write(s.HL.w, static_cast<uint8_t>((a << 4) | (v >> 4)));
        a = static_cast<uint8_t>((a & 0xF0) | (v & 0x0F));
        s.AF.b.l = static_cast<uint8_t>(flags_zsp[a] | (s.AF.b.l & FLAG_C));
        break;
    }
    case 0x6F: {  // RLD
        const uint8_t v = c.bus.read(s.HL.w);
        c.bus.write(s.HL.w, static_cast<uint8_t>((v << 4) | (a & 0x0F)));
        a = static_cast<uint8_t>((a & 0xF0) | (v >> 4));
        s.AF.b.l = static_cast<uint8_t>(flags_zsp[a] | (s.AF.b.l & FLAG_C));
        break;
    }

    case 0xA0: ld_step<+1>(c); break;
    case 0xA8: ld_step<-1>(c); break;
    case 0xA1: cp_step<+1>(c); break;
    case 0xA9: cp_step<-1>(c); break;
    case 0xA2: in_step<+1>(c); break;
    case 0xAA: in_step<-1>(c); break;
    case 0xA3: out_step<+1>(c); break;
    case 0xAB: out_step<-1>(c); break;

    case 0xB0: repeat_block<true>(c, [&c] { ld_step<+1>(c); return c.s.BC.w == 0; }); break;
    case 0xB8: repeat_block<true>(c, [&c] { ld_step<-1>(c); return c.s.BC.w == 0; }); break;
    case 0xB1:
        repeat_block<true>(c, [&c] { return cp_step<+1>(c) || c.s.BC.w == 0; });
        break;
    case 0xB9:
        repeat_block<false>(c, [&c] { return cp_step<-1>(c) || c.s.BC.w == 0; });
        break;
    case 0xB2: repeat_block<true>(c, [&c] { in_step<+1>(c); return c.s.BC.b.h == 0; }); break;
    case 0xBA: repeat_block<true>(c, [&c] { in_step<-1>(c); return c.s.BC.b.h == 0; }); break;
    case 0xB3: repeat_block<true>(c, [&c] { out_step<+1>(c); return c.s.BC.b.h == 0; }); break;
    case 0xBB: repeat_block<true>(c, [&c] { out_step<-1>(c); return c.s.BC.b.h == 0; }); break;

    case 0xED:  // the second ED starts the next instruction
        unfetch_opcode(c);
        break;
    case 0xFE:  // the machine's trap, which may look at and change the state
        store_flow(s, c.flow());
        c.bus.trap(&s);
        c.take(flow_of(s));
        break;

    default:
        if (s.report_unrecognized) {
            const uint16_t pc = c.pc;
            char report[96];
            std::snprintf(report, sizeof report, "[Z80 %lX] Unrecognized instruction: ED %02X at PC=%04X\n",
                          static_cast<unsigned long>(s.cpu_id), c.bus.read(static_cast<uint16_t>(pc - 1)),
                          static_cast<unsigned>(static_cast<uint16_t>(pc - 2)));
            c.bus.unrecognized(s, report);
        }
        break;
    }
    return c.flow();
}
