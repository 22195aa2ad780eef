// Display files written straight into memory, for the tests of the picture.
#pragma once

#include <vector>

#include "memory_map.h"

// Writes a display file at `address` and points D_FILE at it.
inline void set_display_file(Memory& memory, uint16_t address, const std::vector<uint8_t>& bytes) {
    memory[0x400C] = address & 0xFF;
    memory[0x400D] = address >> 8;
    for (size_t i = 0; i < bytes.size(); ++i) memory[static_cast<uint16_t>(address + i)] = bytes[i];
}

// A fully expanded display file: NEWLINE, then 24 lines of 32 codes and NEWLINE.
inline std::vector<uint8_t> expanded_display_file(uint8_t fill) {
    std::vector<uint8_t> d = {0x76};
    for (int line = 0; line < 24; ++line) {
        d.insert(d.end(), 32, fill);
        d.push_back(0x76);
    }
    return d;
}
