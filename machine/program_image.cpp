#include "program_image.h"

#include "rom_addresses.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "zx81.h"

namespace {

// F3 restarts a program through ROM address 0x005B, the end of the ROM's
// error handling: it takes the stack from ERR_SP, checks SLOW/FAST and
// returns through the stack's bottom word to the line after the last one
// run, which the loaded NXTLIN names. These are what that route needs: FLAGS,
// PPC (line -2: no line running) and the two words that the ROM puts at the
// top of the stack after NEW.
constexpr uint16_t stack_end_mark = 0x3E00;    // below it the GOSUB stack ends

void write_byte(Zx81& machine, uint16_t address, uint8_t value) {
    write_memory(machine.memory, machine.address_map, address, value);
}

// RAMTOP as the ROM's memory check leaves it at power-up; it never looks
// above 0x7FFF.
uint16_t ramtop_at_power_up(int ram_kb) {
    return static_cast<uint16_t>(std::min<uint32_t>(ram_end(ram_kb), 0x8000));
}

const std::string not_a_program = "not a ZX81 program: ";

ProgramImage refused(std::string reason) {
    return {{false, std::move(reason)}, {}};
}

uint16_t image_word(const std::vector<uint8_t>& image, uint16_t address) {
    const size_t offset = address - program_start;
    return static_cast<uint16_t>(image[offset] | (image[offset + 1] << 8));
}

std::string hex_address(uint32_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", address);
    return text;
}

// Whether E_LINE can end a program on any ZX81.
bool plausible_end(uint32_t edit_line) {
    return edit_line >= program_start + smallest_program && edit_line <= ram_end(ram_sizes_kb.back());
}

// The smallest RAM that holds a program ending at `edit_line`.
int ram_needed_kb(uint32_t edit_line) {
    for (int kb : ram_sizes_kb)
        if (edit_line <= ram_end(kb)) return kb;
    return ram_sizes_kb.back();
}

}  // namespace

size_t saved_program_length(const uint8_t* bytes, size_t available) {
    if (available < e_line_offset + 2) return 0;
    const uint32_t edit_line = bytes[e_line_offset] | bytes[e_line_offset + 1] << 8;
    return plausible_end(edit_line) ? edit_line - program_start : 0;
}

ProgramImage check_program_image(std::vector<uint8_t> bytes, int ram_kb) {
    if (bytes.size() < smallest_program) return refused(not_a_program + "too short");
    const uint16_t edit_line = image_word(bytes, sysvar::e_line);
    if (!plausible_end(edit_line))
        return refused(not_a_program + "its end (E_LINE " + hex_address(edit_line) + ") lies outside RAM");
    // Whether the file is whole comes before whether it fits: a file cut
    // short is no program on any machine, and saying that it needs more RAM
    // would send its owner after the wrong cure.
    const size_t length = edit_line - program_start;
    if (length > bytes.size())
        return refused(not_a_program + "the file ends before E_LINE " + hex_address(edit_line) + " (it has " +
                       std::to_string(bytes.size()) + " of the " + std::to_string(length) + " bytes up to it)");
    if (edit_line > ram_end(ram_kb))
        return refused("the program needs " + std::to_string(ram_needed_kb(edit_line)) + " KB of RAM; this ZX81 has " +
                       std::to_string(ram_kb) + " KB");
    bytes.resize(length);
    return {{}, std::move(bytes)};
}

void put_program(Zx81& machine, const ProgramImage& image) {
    std::memcpy(machine.memory.data() + program_start, image.bytes.data(), image.bytes.size());
    // The ROM's LOAD runs in FAST mode and leaves the display hardware so:
    // the NMI generator off and interrupts disabled. Whether SLOW mode runs
    // is for the ROM's SLOW/FAST check to set up again on the machine at
    // hand; a file that says it runs already, as one saved during SLOW mode
    // may, would leave the ROM waiting for NMIs that never come.
    machine.memory[sysvar::cdflag] &= static_cast<uint8_t>(~sysvar::slow_running);
    stop_nmi_generator(machine.ula);
    machine.cpu.IFF &= static_cast<uint8_t>(~(IFF1 | IFF2 | IFF_HALTED));
    machine.tape.command = {};
}

void start_program(Zx81& machine, const ProgramImage& image) {
    put_program(machine, image);
    write_byte(machine, 0x4001, 0x80);  // FLAGS
    write_byte(machine, 0x4007, 0xFE);  // PPC = 0xFFFE
    write_byte(machine, 0x4008, 0xFF);
    // The stack the ROM returns through, just below RAMTOP; a RAMTOP that
    // cannot be one is what the ROM's memory check would find. Where the
    // program itself fills those addresses, its own bytes stay.
    const uint32_t end = program_start + image.bytes.size();
    uint16_t ramtop = word_at(machine.memory, sysvar::ramtop);
    if (ramtop <= program_start + smallest_program || ramtop > ram_end(machine.ram_kb))
        ramtop = ramtop_at_power_up(machine.ram_kb);
    const uint16_t bottom = static_cast<uint16_t>(ramtop - 4);
    write_byte(machine, sysvar::err_sp, static_cast<uint8_t>(bottom));
    write_byte(machine, sysvar::err_sp + 1, static_cast<uint8_t>(bottom >> 8));
    const uint16_t words[] = {rom::statement_return, stack_end_mark};
    for (int i = 0; i < 4; ++i) {
        const uint16_t address = static_cast<uint16_t>(bottom + i);
        if (address >= end) write_byte(machine, address, static_cast<uint8_t>(words[i / 2] >> (8 * (i % 2))));
    }
    machine.cpu.PC.w = rom::restart;
}

ProgramImage program_in_memory(const Zx81& machine) {
    const uint16_t edit_line = word_at(machine.memory, sysvar::e_line);
    if (!plausible_end(edit_line) || edit_line > ram_end(machine.ram_kb))
        return refused("no program in memory: E_LINE " + hex_address(edit_line) + " lies outside RAM");
    const uint8_t* start = machine.memory.data() + program_start;
    return {{}, std::vector<uint8_t>(start, start + (edit_line - program_start))};
}
