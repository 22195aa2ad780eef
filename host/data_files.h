// Where the program finds its data files: the ROM and the two pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "memory_map.h"

struct RomFile {
    bool ok = false;
    RomImage image{};
    size_t size = 0;  // the bytes read: at most 8,192
};

// Reads a ROM file. A file that cannot be opened or read is not ok.
RomFile read_rom_file(const std::string& path);

// The places that decide the folders looked in.
struct DataPlaces {
    std::string xdg_data_home;  // $XDG_DATA_HOME; empty when unset
    std::string xdg_data_dirs;  // $XDG_DATA_DIRS, folders separated by ':'; empty when unset
    std::string home;           // $HOME
    std::string program_folder; // the folder of the running program; empty if unknown
    std::string install_folder; // share/orlix of the configured install prefix
};

// The places of this run of the program.
DataPlaces current_data_places();

// The folders looked in, in order: the working folder, $XDG_DATA_HOME/orlix
// (~/.local/share/orlix when unset), orlix in each folder of $XDG_DATA_DIRS
// (/usr/local/share and /usr/share when unset), the program's folder,
// share/orlix beside the program's folder (an installed copy moved
// elsewhere) and share/orlix of the install prefix. Relative folders in the
// XDG variables are ignored, as the XDG rules say; folders that repeat an
// earlier one are left out.
std::vector<std::string> data_folders(const DataPlaces& places);

struct DataFile {
    std::string path;                 // empty when not found
    std::vector<std::string> looked;  // every path tried, in order
};

// The first regular file called `name` in the folders.
DataFile find_data_file(const std::string& name, const std::vector<std::string>& folders);

// The same in the folders of this run.
DataFile find_data_file(const std::string& name);

// What a ROM file is: the ZX81's ROM (version 2), one of 8 KB with another
// CRC32 (a modified ROM: a warning, and it runs, but LOAD and SAVE are not
// caught for files, since the addresses caught are the known ROM's), or no
// ROM at all (an error: not a regular file, not 8,192 bytes).
struct RomCheck {
    std::string error;
    std::string warning;
    bool known() const { return error.empty() && warning.empty(); }
};
constexpr uint32_t zx81_rom_crc32 = 0x4B1DD6EB;
RomCheck check_rom_file(const std::string& path);

// The ROM a run uses: the file named with --rom, or else the first
// zx81.rom found in the data folders (path empty and `looked` filled in
// when there is none), with what checking it found.
struct RomChoice {
    std::string path;
    std::vector<std::string> looked;
    RomCheck check;
};
RomChoice choose_rom(const std::string& named);

// Says on standard error what is wrong with the chosen ROM: the places
// looked in when none was found, the error, or the warning. False when the
// run cannot go on with it (no ROM found is left to the caller, since the
// window reports that in a box of its own).
bool report_rom_choice(const RomChoice& rom);
