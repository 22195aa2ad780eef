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
