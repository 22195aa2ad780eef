#include "memory_map.h"

#include <cstring>

void power_up_memory(Memory& memory, const RomImage& rom) {
    std::memcpy(memory.data(), rom.data(), rom_size);
    reset_memory(memory);
}

void reset_memory(Memory& memory) {
    std::memset(memory.data() + ram_start, 0xFF, memory.size() - ram_start);
    std::memcpy(memory.data() + rom_size, memory.data(), rom_size);
}
