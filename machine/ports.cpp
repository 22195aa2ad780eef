#include "ports.h"

#include "rom_addresses.h"
#include "zx81.h"

uint8_t port_read(Zx81& machine, uint16_t port, int64_t t) {
    uint8_t value = 0xFF;
    if (!(port & 1)) {
        bool ear = false;
        for (const auto& device : machine.devices) ear = device->ear(machine, t) || ear;
        value = static_cast<uint8_t>(read_port(machine, port) | (ear ? 0x80 : 0x00));
    }
    for (const auto& device : machine.devices) value &= device->in(machine, port, t);
    return value;
}

void boards_out(Zx81& machine, uint16_t port, uint8_t value, int64_t t) {
    for (const auto& device : machine.devices) device->out(machine, port, value, t);
}

PatternRow boards_pattern(Zx81& machine, const PatternFetch& fetch, uint8_t stock) {
    PatternRow row{stock, (fetch.code & 0x80) != 0};
    for (const auto& device : machine.devices)
        if (device->shapes_picture()) device->pattern(machine, fetch, row);
    return row;
}

int boards_border(const Zx81& machine) {
    int colour = -1;
    for (const auto& device : machine.devices)
        if (const int border = device->border_colour(machine); border >= 0) colour = border;
    return colour;
}

void boards_frame_end(Zx81& machine) {
    ++machine.frames;
    for (const auto& device : machine.devices) device->frame_end(machine);
}

void boards_reset(Zx81& machine) {
    for (const auto& device : machine.devices) device->reset(machine);
}

bool tapped_write(Zx81& machine, uint16_t address, uint8_t value, int64_t t) {
    bool taken = false;
    for (const auto& device : machine.devices)
        if (device->tapped().holds(address)) taken |= device->memory_write(machine, address, value, t);
    return taken;
}

void note_key_read(Zx81& machine, uint16_t port, uint16_t last_fetch) {
    KeyReader reader = KeyReader::program;
    if (machine.known_rom && last_fetch == rom::break_check_read) {
        reader = KeyReader::break_check;
    } else if (machine.known_rom && rom::keyboard.holds(last_fetch)) {
        const uint16_t sp = machine.cpu.SP.w;
        const int returns_to = peek(machine, sp) | peek(machine, static_cast<uint16_t>(sp + 1)) << 8;
        if (returns_to == rom::display_scan_return) reader = KeyReader::display_scan;
    }
    note_keyboard_read(machine.key_feeder, port, reader, peek(machine, sysvar::debounce));
}

bool program_instruction(const Zx81& machine, uint16_t pc, uint8_t iff) {
    if (machine.model == Model::simple) return true;
    if (pc >= 0x8000 || (iff & IFF_HALTED)) return false;
    return !machine.known_rom || !(rom::interrupt_handler.holds(pc) || rom::nmi_handler.holds(pc) ||
                                   rom::display_routines.holds(pc));
}
