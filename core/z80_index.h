// DD- and FD-prefixed instructions: the unprefixed set with IX or IY in place
// of HL, their halves in place of H and L, and (IX+d)/(IY+d) in place of (HL).
// Opcodes that name none of those run as their unprefixed twins at this
// group's cost; CB goes on to the indexed bit group.
#pragma once

#include <cstdio>

#include "z80_main.h"

template <uint8_t X, IndexReg I, class Bus>
Z80_INLINE void index_op(Cpu<Bus>& c) {
    Z80State& s = c.s;
    if constexpr (X == 0xCB) {
        c.take(run_index_cb<Bus, I>(s, c.bus, c.flow()));
    } else if constexpr (X == 0xDD || X == 0xFD) {
        // Another prefix: this one has no effect and the loop starts over
        // with the new one.
        unfetch_opcode(c);
    } else if constexpr (X == 0xED) {
        // The report reads the second byte once more; without a report the
        // pair's traffic is its two fetches alone.
        const uint16_t prefix_address = static_cast<uint16_t>(c.pc - 2);
        const auto second = [&c] { return c.bus.read(static_cast<uint16_t>(c.pc - 1)); };
        char report[96];
        if constexpr (I == IndexReg::IX) {
            if (s.report_unrecognized) {
                std::snprintf(report, sizeof report, "[Z80 %lX] Unrecognized instruction: DD %02X at PC=%04X\n",
                              static_cast<unsigned long>(s.cpu_id), second(), prefix_address);
                c.bus.unrecognized(s, report);
            }
        } else {
            // The FD group always reports, and without the processor's id.
            std::snprintf(report, sizeof report, "Unrecognized instruction: FD %02X at PC=%04X\n", second(),
                          prefix_address);
            c.bus.unrecognized(s, report);
        }
    } else {
        exec_main<X, I>(c);
    }
}

template <class Bus, IndexReg I>
[[gnu::noinline]] Flow run_index(Z80State& s, Bus bus, Flow f) {
    Cpu<Bus> c(s, bus, f);
    const uint8_t x = fetch_opcode<4>(c);
    c.cycles -= CostTables<Bus>::index[x];
    switch (x) {
#define Z80_INDEX_CASE(n)        \
    case 0x##n:                  \
        index_op<0x##n, I>(c);   \
        break;
        Z80_EACH_BYTE(Z80_INDEX_CASE)
#undef Z80_INDEX_CASE
    }
    return c.flow();
}
