// ZX81 program files (".P", ".81"): a headerless image of memory from 0x4009.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr uint16_t program_start = 0x4009;  // system variable VERSN
constexpr size_t program_size = 16384;      // 0x4009-0x8008

// Loads up to 16,384 bytes at 0x4009 from a file whose name ends in ".P" or
// "81" (any case), sets the system variables that restart it and points the
// processor at ROM address 0x005B. Names of 3 characters or fewer and other
// endings load nothing. A file that cannot be read is reported with a warning
// and changes nothing. Ends with redraw_frame.
void load_program(const std::string& name);

// Saves 0x4009-0x8008 (16,384 bytes). A regular file is written to a
// temporary file beside it and renamed over it only when every byte is on
// disk, so a failed save never leaves a truncated file; other targets
// (devices, pipes) are written directly. Failures are reported with a
// warning. Ends with redraw_frame.
void save_program(const std::string& name);
