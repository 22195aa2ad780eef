// DD CB d y and FD CB d y: rotates, shifts, BIT, RES and SET on the byte at
// IX+d or IY+d. The forms that would also copy the result into a register are
// not implemented: they do nothing and cost nothing.
#include <cstdio>

#include "z80_ops.h"

namespace {

template <uint8_t Y>
constexpr bool recognised_index_cb = (Y >= 0x40 && Y <= 0x7F) || (Y & 7) == 6;

template <uint8_t Y>
Z80_INLINE void index_cb_op(Z80State* s, uint16_t address, const char* prefix) {
    constexpr int family = Y >> 6;
    constexpr int field = (Y >> 3) & 7;
    constexpr uint8_t mask = static_cast<uint8_t>(1 << field);

    if constexpr (!recognised_index_cb<Y>) {
        if (s->report_unrecognized) {
            const uint16_t pc = s->PC.w;
            const uint8_t y = mem_read(static_cast<uint16_t>(pc - 1));
            const uint8_t d = mem_read(static_cast<uint16_t>(pc - 2));
            std::printf("[Z80 %lX] Unrecognized instruction: %s CB %02X %02X at PC=%04X\n",
                        static_cast<unsigned long>(s->cpu_id), prefix, d, y,
                        static_cast<unsigned>(static_cast<uint16_t>(pc - 4)));
        }
    } else if constexpr (family == 1) {
        bit_test<field>(s, mem_read(address));
    } else {
        const uint8_t v = mem_read(address);
        uint8_t result;
        if constexpr (family == 0)
            result = rotate_shift<field>(s, v);
        else if constexpr (family == 2)
            result = v & static_cast<uint8_t>(~mask);
        else
            result = v | mask;
        mem_write(address, result);
    }
}

template <IndexReg I>
Z80_INLINE void exec_index_cb(Z80State* s, const char* prefix) {
    const RegPair& x = I == IndexReg::IX ? s->IX : s->IY;
    const int8_t d = static_cast<int8_t>(fetch8(s));
    const uint16_t address = static_cast<uint16_t>(x.w + d);
    const uint8_t y = fetch8(s);
    s->cycles_left -= cycles_index_cb[y];
    switch (y) {
#define Z80_INDEX_CB_CASE(n)                        \
    case (n):                                       \
        index_cb_op<(n)>(s, address, prefix);       \
        break;
        Z80_CASES256(Z80_INDEX_CB_CASE)
#undef Z80_INDEX_CB_CASE
    }
}

}  // namespace

void z80_exec_ddcb(Z80State* s) {
    exec_index_cb<IndexReg::IX>(s, "DD");
}

void z80_exec_fdcb(Z80State* s) {
    exec_index_cb<IndexReg::IY>(s, "FD");
}
