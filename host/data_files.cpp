#include "data_files.h"

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "file_input.h"
#include "memory_map.h"

#ifndef ORLIX_DATA_DIR
#define ORLIX_DATA_DIR "/usr/local/share/orlix"
#endif

namespace fs = std::filesystem;

DataPlaces current_data_places() {
    DataPlaces places;
    if (const char* xdg = std::getenv("XDG_DATA_HOME")) places.xdg_data_home = xdg;
    if (const char* dirs = std::getenv("XDG_DATA_DIRS")) places.xdg_data_dirs = dirs;
    if (const char* home = std::getenv("HOME")) places.home = home;
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (!error) places.program_folder = program.parent_path().string();
    places.install_folder = ORLIX_DATA_DIR;
    return places;
}

std::vector<std::string> data_folders(const DataPlaces& places) {
    std::vector<fs::path> candidates = {"."};
    // A relative $XDG_DATA_HOME is invalid and ignored, as the XDG rules say.
    if (!places.xdg_data_home.empty() && fs::path(places.xdg_data_home).is_absolute())
        candidates.push_back(fs::path(places.xdg_data_home) / "orlix");
    else if (!places.home.empty())
        candidates.push_back(fs::path(places.home) / ".local/share/orlix");
    const std::string dirs = places.xdg_data_dirs.empty() ? "/usr/local/share:/usr/share" : places.xdg_data_dirs;
    for (size_t start = 0; start <= dirs.size();) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const fs::path dir = dirs.substr(start, end - start);
        if (dir.is_absolute()) candidates.push_back(dir / "orlix");
        start = end + 1;
    }
    if (!places.program_folder.empty()) {
        candidates.push_back(places.program_folder);
        candidates.push_back(fs::path(places.program_folder) / "../share/orlix");
    }
    candidates.push_back(places.install_folder);

    std::vector<std::string> folders;
    for (const fs::path& c : candidates) {
        const std::string folder = c.lexically_normal().string();
        bool seen = false;
        for (const std::string& f : folders) seen = seen || f == folder;
        if (!seen) folders.push_back(folder);
    }
    return folders;
}

DataFile find_data_file(const std::string& name, const std::vector<std::string>& folders) {
    DataFile found;
    for (const std::string& folder : folders) {
        const std::string path = (fs::path(folder) / name).lexically_normal().string();
        found.looked.push_back(path);
        std::error_code error;
        if (fs::is_regular_file(path, error)) {
            found.path = path;
            break;
        }
    }
    return found;
}

DataFile find_data_file(const std::string& name) {
    return find_data_file(name, data_folders(current_data_places()));
}

RomCheck check_rom_file(const std::string& path) {
    RomCheck check;
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        check.error = std::strerror(errno);
        return check;
    }
    if (!S_ISREG(info.st_mode)) {
        check.error = "not a regular file";
        return check;
    }
    if (info.st_size != rom_size) {
        check.error = "not a ZX81 ROM: " + std::to_string(info.st_size) + " bytes, not 8192";
        return check;
    }
    const RomFile rom = read_rom_file(path);
    if (!rom.ok || rom.size != rom_size) {
        check.error = "cannot be read";
        return check;
    }
    const uint32_t crc = static_cast<uint32_t>(crc32(0, rom.image.data(), static_cast<uInt>(rom.image.size())));
    if (crc != zx81_rom_crc32) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08X", crc);
        check.warning = "not the ZX81 ROM version 2 (its CRC32 is " + std::string(hex) +
                        ", not 4B1DD6EB); running it as it is, with LOAD and SAVE left to its own tape "
                        "routines (no files)";
    }
    return check;
}

RomChoice choose_rom(const std::string& named) {
    RomChoice rom;
    if (named.empty()) {
        const DataFile found = find_data_file("zx81.rom");
        rom.path = found.path;
        rom.looked = found.looked;
    } else {
        rom.path = named;
    }
    if (!rom.path.empty()) rom.check = check_rom_file(rom.path);
    return rom;
}

bool report_rom_choice(const RomChoice& rom) {
    if (rom.path.empty()) {
        std::fprintf(stderr, "orlix: zx81.rom was looked for in:\n");
        for (const std::string& place : rom.looked) std::fprintf(stderr, "  %s\n", place.c_str());
        return true;
    }
    if (!rom.check.error.empty()) {
        std::fprintf(stderr, "orlix: cannot load %s: %s\n", rom.path.c_str(), rom.check.error.c_str());
        return false;
    }
    if (!rom.check.warning.empty())
        std::fprintf(stderr, "orlix: %s: %s\n", rom.path.c_str(), rom.check.warning.c_str());
    return true;
}

RomFile read_rom_file(const std::string& path) {
    RomFile rom;
    // A longer file is read only up to 8 KB.
    const FileBytes file = read_regular_file(path, rom.image.size());
    rom.ok = file.ok;
    rom.size = file.bytes.size();
    std::copy(file.bytes.begin(), file.bytes.end(), rom.image.begin());
    return rom;
}
