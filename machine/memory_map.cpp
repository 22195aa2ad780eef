#include "memory_map.h"

#include <cstring>

void power_up_memory(Memory& memory, const RomImage& rom, bool low_ram) {
    std::memcpy(memory.data(), rom.data(), rom_size);
    reset_memory(memory, low_ram);
}

void reset_memory(Memory& memory, bool low_ram) {
    std::memset(memory.data() + ram_start, 0xFF, memory.size() - ram_start);
    if (low_ram)
        std::memset(memory.data() + rom_size, 0xFF, ram_start - rom_size);
    else
        std::memcpy(memory.data() + rom_size, memory.data(), rom_size);
}
