// Where the program finds its data files: the ROM and the two pictures.
#pragma once

#include <string>
#include <vector>

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
