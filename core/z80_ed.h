// ED-prefixed instructions: port I/O through C, 16-bit arithmetic with carry,
// 16-bit memory loads, NEG, RETN/RETI, interrupt modes, I and R, RRD/RLD and
// the block instructions. ED FE calls the machine's ed_trap.
#include <cstdio>

#include "z80_ops.h"

namespace {

// IN r,(C): the whole of BC is the port address.
Z80_INLINE uint8_t in_c(Z80State* s) {
    const uint8_t v = port_in(s->BC.w);
    reg_f(s) = static_cast<uint8_t>(flags_zsp[v] | (reg_f(s) & FLAG_C));
    return v;
}

Z80_INLINE void adc16(Z80State* s, uint16_t v) {
    const unsigned hl = s->HL.w;
    const unsigned sum = hl + v + (reg_f(s) & FLAG_C);
    const unsigned r = sum & 0xFFFF;
    reg_f(s) = static_cast<uint8_t>(((r >> 8) & FLAG_S) | (r == 0 ? FLAG_Z : 0) |
                                    (((hl ^ v ^ r) >> 8) & FLAG_H) |
                                    ((~(hl ^ v) & (hl ^ r) & 0x8000) >> 13) | (sum >> 16));
    s->HL.w = static_cast<uint16_t>(r);
}

Z80_INLINE void sbc16(Z80State* s, uint16_t v) {
    const unsigned hl = s->HL.w;
    const unsigned diff = hl - v - (reg_f(s) & FLAG_C);
    const unsigned r = diff & 0xFFFF;
    reg_f(s) = static_cast<uint8_t>(((r >> 8) & FLAG_S) | (r == 0 ? FLAG_Z : 0) |
                                    (((hl ^ v ^ r) >> 8) & FLAG_H) |
                                    (((hl ^ v) & (hl ^ r) & 0x8000) >> 13) | FLAG_N |
                                    ((diff >> 16) & FLAG_C));
    s->HL.w = static_cast<uint16_t>(r);
}

Z80_INLINE void store16(Z80State* s, const RegPair& pair) {
    const uint16_t address = fetch16(s);
    mem_write(address, pair.b.l);
    mem_write(static_cast<uint16_t>(address + 1), pair.b.h);
}

Z80_INLINE void load16(Z80State* s, RegPair& pair) {
    const uint16_t address = fetch16(s);
    pair.b.l = mem_read(address);
    pair.b.h = mem_read(static_cast<uint16_t>(address + 1));
}

// LD A,I and LD A,R: P/V shows IFF1.
Z80_INLINE void load_a_special(Z80State* s, uint8_t v) {
    reg_a(s) = v;
    reg_f(s) = static_cast<uint8_t>(flags_zs[v] | ((s->IFF & IFF1) ? FLAG_PV : 0) |
                                    (reg_f(s) & FLAG_C));
}

// One step of each block family; Dir is +1 (up) or -1 (down).
template <int Dir>
Z80_INLINE void ld_step(Z80State* s) {
    mem_write(s->DE.w, mem_read(s->HL.w));
    s->HL.w = static_cast<uint16_t>(s->HL.w + Dir);
    s->DE.w = static_cast<uint16_t>(s->DE.w + Dir);
    --s->BC.w;
    reg_f(s) = static_cast<uint8_t>((reg_f(s) & 0xE9) | (s->BC.w != 0 ? FLAG_PV : 0));
}

// Returns true on a match (A equals the byte).
template <int Dir>
Z80_INLINE bool cp_step(Z80State* s) {
    const unsigned a = reg_a(s);
    const unsigned v = mem_read(s->HL.w);
    s->HL.w = static_cast<uint16_t>(s->HL.w + Dir);
    const uint8_t d = static_cast<uint8_t>(a - v);
    --s->BC.w;
    reg_f(s) = static_cast<uint8_t>(flags_zs[d] | ((a ^ v ^ d) & FLAG_H) |
                                    (s->BC.w != 0 ? FLAG_PV : 0) | FLAG_N | (reg_f(s) & FLAG_C));
    return d == 0;
}

Z80_INLINE void io_step_flags(Z80State* s) {
    reg_f(s) = s->BC.b.h == 0 ? (FLAG_Z | FLAG_N) : FLAG_N;
}

template <int Dir>
Z80_INLINE void in_step(Z80State* s) {
    const uint8_t v = port_in(s->BC.w);  // B not yet decremented
    mem_write(s->HL.w, v);
    s->HL.w = static_cast<uint16_t>(s->HL.w + Dir);
    --s->BC.b.h;
    io_step_flags(s);
}

template <int Dir>
Z80_INLINE void out_step(Z80State* s) {
    const uint8_t v = mem_read(s->HL.w);
    s->HL.w = static_cast<uint16_t>(s->HL.w + Dir);
    port_out(s->BC.b.l, v);
    --s->BC.b.h;
    io_step_flags(s);
}

// A repeating block instruction: steps run inside this call at 21 cycles
// each, 16 for the last. Unless StopsEarly is false (CPDR), a spent budget
// ends the call with PC back on the ED byte, to resume after the period end.
template <bool StopsEarly, typename Step>
Z80_INLINE void repeat_block(Z80State* s, Step step) {
    for (;;) {
        const bool finished = step();
        s->cycles_left -= 21;
        if (finished) {
            s->cycles_left += 5;
            return;
        }
        if (StopsEarly && s->cycles_left <= 0) {
            s->PC.w = static_cast<uint16_t>(s->PC.w - 2);
            return;
        }
    }
}

}  // namespace

void z80_exec_ed(Z80State* s) {
    const uint8_t x = fetch8(s);
    s->cycles_left -= cycles_ed[x];
    uint8_t& a = s->AF.b.h;
    switch (x) {
    case 0x40: s->BC.b.h = in_c(s); break;
    case 0x48: s->BC.b.l = in_c(s); break;
    case 0x50: s->DE.b.h = in_c(s); break;
    case 0x58: s->DE.b.l = in_c(s); break;
    case 0x60: s->HL.b.h = in_c(s); break;
    case 0x68: s->HL.b.l = in_c(s); break;
    case 0x70: in_c(s); break;  // IN F,(C): flags only
    case 0x78: a = in_c(s); break;

    // OUT (C),r: only C goes out as the port number.
    case 0x41: port_out(s->BC.b.l, s->BC.b.h); break;
    case 0x49: port_out(s->BC.b.l, s->BC.b.l); break;
    case 0x51: port_out(s->BC.b.l, s->DE.b.h); break;
    case 0x59: port_out(s->BC.b.l, s->DE.b.l); break;
    case 0x61: port_out(s->BC.b.l, s->HL.b.h); break;
    case 0x69: port_out(s->BC.b.l, s->HL.b.l); break;
    case 0x79: port_out(s->BC.b.l, a); break;

    case 0x42: sbc16(s, s->BC.w); break;
    case 0x52: sbc16(s, s->DE.w); break;
    case 0x62: sbc16(s, s->HL.w); break;
    case 0x72: sbc16(s, s->SP.w); break;
    case 0x4A: adc16(s, s->BC.w); break;
    case 0x5A: adc16(s, s->DE.w); break;
    case 0x6A: adc16(s, s->HL.w); break;
    case 0x7A: adc16(s, s->SP.w); break;

    case 0x43: store16(s, s->BC); break;
    case 0x53: store16(s, s->DE); break;
    case 0x63: store16(s, s->HL); break;
    case 0x73: store16(s, s->SP); break;
    case 0x4B: load16(s, s->BC); break;
    case 0x5B: load16(s, s->DE); break;
    case 0x6B: load16(s, s->HL); break;
    case 0x7B: load16(s, s->SP); break;

    case 0x44: {  // NEG
        const unsigned old = a;
        const uint8_t r = static_cast<uint8_t>(0u - old);
        a = r;
        reg_f(s) = static_cast<uint8_t>(flags_zs[r] | ((old ^ r) & FLAG_H) |
                                        (old == 0x80 ? FLAG_PV : 0) | FLAG_N |
                                        (old != 0 ? FLAG_C : 0));
        break;
    }
    case 0x45:  // RETN
        s->IFF = static_cast<uint8_t>((s->IFF & ~IFF1) | ((s->IFF & IFF2) ? IFF1 : 0));
        s->PC.w = pop16(s);
        break;
    case 0x4D:  // RETI
        s->PC.w = pop16(s);
        break;
    case 0x46: s->IFF &= static_cast<uint8_t>(~(IFF_IM1 | IFF_IM2)); break;  // IM 0
    case 0x56: s->IFF = static_cast<uint8_t>((s->IFF & ~IFF_IM2) | IFF_IM1); break;  // IM 1
    case 0x5E: s->IFF = static_cast<uint8_t>((s->IFF & ~IFF_IM1) | IFF_IM2); break;  // IM 2
    case 0x47: s->I = a; break;  // LD I,A
    case 0x4F: break;            // LD R,A: there is no R to load
    case 0x57: load_a_special(s, s->I); break;
    case 0x5F:  // LD A,R: rises with the cycles spent
        load_a_special(s, static_cast<uint8_t>(0u - static_cast<uint32_t>(s->cycles_left)));
        break;

    case 0x67: {  // RRD
        const uint8_t v = mem_read(s->HL.w);
        mem_write(s->HL.w, static_cast<uint8_t>((a << 4) | (v >> 4)));
        a = static_cast<uint8_t>((a & 0xF0) | (v & 0x0F));
        reg_f(s) = static_cast<uint8_t>(flags_zsp[a] | (reg_f(s) & FLAG_C));
        break;
    }
    case 0x6F: {  // RLD
        const uint8_t v = mem_read(s->HL.w);
        mem_write(s->HL.w, static_cast<uint8_t>((v << 4) | (a & 0x0F)));
        a = static_cast<uint8_t>((a & 0xF0) | (v >> 4));
        reg_f(s) = static_cast<uint8_t>(flags_zsp[a] | (reg_f(s) & FLAG_C));
        break;
    }

    case 0xA0: ld_step<+1>(s); break;
    case 0xA8: ld_step<-1>(s); break;
    case 0xA1: cp_step<+1>(s); break;
    case 0xA9: cp_step<-1>(s); break;
    case 0xA2: in_step<+1>(s); break;
    case 0xAA: in_step<-1>(s); break;
    case 0xA3: out_step<+1>(s); break;
    case 0xAB: out_step<-1>(s); break;

    case 0xB0: repeat_block<true>(s, [s] { ld_step<+1>(s); return s->BC.w == 0; }); break;
    case 0xB8: repeat_block<true>(s, [s] { ld_step<-1>(s); return s->BC.w == 0; }); break;
    case 0xB1:
        repeat_block<true>(s, [s] { return cp_step<+1>(s) || s->BC.w == 0; });
        break;
    case 0xB9:
        repeat_block<false>(s, [s] { return cp_step<-1>(s) || s->BC.w == 0; });
        break;
    case 0xB2: repeat_block<true>(s, [s] { in_step<+1>(s); return s->BC.b.h == 0; }); break;
    case 0xBA: repeat_block<true>(s, [s] { in_step<-1>(s); return s->BC.b.h == 0; }); break;
    case 0xB3: repeat_block<true>(s, [s] { out_step<+1>(s); return s->BC.b.h == 0; }); break;
    case 0xBB: repeat_block<true>(s, [s] { out_step<-1>(s); return s->BC.b.h == 0; }); break;

    case 0xED:  // the second ED starts the next instruction
        --s->PC.w;
        break;
    case 0xFE:
        ed_trap(s);
        break;

    default:
        if (s->report_unrecognized) {
            const uint16_t pc = s->PC.w;
            std::printf("[Z80 %lX] Unrecognized instruction: ED %02X at PC=%04X\n",
                        static_cast<unsigned long>(s->cpu_id),
                        mem_read(static_cast<uint16_t>(pc - 1)),
                        static_cast<unsigned>(static_cast<uint16_t>(pc - 2)));
        }
        break;
    }
}
