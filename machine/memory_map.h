// What is where in the ZX81's 64 KB, and how memory starts out: the 8 KB ROM
// at 0x0000-0x1FFF, seen again at 0x2000-0x3FFF (where an 8 KB RAM board
// may sit instead), and RAM from 0x4000 up, as much as the machine has, seen
// through the address lines its chips decode.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

using Memory = std::array<uint8_t, 65536>;

constexpr uint16_t rom_size = 0x2000;
constexpr uint16_t ram_start = 0x4000;

// The ROM image: the first 8,192 bytes of the file; a shorter file leaves the
// rest 0.
using RomImage = std::array<uint8_t, rom_size>;

// Where the processor may write: from 0x4000, or from 0x2000 with RAM at
// 8-16K (`low_ram`). Writes below that change nothing.
constexpr uint16_t writable_from(bool low_ram) {
    return low_ram ? rom_size : ram_start;
}

// Power-up: the ROM in place and seen again at 0x2000 (RAM there instead
// with `low_ram`), RAM all 0xFF.
void power_up_memory(Memory& memory, const RomImage& rom, bool low_ram = false);

// Reset: RAM back to 0xFF and what 0x2000-0x3FFF shows put back; the ROM
// itself is not read again.
void reset_memory(Memory& memory, bool low_ram = false);

// The system variables that the machine itself looks at.
namespace sysvar {
constexpr uint16_t first = 0x4000;   // where the system variables start: IY points here
constexpr uint16_t err_nr = 0x4000;  // the report to give, less one; 0xFF for none
constexpr uint8_t no_report = 0xFF;
constexpr uint8_t out_of_memory = 3; // report 4
constexpr uint16_t err_sp = 0x4002;  // the machine stack's bottom word: where errors return
constexpr uint16_t ramtop = 0x4004;  // the first address past what BASIC uses
constexpr uint16_t d_file = 0x400C;  // where the display file starts
constexpr uint16_t vars = 0x4010;    // where the variables start
constexpr uint16_t e_line = 0x4014;  // the line being edited: the end of a saved program
constexpr uint16_t ch_add = 0x4016;  // the character the ROM reads next
constexpr uint16_t x_ptr = 0x4018;   // where a syntax error was found
constexpr uint16_t stkbot = 0x401A;  // the bottom of the calculator's stack
constexpr uint16_t stkend = 0x401C;  // the end of the calculator's stack
constexpr uint16_t last_k = 0x4025;  // the keys the last keyboard scan saw
constexpr uint16_t debounce = 0x4027;  // the keyboard's debounce state
constexpr uint16_t cdflag = 0x403B;  // the display mode
constexpr uint8_t slow_requested = 0x40;  // CDFLAG: the program asks for SLOW mode
constexpr uint8_t slow_running = 0x80;    // CDFLAG: SLOW mode runs (needs the NMI generator)
}  // namespace sysvar

// A little-endian word of memory, as the system variables hold them.
inline uint16_t word_at(const Memory& memory, uint16_t address) {
    return static_cast<uint16_t>(memory[address] | (memory[static_cast<uint16_t>(address + 1)] << 8));
}

// The RAM sizes a ZX81 came with, in KB: the 1 KB of the basic machine, the
// 2 KB of the Timex and of the early boards, the 16 KB pack and the 32 KB
// packs.
constexpr std::array<int, 4> ram_sizes_kb = {1, 2, 16, 32};
constexpr int default_ram_kb = 16;

// The memory a machine has: RAM from 0x4000, and perhaps 8 KB more at
// 0x2000-0x3FFF (the boards that UDG and CHR$128 character sets need, and
// ZXpand's RAM map).
struct RamChoice {
    int kb = default_ram_kb;
    bool low = false;
};
// As --ram and the settings name them: "16", "16+8", "40" (32 + 8)...
struct RamName {
    const char* name;
    RamChoice ram;
};
constexpr std::array<RamName, 6> ram_names = {{
    {"1", {1, false}}, {"2", {2, false}}, {"16", {16, false}}, {"32", {32, false}},
    {"16+8", {16, true}}, {"40", {32, true}},
}};

// Its name as --ram gives it ("16", "16+8", "40"...).
constexpr const char* ram_name(int kb, bool low) {
    for (const RamName& n : ram_names)
        if (n.ram.kb == kb && n.ram.low == low) return n.name;
    return "16";
}

// The first address past the machine's RAM (0x4400 for 1 KB, 0x8000 for
// 16 KB, 0xC000 for 32 KB): what a program may fill.
constexpr uint32_t ram_end(int kb) {
    return ram_start + 1024u * static_cast<uint32_t>(kb);
}

// How the address lines reach the chips. RAM of 1 or 2 KB decodes only its
// own address lines and repeats through 0x4000-0x7FFF, which is how the
// ROM's memory check finds its end. On the real machine no chip decodes A15
// either, so the ROM and its copy also answer at 0x8000-0xBFFF and the RAM
// at 0xC000-0xFFFF (where the display hardware fetches the display file),
// unless a 32 KB pack claims 0x8000-0xBFFF for its upper half.
//
// The simple model keeps 0x8000-0xFFFF as plain memory of its own instead:
// with no display hardware, the ROM's display routine runs through that
// memory, whose 0xFF bytes (RST 38) stand in for the interrupts that end
// each display line on the real machine.
struct AddressMap {
    std::array<uint16_t, 4> masks;  // by A15 and A14: the address bits the chips see
    uint16_t writable_from = ram_start;  // below this, writes change nothing
};

constexpr AddressMap address_map_for(int ram_kb, bool upper_echoes, bool low_ram = false) {
    const uint16_t ram = static_cast<uint16_t>(ram_start | (ram_kb >= 16 ? 0x3FFF : 1024 * ram_kb - 1));
    const uint16_t floor = writable_from(low_ram);
    if (!upper_echoes) return {{0xFFFF, ram, 0xFFFF, 0xFFFF}, floor};
    const uint16_t upper = ram_kb >= 32 ? 0xFFFF : 0x3FFF;
    return {{0xFFFF, ram, upper, ram}, floor};
}

// Where an address of the processor lands in memory.
inline uint16_t decoded(const AddressMap& map, uint16_t address) {
    return address & map.masks[address >> 14];
}

// A write through the bus: dropped where it lands on the ROM.
inline void write_memory(Memory& memory, const AddressMap& map, uint16_t address, uint8_t value) {
    const uint16_t to = decoded(map, address);
    if (to >= map.writable_from) memory[to] = value;
}
