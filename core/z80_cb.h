// CB-prefixed instructions: rotates and shifts, BIT, RES and SET on the
// eight operands B, C, D, E, H, L, (HL) and A.
#pragma once

#include "z80_ops.h"

template <uint8_t X, class Bus>
Z80_INLINE void cb_op(Cpu<Bus>& c) {
    constexpr int family = X >> 6;       // 0 rotate/shift, 1 BIT, 2 RES, 3 SET
    constexpr int field = (X >> 3) & 7;  // rotate/shift operation or bit number
    constexpr int operand = X & 7;
    Z80State& s = c.s;

    uint8_t v;
    if constexpr (operand == 6)
        v = c.bus.read(s.HL.w);
    else
        v = reg8<IndexReg::HL, operand>(s);

    if constexpr (family == 1) {
        bit_test<field>(s, v);
    } else {
        const uint8_t result = bit_operation<family, field>(s, v);
        // The result is written back even when unchanged, and never read back.
        if constexpr (operand == 6)
            c.bus.write(s.HL.w, result);
        else
            reg8<IndexReg::HL, operand>(s) = result;
    }
}

template <class Bus>
[[gnu::noinline]] Flow run_cb(Z80State& s, Bus bus, Flow f) {
    Cpu<Bus> c(s, bus, f);
    const uint8_t x = fetch_opcode<4>(c);
    c.cycles -= cycles_cb[x];
    switch (x) {
#define Z80_CB_CASE(n) \
    case 0x##n:        \
        cb_op<0x##n>(c); \
        break;
        Z80_EACH_BYTE(Z80_CB_CASE)
#undef Z80_CB_CASE
    }
    return c.flow();
}
