// CB-prefixed instructions: rotates and shifts, BIT, RES and SET on the
// eight operands B, C, D, E, H, L, (HL) and A.
#include "z80_ops.h"

namespace {

template <uint8_t X>
Z80_INLINE void cb_op(Z80State* s) {
    constexpr int family = X >> 6;        // 0 rotate/shift, 1 BIT, 2 RES, 3 SET
    constexpr int field = (X >> 3) & 7;   // rotate/shift operation or bit number
    constexpr int operand = X & 7;
    constexpr uint8_t mask = static_cast<uint8_t>(1 << field);

    uint8_t v;
    if constexpr (operand == 6)
        v = mem_read(s->HL.w);
    else
        v = reg8<IndexReg::HL, operand>(s);

    if constexpr (family == 1) {
        bit_test<field>(s, v);
        return;
    }
    uint8_t result;
    if constexpr (family == 0)
        result = rotate_shift<field>(s, v);
    else if constexpr (family == 2)
        result = v & static_cast<uint8_t>(~mask);
    else
        result = v | mask;

    // The result is written back even when unchanged, and never read back.
    if constexpr (operand == 6)
        mem_write(s->HL.w, result);
    else
        reg8<IndexReg::HL, operand>(s) = result;
}

}  // namespace

void z80_exec_cb(Z80State* s) {
    const uint8_t x = fetch8(s);
    s->cycles_left -= cycles_cb[x];
    switch (x) {
#define Z80_CB_CASE(n) \
    case (n):          \
        cb_op<(n)>(s); \
        break;
        Z80_CASES256(Z80_CB_CASE)
#undef Z80_CB_CASE
    }
}
