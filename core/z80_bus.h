// How the processor reaches its machine: a bus type, chosen at compile time,
// and the execution context that the instruction groups work on.
//
// A bus is a small value the loop keeps beside the registers (typically a
// pointer to the machine it serves, so that machines never share one; the
// link-time callbacks need none). Its type has these members, static or
// not:
//
//   refresh            true: R counts opcode fetches and LD A,R / LD R,A use
//                      it; false: R is left alone and LD A,R gives a value
//                      that rises with the cycles spent.
//   exact_timing       true: every instruction costs what a Z80 takes (the
//                      prefixed twins of unprefixed instructions, conditions
//                      that hold, HALT's 4-cycle steps, accepting an
//                      interrupt); false: the cost tables as they stand.
//   watches_boundaries true: boundary() is called after every instruction and
//                      may answer an interrupt to take there.
//   fetch(state, address, refresh, cycles_left, offset)
//                      an opcode fetch (M1): the byte the processor gets. It
//                      may differ from memory. `refresh` is R as the fetch
//                      puts it on the bus (before its own increment),
//                      `cycles_left` the budget at the start of the
//                      instruction and `offset` the fetch's cycle within it.
//   read(address), write(address, value)
//                      every other memory access.
//   in(port, cycles_left), out(port, value, cycles_left)
//                      port accesses, with the budget after the instruction's
//                      cost was charged.
//   period_end(state)  the period is spent: the machine's turn (machine_loop).
//   trap(state)        the ED FE trap.
//   unrecognized(state, report)
//                      an opcode the core does not know was skipped (when
//                      the state's report_unrecognized asks, and always for
//                      FD): the line that reports it, for whoever wants it.
//                      The core itself never prints.
//   boundary(cpu)      (watching buses only) an instruction has ended; may
//                      hold the processor (lowering cpu.cycles by the wait
//                      states) and answer an interrupt to take now.
#pragma once

#include "z80.h"

#define Z80_INLINE inline __attribute__((always_inline))

// What an instruction changes besides the registers: the program counter, the
// cycle budget and R. The execution loop keeps them in locals, apart from the
// state, and writes them back only where a callback can look at the state.
struct Flow {
    int32_t cycles;
    uint16_t pc;
    uint8_t r;
    uint8_t after_ei;  // the instruction was EI: no maskable interrupt after it
};

// The processor as the instruction groups see it: the registers, the bus,
// and the flow in locals of its own.
template <class Bus>
struct Cpu {
    Z80State& s;
    Bus bus;
    int32_t cycles;
    uint16_t pc;
    uint8_t r;
    uint8_t after_ei;

    Cpu(Z80State& state, Bus b, Flow f)
        : s(state), bus(b), cycles(f.cycles), pc(f.pc), r(f.r), after_ei(f.after_ei) {}
    Flow flow() const { return {cycles, pc, r, after_ei}; }
    // What a group gave back. R and the EI mark change only on buses that
    // use them.
    void take(Flow f) {
        cycles = f.cycles;
        pc = f.pc;
        if constexpr (Bus::refresh) r = f.r;
        if constexpr (Bus::watches_boundaries) after_ei = f.after_ei;
    }
};

// The flow as the state holds it, and back.
inline Flow flow_of(const Z80State& s) {
    return {s.cycles_left, s.PC.w, s.R, 0};
}

inline void store_flow(Z80State& s, Flow f) {
    s.cycles_left = f.cycles;
    s.PC.w = f.pc;
    s.R = f.r;
}

// The machine of the link-time callbacks declared in z80.h, with the core's
// own cost tables and no refresh register: the bus of z80_run.
struct LinkBus {
    static constexpr bool refresh = false;
    static constexpr bool exact_timing = false;
    static constexpr bool watches_boundaries = false;

    static uint8_t fetch(const Z80State&, uint16_t address, uint8_t, int32_t, int) {
        return mem_read(address);
    }
    static uint8_t read(uint16_t address) { return mem_read(address); }
    static void write(uint16_t address, uint8_t value) { mem_write(address, value); }
    static uint8_t in(uint16_t port, int32_t) { return port_in(port); }
    static void out(uint16_t port, uint8_t value, int32_t) { port_out(port, value); }
    static uint16_t period_end(Z80State* state) { return machine_loop(state); }
    static void trap(Z80State* state) { ed_trap(state); }
    static void unrecognized(const Z80State& state, const char* report) { unrecognized_opcode(&state, report); }
};
