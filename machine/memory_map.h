// What is where in the ZX81's 64 KB, and how memory starts out: the 8 KB ROM
// at 0x0000-0x1FFF (write-protected), a copy of it at 0x2000-0x3FFF that
// programs may change until the next reset, and RAM from 0x4000 up.
#pragma once

#include <array>
#include <cstdint>
#include <string>

using Memory = std::array<uint8_t, 65536>;

constexpr uint16_t rom_size = 0x2000;
constexpr uint16_t ram_start = 0x4000;

// The ROM image: the first 8,192 bytes of the file; a shorter file leaves the
// rest 0.
using RomImage = std::array<uint8_t, rom_size>;

struct RomFile {
    bool ok = false;
    RomImage image{};
};

// Reads a ROM file. A file that cannot be opened or read is not ok.
RomFile read_rom_file(const std::string& path);

// Power-up: the ROM and its copy in place, RAM all 0xFF.
void power_up_memory(Memory& memory, const RomImage& rom);

// Reset: RAM back to 0xFF and the ROM copy restored from the ROM; the ROM
// itself is not read again.
void reset_memory(Memory& memory);

// The system variables that the machine itself looks at.
namespace sysvar {
constexpr uint16_t d_file = 0x400C;  // where the display file starts
constexpr uint16_t vars = 0x4010;    // where the variables start
constexpr uint16_t e_line = 0x4014;  // the line being edited: the end of a saved program
constexpr uint16_t cdflag = 0x403B;  // the display mode
constexpr uint8_t slow_requested = 0x40;  // CDFLAG: the program asks for SLOW mode
constexpr uint8_t slow_running = 0x80;    // CDFLAG: SLOW mode runs (needs the NMI generator)
}  // namespace sysvar

// A write through the bus: dropped below 0x2000.
inline void write_memory(Memory& memory, uint16_t address, uint8_t value) {
    if (address >= rom_size) memory[address] = value;
}
