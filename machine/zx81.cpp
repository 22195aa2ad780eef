#include "zx81.h"

Zx81 zx81;

// The processor's bus in the simple model: memory, the keyboard behind even
// ports, and the end of each period. These are the core's link-time
// callbacks; they serve the one machine. They live beside it so that linking
// the machine always brings them.

uint8_t mem_read(uint16_t address) {
    return zx81.memory[address];
}

void mem_write(uint16_t address, uint8_t value) {
    write_memory(zx81.memory, address, value);
}

uint8_t port_in(uint16_t port) {
    return read_keyboard(zx81.keys, port);
}

// Output reaches nothing that a later read can see.
void port_out(uint16_t, uint8_t) {}

void ed_trap(Z80State*) {}

// Each period ends the run, so that the front end has its turn between two.
uint16_t machine_loop(Z80State* state) {
    zx81.cycles_run.fetch_add(static_cast<uint64_t>(state->period_cycles - state->cycles_left),
                              std::memory_order_relaxed);
    return IRQ_STOP;
}

void power_up(Zx81& machine, const RomImage& rom) {
    power_up_memory(machine.memory, rom);
    machine.keys = no_keys_down;
    machine.cpu = Z80State{};
    machine.cpu.period_cycles = period_cycles;
    z80_reset(&machine.cpu);
}

void reset(Zx81& machine) {
    reset_memory(machine.memory);
    z80_reset(&machine.cpu);
}

void run_period(Zx81& machine) {
    z80_run(&machine.cpu);  // the bus's machine_loop ends the run after one period
}

void set_keys(Zx81& machine, const KeyMatrix& keys) {
    machine.keys = keys;
}

const Frame& latest_frame(Zx81& machine) {
    decode_display_file(machine.memory, machine.frame);
    return machine.frame;
}
