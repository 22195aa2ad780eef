// A minimal CP/M machine for running .COM programs such as the Z80
// instruction exercisers on the core: 64 KB of flat RAM, the program at
// 0x0100, BDOS functions 2 and 9 through CALL 5, and a warm boot (jump to
// 0x0000) that ends the run.
#pragma once

#include <cstdint>
#include <string>

#include "z80.h"

struct CpmRun {
    bool loaded = false;       // the .COM file could be read
    bool finished = false;     // the program jumped to 0x0000
    uint64_t cycles = 0;       // emulated cycles spent
    std::string output;        // everything printed through the BDOS
};

// Runs the program in `path` until it warm-boots or `cycle_limit` cycles
// (0: no limit) have been spent. When `echo` is set, output is also written
// to standard output as it appears.
CpmRun cpm_run_program(const std::string& path, uint64_t cycle_limit, bool echo);
