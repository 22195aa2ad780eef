// ZX81 programs as the ROM's SAVE sends them and its LOAD takes them: a
// headerless image of memory from 0x4009 (VERSN) up to E_LINE. Here the
// image is checked and put into memory, or taken out of it; reading and
// writing files is the host's (program_files.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "memory_map.h"

struct Zx81;

constexpr uint16_t program_start = 0x4009;  // system variable VERSN
// A program file runs from VERSN up to E_LINE, as the ROM's SAVE sends it;
// it must be long enough to hold E_LINE itself.
constexpr size_t smallest_program = sysvar::e_line + 2 - program_start;
// The most a file can hold for the largest RAM; more is never read.
constexpr size_t largest_program = ram_end(32) - program_start;
// What older versions saved: 0x4009-0x8008, whatever the program's length.
constexpr size_t full_image_size = 16384;
// Where E_LINE stands in a saved program.
constexpr size_t e_line_offset = sysvar::e_line - program_start;

// The length of a saved program as its first bytes say (E_LINE less
// 0x4009), found by its structure as the ROM's LOAD finds it: 0 while fewer
// than e_line_offset + 2 bytes are `available`, or when E_LINE can end no
// program on any ZX81.
size_t saved_program_length(const uint8_t* bytes, size_t available);

// What a file operation came to: ok, or the reason it was refused, worded
// for the second line of a message box.
struct FileResult {
    bool ok = true;
    std::string reason;
};

// A program image checked and ready to go into memory, or the reason it
// cannot.
struct ProgramImage {
    FileResult result;
    std::vector<uint8_t> bytes;  // 0x4009 up to E_LINE
};

// Checks the bytes of a program file for what the ZX81's own LOAD needs:
// long enough to hold E_LINE, holding every byte up to E_LINE, which lies in
// the `ram_kb` KB of RAM. The rest of the system variables are the
// program's own business: programs for the 1 KB machine put code where
// D_FILE and VARS live. Anything past E_LINE is dropped.
ProgramImage check_program_image(std::vector<uint8_t> bytes, int ram_kb);

// Puts a checked image into memory as the ROM's LOAD leaves it (the part
// that F3 and the LOAD command share).
void put_program(Zx81& machine, const ProgramImage& image);

// Loads a checked image as F3 does, at any moment: the image into memory at
// 0x4009, the display hardware as the ROM's LOAD leaves it (SLOW mode not
// running, the NMI generator off, interrupts disabled), the system variables
// and the two stack words below RAMTOP that restart it, and the processor at
// ROM address 0x005B, which goes on to the program's next line as after a
// LOAD.
void start_program(Zx81& machine, const ProgramImage& image);

// The program in memory as SAVE sends it: 0x4009 up to E_LINE. A machine
// whose E_LINE does not lie in its RAM has no program to save.
ProgramImage program_in_memory(const Zx81& machine);
