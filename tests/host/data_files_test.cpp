// Where the ROM and the pictures are looked for, and in which order.
#include <gtest/gtest.h>

#include "zx81_harness.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "data_files.h"

namespace fs = std::filesystem;

namespace {

using DataFiles = MachineTest;

TEST_F(DataFiles, FoldersInOrder) {
    const DataPlaces places{"/xdg", "/data/a:relative:/data/b", "/home/me", "/opt/orlix/bin", "/usr/share/orlix"};
    EXPECT_EQ(data_folders(places),
              (std::vector<std::string>{".", "/xdg/orlix", "/data/a/orlix", "/data/b/orlix", "/opt/orlix/bin",
                                        "/opt/orlix/share/orlix", "/usr/share/orlix"}));
    // Without the XDG variables, or with relative ones, their defaults.
    for (const char* xdg : {"", "relative/data"}) {
        const DataPlaces fallback{xdg, "", "/home/me", "", "/usr/share/orlix"};
        EXPECT_EQ(data_folders(fallback),
                  (std::vector<std::string>{".", "/home/me/.local/share/orlix", "/usr/local/share/orlix",
                                            "/usr/share/orlix"}))
            << xdg;
    }
    // An installed program finds its share folder once, not twice.
    const DataPlaces installed{"", "", "/root", "/usr/local/bin", "/usr/local/share/orlix"};
    EXPECT_EQ(data_folders(installed).size(), 5u);
}

TEST_F(DataFiles, FirstPlaceThatHasTheFileWins) {
    const fs::path root = fs::temp_directory_path() / ("orlix-data-" + std::to_string(getpid()));
    const fs::path here = fs::current_path();
    const DataPlaces places{(root / "xdg").string(), (root / "none").string(), (root / "home").string(),
                            (root / "bin").string(), (root / "prefix").string()};
    for (const char* folder : {"work", "xdg/orlix", "bin", "share/orlix", "prefix"})
        fs::create_directories(root / folder);
    fs::current_path(root / "work");
    const std::vector<std::string> folders = data_folders(places);

    // Put zx81.rom in the last place, then in each earlier one in turn.
    const fs::path in_order[] = {root / "prefix", root / "share/orlix", root / "bin",
                                 root / "xdg/orlix", root / "work"};
    for (const fs::path& folder : in_order) {
        std::ofstream(folder / "zx81.rom") << "rom";
        const DataFile found = find_data_file("zx81.rom", folders);
        EXPECT_EQ(fs::weakly_canonical(found.path), fs::weakly_canonical(folder / "zx81.rom"));
    }
    // A folder called zx81.rom is not the ROM.
    fs::remove(root / "work/zx81.rom");
    fs::create_directory(root / "work/zx81.rom");
    EXPECT_EQ(fs::weakly_canonical(find_data_file("zx81.rom", folders).path),
              fs::weakly_canonical(root / "xdg/orlix/zx81.rom"));

    const DataFile missing = find_data_file("nothing.pcx", folders);
    EXPECT_TRUE(missing.path.empty());
    ASSERT_EQ(missing.looked.size(), 6u);
    EXPECT_EQ(missing.looked[0], "nothing.pcx");
    EXPECT_EQ(missing.looked[1], (root / "xdg/orlix/nothing.pcx").string());
    fs::current_path(here);
    fs::remove_all(root);
}

}  // namespace
