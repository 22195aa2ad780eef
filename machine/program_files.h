// ZX81 program files (".P", ".81"): a headerless image of memory from 0x4009.
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

// What a file operation came to: ok, or the reason it was refused, worded
// for the second line of a message box.
struct FileResult {
    bool ok = true;
    std::string reason;
};

// A program file read and checked, ready to go into memory.
struct ProgramImage {
    FileResult result;
    std::vector<uint8_t> bytes;  // 0x4009 up to E_LINE
};

// Whether the file name (its last component) is a program's: a name with an
// ending of .P, .81 or .P81 in any case ("a.p", "x.81"; not "zx81", ".p").
bool program_file_name(const std::string& name);

// Reads a program file without touching memory and checks what the ZX81's
// own LOAD needs: a regular file (opened without blocking, so pipes and
// devices are refused at once), long enough to hold E_LINE, and holding
// every byte up to E_LINE, which lies in the `ram_kb` KB of RAM. The rest of
// the system variables are the program's own business: programs for the
// 1 KB machine put code where D_FILE and VARS live. Anything past E_LINE is
// ignored.
ProgramImage read_program_file(const std::string& name, int ram_kb = default_ram_kb);

// Loads a program file as F3 does, at any moment: the image into memory at
// 0x4009, the display hardware as the ROM's LOAD leaves it (SLOW mode not
// running, the NMI generator off, interrupts disabled), the system variables
// and the two stack words below RAMTOP that restart it, and the processor at
// ROM address 0x005B, which goes on to the program's next line as after a
// LOAD. A file that is refused leaves memory and registers exactly as they
// were.
FileResult load_program(Zx81& machine, const std::string& name);

// Puts a checked image into memory as the ROM's LOAD leaves it (the part
// load_program and the LOAD command share).
void put_program(Zx81& machine, const ProgramImage& image);

// Saves the program: 0x4009 up to E_LINE, as the ROM's SAVE sends it. A
// regular file is written to a temporary file beside it and renamed over it
// only when every byte is on disk, so a failed save never leaves a truncated
// file; pipes and character devices are written in place without blocking
// (a pipe nobody reads is refused). A machine whose E_LINE does not lie in
// its RAM has no program to save.
FileResult save_program(const Zx81& machine, const std::string& name);
