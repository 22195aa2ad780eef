// ZX81 program files (".P", ".81", ".P81") on the host: read, checked and
// loaded, and saved whole or not at all.
#pragma once

#include <string>

#include "program_image.h"

// Whether the file name (its last component) is a program's: a name with an
// ending of .P, .81 or .P81 in any case ("a.p", "x.81"; not "zx81", ".p").
bool program_file_name(const std::string& name);

// Reads a program file without touching memory and checks it
// (check_program_image): a regular file (looked at before it is opened, and
// opened without blocking, so pipes and devices are refused at once), of at
// most the largest program's size.
ProgramImage read_program_file(const std::string& name, int ram_kb = default_ram_kb);

// Loads a program file as F3 does (start_program). A file that is refused
// leaves memory and registers exactly as they were.
FileResult load_program(Zx81& machine, const std::string& name);

// Saves the program as SAVE sends it, through write_whole_file: a pipe or a
// character device is written in place.
FileResult save_program(const Zx81& machine, const std::string& name);
