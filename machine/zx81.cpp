#include "zx81.h"

const char* model_name(Model model) {
    return model == Model::hardware ? "hardware" : "simple";
}

Zx81Snapshot take_snapshot(const Zx81& machine) {
    return {machine.memory, machine.cpu,        machine.keys,        machine.model,
            machine.requested_model, machine.address_map, machine.ula, machine.tape,
            machine.nmi_generator,   machine.cycles_run};
}

void restore_snapshot(Zx81& machine, const Zx81Snapshot& s) {
    machine.memory = s.memory;
    machine.cpu = s.cpu;
    machine.keys = s.keys;
    machine.model = s.model;
    machine.requested_model = s.requested_model;
    machine.address_map = s.address_map;
    machine.ula = s.ula;
    machine.tape = s.tape;
    machine.nmi_generator = s.nmi_generator;
    machine.cycles_run = s.cycles_run;
}

uint8_t peek(const Zx81& machine, uint16_t address) {
    return machine.memory[decoded(machine.address_map, address)];
}

void poke(Zx81& machine, uint16_t address, uint8_t value) {
    write_memory(machine.memory, machine.address_map, address, value);
}

uint8_t read_port(const Zx81& machine, uint16_t port) {
    uint8_t value = read_keyboard(machine.keys, port);
    // Bit 6 says which television: 0 for the 60 Hz machine of the hardware model.
    if (machine.model == Model::hardware && machine.ntsc && !(port & 1)) value &= static_cast<uint8_t>(~0x40);
    return value;
}

void set_keys(Zx81& machine, const KeyMatrix& keys) {
    machine.keys = keys;
}



