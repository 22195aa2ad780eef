// The execution loop: fetch, charge, execute; at each instruction's end the
// bus may place an interrupt; at the end of each period the machine has its
// turn and its answer is acted on. z80_execute<Bus> is the whole loop for one
// kind of machine; z80_run is it for the link-time callbacks.
//
// Dispatch is threaded: every opcode's case ends in a jump of its own to the
// next opcode's case, which the host's branch predictor learns per opcode.
// Building with ORLIX_Z80_SWITCH gives one switch in a loop instead.
#pragma once

#include "z80_cb.h"
#include "z80_ed.h"
#include "z80_index.h"
#include "z80_index_cb.h"
#include "z80_main.h"

// Accepts an interrupt into the processor: IFF1 into IFF2, IFF1 cleared, PC
// (past a HALT) pushed, and the new PC by the interrupt's kind and mode. A
// maskable interrupt with IFF1 clear is dropped. With exact timing it costs
// what a Z80 takes: 11 cycles for an NMI, 13 in modes 0 and 1, 19 in mode 2.
template <class Bus>
Z80_INLINE void accept_interrupt(Cpu<Bus>& c, uint16_t value) {
    Z80State& s = c.s;
    if (!(s.IFF & IFF1) && value != IRQ_NMI) return;  // masked: dropped

    uint8_t iff = s.IFF;
    iff = static_cast<uint8_t>((iff & ~IFF2) | ((iff & IFF1) ? IFF2 : 0));
    iff &= static_cast<uint8_t>(~(IFF1 | IFF_EI_PENDING));
    if (iff & IFF_HALTED) {
        ++c.pc;  // return past the HALT
        iff &= static_cast<uint8_t>(~IFF_HALTED);
    }
    s.IFF = iff;
    // The acknowledge is an opcode fetch cycle of its own, and refreshes.
    refresh_step<+1>(c);
    push16(c, c.pc);

    int cost;
    if (value == IRQ_NMI) {
        c.pc = IRQ_NMI;
        cost = 11;
    } else if (iff & IFF_IM2) {
        const uint16_t vector = static_cast<uint16_t>((s.I << 8) | (value & 0xFF));
        const uint8_t low = c.bus.read(vector);
        const uint8_t high = c.bus.read(static_cast<uint16_t>(vector + 1));
        c.pc = static_cast<uint16_t>(low | (high << 8));
        cost = 19;
    } else if (iff & IFF_IM1) {
        c.pc = 0x0038;
        cost = 13;
    } else {
        c.pc = value;
        cost = 13;
    }
    if constexpr (Bus::exact_timing) c.cycles -= cost;
}

// The end of an instruction: the bus may place an interrupt here (not a
// maskable one right after EI).
template <class Bus>
Z80_INLINE void instruction_boundary(Cpu<Bus>& c) {
    if constexpr (Bus::watches_boundaries) {
        const uint16_t irq = c.bus.boundary(c);
        if (irq != IRQ_NONE && (irq == IRQ_NMI || !c.after_ei)) accept_interrupt(c, irq);
        c.after_ei = 0;
    }
}

// The end of a period: the machine's turn, or the delivery of the interrupt
// that EI was waiting for. Returns the interrupt value to act on.
template <class Bus>
Z80_INLINE uint16_t end_period(Cpu<Bus>& c) {
    Z80State& s = c.s;
    store_flow(s, c.flow());
    uint16_t irq;
    if (s.IFF & IFF_EI_PENDING) {
        // The one instruction after EI has run: resume the cut period and
        // deliver the pending interrupt.
        s.IFF &= static_cast<uint8_t>(~IFF_EI_PENDING);
        s.cycles_left = s.saved_cycles + s.cycles_left - 1;
        irq = s.pending_irq;
    } else {
        irq = c.bus.period_end(&s);
        s.cycles_left = s.period_cycles;  // the overshoot is dropped
    }
    c.take(flow_of(s));  // the machine may have changed anything
    return irq;
}

#if !defined(ORLIX_Z80_SWITCH)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"  // labels as values, a GCC and Clang extension
#endif

template <class Bus>
uint16_t z80_execute(Z80State* state, Bus bus = Bus{}) {
    Cpu<Bus> c(*state, bus, flow_of(*state));
    uint8_t op;

#if defined(ORLIX_Z80_SWITCH)
    for (;;) {
        // At least one instruction runs per period, whatever cycles_left holds.
        do {
            op = fetch_opcode<0>(c);
            c.cycles -= cycles_main[op];
            switch (op) {
#define Z80_MAIN_CASE(n)                             \
    case 0x##n:                                      \
        exec_main<0x##n, IndexReg::HL>(c);           \
        break;
                Z80_EACH_BYTE(Z80_MAIN_CASE)
#undef Z80_MAIN_CASE
            }
            instruction_boundary(c);
        } while (c.cycles > 0);
        const uint16_t irq = end_period(c);
        if (irq == IRQ_STOP) return c.pc;
        if (irq != IRQ_NONE) accept_interrupt(c, irq);
    }
#else
    static const void* const opcode_cases[256] = {
#define Z80_CASE_ADDRESS(n) &&opcode_##n,
        Z80_EACH_BYTE(Z80_CASE_ADDRESS)
#undef Z80_CASE_ADDRESS
    };
    // Each case ends here: on to the next instruction through a jump of its
    // own, or to the end of the period.
#define Z80_NEXT                               \
    instruction_boundary(c);                   \
    if (c.cycles <= 0) goto period_over;       \
    op = fetch_opcode<0>(c);                   \
    c.cycles -= cycles_main[op];               \
    goto* opcode_cases[op];

    // At least one instruction runs per period, whatever cycles_left holds.
first_instruction:
    op = fetch_opcode<0>(c);
    c.cycles -= cycles_main[op];
    goto* opcode_cases[op];

#define Z80_MAIN_CASE(n)                   \
    opcode_##n:                            \
    exec_main<0x##n, IndexReg::HL>(c);     \
    Z80_NEXT
    Z80_EACH_BYTE(Z80_MAIN_CASE)
#undef Z80_MAIN_CASE
#undef Z80_NEXT

period_over : {
    const uint16_t irq = end_period(c);
    if (irq == IRQ_STOP) return c.pc;
    if (irq != IRQ_NONE) accept_interrupt(c, irq);
    goto first_instruction;
}
#endif
}

#if !defined(ORLIX_Z80_SWITCH)
#pragma GCC diagnostic pop
#endif
