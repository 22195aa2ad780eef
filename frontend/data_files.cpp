#include "data_files.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

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
