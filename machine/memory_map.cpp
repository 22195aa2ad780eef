#include "memory_map.h"

#include <cstdio>
#include <cstring>

RomFile read_rom_file(const std::string& path) {
    RomFile rom;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return rom;
    // A longer file is read only up to 8 KB.
    rom.size = std::fread(rom.image.data(), 1, rom.image.size(), file);
    rom.ok = !std::ferror(file);  // a folder opens but cannot be read
    std::fclose(file);
    return rom;
}

void power_up_memory(Memory& memory, const RomImage& rom) {
    std::memcpy(memory.data(), rom.data(), rom_size);
    reset_memory(memory);
}

void reset_memory(Memory& memory) {
    std::memset(memory.data() + ram_start, 0xFF, memory.size() - ram_start);
    std::memcpy(memory.data() + rom_size, memory.data(), rom_size);
}
