// A tape played into the real ROM's LOAD "" in the hardware model, timed:
// what the benchmarks share.
#pragma once

#include <cstdint>
#include <vector>

#include "zx81.h"

struct RomLoad {
    bool loaded = false;   // LOAD ended with `expected` in memory
    double emulated = 0;   // seconds the machine ran, from NEWLINE to the end of the load
    double elapsed = 0;    // seconds that took here
};

// Types LOAD "" on a machine at its K prompt (catches off, in the hardware
// model), plays `signal` from the deck and runs until LOAD has stored its
// last byte or the tape has run out.
RomLoad load_through_rom(Zx81& zx81, const TapeSignal& signal, const std::vector<uint8_t>& expected);

// The real ROM from a file; false when it cannot be read.
bool read_rom(const char* path, RomImage& rom);
