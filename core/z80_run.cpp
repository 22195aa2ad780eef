// The execution loop: fetch, charge, execute; at the end of each period hand
// control to the machine and act on its answer.
#include "z80_main.h"

uint16_t z80_run(Z80State* s) {
    for (;;) {
        // At least one instruction runs per period, whatever cycles_left holds.
        do {
            const uint8_t op = fetch8(s);
            s->cycles_left -= cycles_main[op];
            switch (op) {
#define Z80_MAIN_CASE(n)                        \
    case (n):                                   \
        exec_main<(n), IndexReg::HL>(s);        \
        break;
                Z80_CASES256(Z80_MAIN_CASE)
#undef Z80_MAIN_CASE
            }
        } while (s->cycles_left > 0);

        uint16_t irq;
        if (s->IFF & IFF_EI_PENDING) {
            // The one instruction after EI has run: resume the cut period and
            // deliver the pending interrupt.
            s->IFF &= static_cast<uint8_t>(~IFF_EI_PENDING);
            s->cycles_left = s->saved_cycles + s->cycles_left - 1;
            irq = s->pending_irq;
        } else {
            irq = machine_loop(s);
            s->cycles_left = s->period_cycles;  // the overshoot is dropped
        }
        if (irq == IRQ_STOP) return s->PC.w;
        if (irq != IRQ_NONE) z80_interrupt(s, irq);
    }
}

void z80_interrupt(Z80State* s, uint16_t value) {
    if (!(s->IFF & IFF1) && value != IRQ_NMI) return;  // masked: dropped

    uint8_t iff = s->IFF;
    iff = static_cast<uint8_t>((iff & ~IFF2) | ((iff & IFF1) ? IFF2 : 0));
    iff &= static_cast<uint8_t>(~(IFF1 | IFF_EI_PENDING));
    if (iff & IFF_HALTED) {
        ++s->PC.w;  // return past the HALT
        iff &= static_cast<uint8_t>(~IFF_HALTED);
    }
    s->IFF = iff;
    push16(s, s->PC.w);

    if (value == IRQ_NMI) {
        s->PC.w = IRQ_NMI;
    } else if (iff & IFF_IM2) {
        const uint16_t vector = static_cast<uint16_t>((s->I << 8) | (value & 0xFF));
        const uint8_t low = mem_read(vector);
        const uint8_t high = mem_read(static_cast<uint16_t>(vector + 1));
        s->PC.w = static_cast<uint16_t>(low | (high << 8));
    } else if (iff & IFF_IM1) {
        s->PC.w = 0x0038;
    } else {
        s->PC.w = value;
    }
}
