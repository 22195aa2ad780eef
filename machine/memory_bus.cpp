#include "memory_bus.h"

#include <cstdio>
#include <cstring>

#include "host_keys.h"
#include "reporters.h"

std::array<uint8_t, 65536> memory;
std::array<uint8_t, 8> key_rows = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
Z80State cpu;

uint8_t mem_read(uint16_t address) {
    return memory[address];
}

void mem_write(uint16_t address, uint8_t value) {
    if (address >= rom_size) memory[address] = value;
}

uint8_t port_in(uint16_t port) {
    if (port & 1) return 0xFF;  // only even ports answer: the keyboard
    uint8_t result = 0xFF;
    for (int row = 0; row < 8; ++row)
        if (!(port & (0x100 << row))) result &= key_rows[row];
    return result;
}

void port_out(uint16_t, uint8_t) {}

void ed_trap(Z80State*) {}

void load_rom(const std::string& path) {
    std::memset(memory.data() + ram_start, 0xFF, memory.size() - ram_start);
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) fatal_error("Cannot load zx81.rom!");
    // A short file leaves the rest of the ROM area as it was (0); a longer
    // one is read only up to 8 KB.
    std::fread(memory.data(), 1, rom_size, file);
    std::fclose(file);
    std::memcpy(memory.data() + rom_size, memory.data(), rom_size);
}

void memory_reset() {
    std::memset(memory.data() + ram_start, 0xFF, memory.size() - ram_start);
    std::memcpy(memory.data() + rom_size, memory.data(), rom_size);
}

namespace {

struct MatrixKey {
    int row;
    int bit;
    int scan;
};

// The ZX81 matrix and the host keys that press each key. Several host keys
// may press the same ZX81 key (both Shifts; the arrows press bare digits).
constexpr MatrixKey matrix_keys[] = {
    {0, 0, scancode::left_shift}, {0, 0, scancode::right_shift}, {0, 1, scancode::z},
    {0, 2, scancode::x},          {0, 3, scancode::c},           {0, 4, scancode::v},
    {1, 0, scancode::a},          {1, 1, scancode::s},           {1, 2, scancode::d},
    {1, 3, scancode::f},          {1, 4, scancode::g},           {2, 0, scancode::q},
    {2, 1, scancode::w},          {2, 2, scancode::e},           {2, 3, scancode::r},
    {2, 4, scancode::t},          {3, 0, scancode::key1},        {3, 1, scancode::key2},
    {3, 2, scancode::key3},       {3, 3, scancode::key4},        {3, 4, scancode::key5},
    {3, 4, scancode::left},       {4, 0, scancode::key0},        {4, 1, scancode::key9},
    {4, 2, scancode::key8},       {4, 2, scancode::right},       {4, 3, scancode::key7},
    {4, 3, scancode::up},         {4, 4, scancode::key6},        {4, 4, scancode::down},
    {5, 0, scancode::p},          {5, 1, scancode::o},           {5, 2, scancode::i},
    {5, 3, scancode::u},          {5, 4, scancode::y},           {6, 0, scancode::enter},
    {6, 1, scancode::l},          {6, 2, scancode::k},           {6, 3, scancode::j},
    {6, 4, scancode::h},          {7, 0, scancode::space},       {7, 1, scancode::semicolon},
    {7, 2, scancode::m},          {7, 3, scancode::n},           {7, 4, scancode::b},
};

}  // namespace

void scan_keyboard() {
    key_rows.fill(0xFF);
    for (const MatrixKey& k : matrix_keys)
        if (host_key_down(k.scan)) key_rows[k.row] &= static_cast<uint8_t>(~(1 << k.bit));
    // Backspace is the ZX81's rubout, SHIFT+0, and hides the rest of both rows.
    if (host_key_down(scancode::backspace)) {
        key_rows[0] = 0xFE;
        key_rows[4] = 0xFE;
    }
}
