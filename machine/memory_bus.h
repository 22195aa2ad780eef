// The ZX81's 64 KB address space, its bus as the processor sees it, and the
// keyboard matrix read through port input.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "z80.h"

// ROM at 0x0000-0x1FFF (write-protected), its copy at 0x2000-0x3FFF, RAM above.
extern std::array<uint8_t, 65536> memory;

// Row k (selected by address line A8+k low): bits 0-4 its five keys, 0 = down.
extern std::array<uint8_t, 8> key_rows;

// The emulated processor: one for the whole run.
extern Z80State cpu;

constexpr uint16_t rom_size = 0x2000;
constexpr uint16_t ram_start = 0x4000;

// Power-up: RAM to 0xFF, then "zx81.rom" (in the working directory unless
// another path is given) into the ROM area and its copy. A ROM that cannot be
// opened is fatal.
void load_rom(const std::string& path = "zx81.rom");

// RAM back to 0xFF and the ROM copy at 0x2000 restored from the ROM.
void memory_reset();

// Rebuilds key_rows from the host key state.
void scan_keyboard();
