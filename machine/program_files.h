// ZX81 program files (".P", ".81"): a headerless image of memory from 0x4009.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Zx81;

constexpr uint16_t program_start = 0x4009;  // system variable VERSN
constexpr size_t program_size = 16384;      // 0x4009-0x8008
// The system variables run from VERSN to 0x407C; a program file holds at
// least them.
constexpr size_t system_variables_size = 0x407D - program_start;

// What a file operation came to: ok, or the reason it was refused, worded
// for the second line of a message box.
struct FileResult {
    bool ok = true;
    std::string reason;
};

// A program file read and checked, ready to go into memory.
struct ProgramImage {
    FileResult result;
    std::vector<uint8_t> bytes;  // at most program_size
};

// Whether the name ends as a program file does: ".P" or "81" in any case,
// after at least two more characters.
bool program_file_name(const std::string& name);

// Reads a program file without touching memory and checks that it can be
// one: a regular file (opened without blocking, so pipes and devices are
// refused at once), at least the system variables long, and with D_FILE,
// VARS and E_LINE in order and inside the image.
ProgramImage read_program_file(const std::string& name);

// Loads a program file into memory at 0x4009, sets the system variables that
// restart it (and leaves SLOW mode to the ROM to start again) and points the
// processor at ROM address 0x005B. A file that is refused leaves memory and
// registers exactly as they were.
FileResult load_program(Zx81& machine, const std::string& name);

// Saves 0x4009-0x8008 (16,384 bytes). A regular file is written to a
// temporary file beside it and renamed over it only when every byte is on
// disk, so a failed save never leaves a truncated file; pipes and character
// devices are written in place without blocking (a pipe nobody reads is
// refused).
FileResult save_program(const Zx81& machine, const std::string& name);
