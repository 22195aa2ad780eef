// The name a file dialog hands back: ".P" added when the file has no extension.
#include <gtest/gtest.h>

#include "file_dialogs.h"

namespace {

TEST(FileDialogs, DefaultExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"prog", "prog.P"},
        {"/home/me/prog", "/home/me/prog.P"},
        {"prog.p", "prog.p"},
        {"game.81", "game.81"},
        {"/a.dir/prog", "/a.dir/prog.P"},
        {"/home/me/", "/home/me/"},
        {"", ""},
    };
    for (const auto& [typed, used] : cases) EXPECT_EQ(with_default_extension(typed), used) << typed;
}

}  // namespace

namespace {

TEST(FileDialogs, NamesLinuxTakes) {
    const std::pair<std::string, bool> cases[] = {
        {std::string(255, 'n'), true},
        {std::string(256, 'n'), false},
        {"/home/me/" + std::string(255, 'n'), true},
        {"/home/me/" + std::string(256, 'n'), false},
        {std::string(300, 'd') + "/" + std::string(200, 'n'), true},  // a long path is fine
        {std::string(4000, 'd') + "/" + std::string(200, 'n'), false},
    };
    for (const auto& [path, fits] : cases) EXPECT_EQ(name_fits(path), fits) << path.size();
}

}  // namespace
