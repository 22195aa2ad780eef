// DD CB d y and FD CB d y: rotates, shifts, BIT, RES and SET on the byte at
// IX+d or IY+d. The forms that would also copy the result into a register are
// not implemented: they do nothing (and cost nothing unless the bus keeps
// exact timing).
#pragma once

#include <cstdio>

#include "z80_ops.h"

template <uint8_t Y>
constexpr bool recognised_index_cb = (Y >= 0x40 && Y <= 0x7F) || (Y & 7) == 6;

template <uint8_t Y, IndexReg I, class Bus>
Z80_INLINE void index_cb_op(Cpu<Bus>& c, uint16_t address) {
    constexpr int family = Y >> 6;
    constexpr int field = (Y >> 3) & 7;
    Z80State& s = c.s;

    if constexpr (!recognised_index_cb<Y>) {
        if (s.report_unrecognized) {
            const uint16_t pc = c.pc;
            const uint8_t y = c.bus.read(static_cast<uint16_t>(pc - 1));
            const uint8_t d = c.bus.read(static_cast<uint16_t>(pc - 2));
            char report[96];
            std::snprintf(report, sizeof report, "[Z80 %lX] Unrecognized instruction: %s CB %02X %02X at PC=%04X\n",
                          static_cast<unsigned long>(s.cpu_id), I == IndexReg::IX ? "DD" : "FD", d, y,
                          static_cast<unsigned>(static_cast<uint16_t>(pc - 4)));
            c.bus.unrecognized(s, report);
        }
    } else if constexpr (family == 1) {
        bit_test<field>(s, c.bus.read(address));
    } else {
        c.bus.write(address, bit_operation<family, field>(s, c.bus.read(address)));
    }
}

// The displacement and the last byte are ordinary reads, not opcode fetches.
template <class Bus, IndexReg I>
[[gnu::noinline]] Flow run_index_cb(Z80State& s, Bus bus, Flow f) {
    Cpu<Bus> c(s, bus, f);
    const int8_t d = static_cast<int8_t>(fetch8(c));
    const uint16_t address = static_cast<uint16_t>(hl_pair<I>(s).w + d);
    const uint8_t y = fetch8(c);
    c.cycles -= CostTables<Bus>::index_cb[y];
    switch (y) {
#define Z80_INDEX_CB_CASE(n)                    \
    case 0x##n:                                 \
        index_cb_op<0x##n, I>(c, address);      \
        break;
        Z80_EACH_BYTE(Z80_INDEX_CB_CASE)
#undef Z80_INDEX_CB_CASE
    }
    return c.flow();
}
