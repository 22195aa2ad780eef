// DD- and FD-prefixed instructions: the unprefixed set with IX or IY in place
// of HL, their halves in place of H and L, and (IX+d)/(IY+d) in place of (HL).
// Opcodes that name none of those run as their unprefixed twins at this
// group's cost; CB goes on to the indexed bit group.
#include <cstdio>

#include "z80_main.h"

namespace {

template <uint8_t X, IndexReg I>
Z80_INLINE void index_op(Z80State* s) {
    if constexpr (X == 0xCB) {
        if constexpr (I == IndexReg::IX)
            z80_exec_ddcb(s);
        else
            z80_exec_fdcb(s);
    } else if constexpr (X == 0xDD || X == 0xFD) {
        // Another prefix: this one has no effect and the loop starts over
        // with the new one.
        --s->PC.w;
    } else if constexpr (X == 0xED) {
        const uint16_t pc = s->PC.w;
        const uint8_t second = mem_read(static_cast<uint16_t>(pc - 1));
        const unsigned prefix_address = static_cast<uint16_t>(pc - 2);
        if constexpr (I == IndexReg::IX) {
            if (s->report_unrecognized)
                std::printf("[Z80 %lX] Unrecognized instruction: DD %02X at PC=%04X\n",
                            static_cast<unsigned long>(s->cpu_id), second, prefix_address);
        } else {
            // The FD group always reports, and without the processor's id.
            std::printf("Unrecognized instruction: FD %02X at PC=%04X\n", second,
                        prefix_address);
        }
    } else {
        exec_main<X, I>(s);
    }
}

template <IndexReg I>
Z80_INLINE void exec_index(Z80State* s) {
    const uint8_t x = fetch8(s);
    s->cycles_left -= cycles_index[x];
    switch (x) {
#define Z80_INDEX_CASE(n)       \
    case (n):                   \
        index_op<(n), I>(s);    \
        break;
        Z80_CASES256(Z80_INDEX_CASE)
#undef Z80_INDEX_CASE
    }
}

}  // namespace

void z80_exec_dd(Z80State* s) {
    exec_index<IndexReg::IX>(s);
}

void z80_exec_fd(Z80State* s) {
    exec_index<IndexReg::IY>(s);
}
