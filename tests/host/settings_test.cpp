// The remembered settings and the picture key's PNG files, without a window.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "run_orlix.h"
#include "screenshot.h"
#include "settings.h"
#include "temporary_folder.h"

namespace fs = std::filesystem;

namespace {

using Files = TemporaryFolder;

TEST_F(Files, SettingsRoundTripAndBadLinesAreIgnored) {
    const std::string path = (dir / "deep" / "orlix.conf").string();
    Settings changed;
    changed.view = {0, 4};
    changed.ink = 15;
    changed.paper = 1;
    changed.model = Model::hardware;
    changed.ram_kb = 1;
    changed.sound = SoundMode::mic;
    std::string problem;
    ASSERT_TRUE(write_settings(path, changed, problem)) << problem;
    EXPECT_TRUE(read_settings(path, problem) == changed);
    EXPECT_EQ(problem, "");
    // The expansions, each of its own kind of value.
    Settings fitted = changed;
    fitted.ram_kb = 32;
    fitted.low_ram = true;
    fitted.chroma = fitted.zxpand = fitted.printer = true;
    fitted.chars = CharBoard::chr128;
    fitted.chr128_inverts = false;
    fitted.joystick = JoystickKind::cursor;
    ASSERT_TRUE(write_settings(path, fitted, problem)) << problem;
    EXPECT_TRUE(read_settings(path, problem) == fitted);
    ASSERT_TRUE(write_settings(path, changed, problem)) << problem;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "deep"), fs::directory_iterator{}), 1) << "no temporary";

    struct BadCase {
        const char* text;
        Settings expected;
        const char* problem;  // empty: none
    };
    Settings paper3;
    paper3.paper = 3;
    paper3.view = {1, 0};
    const BadCase cases[] = {
        {"mode=1\nink=99\npaper=3\n", paper3, "line 2 not understood"},
        {"mode=1\npaper=3\ncolour=red\nmodel=fast\n", paper3, "line 3 not understood"},
        {"mode=1\npaper=3\nsound=loud\n", paper3, "line 3 not understood"},
        {"mode=1\npaper=3\nchroma=yes\njoystick=atari\n", paper3, "line 3 not understood"},
        {"this is not a setting\nmode=1\npaper = 3\n", paper3, "line 1 not understood"},
        {"[screen]\nmode=2\n", Settings{}, "line 2 not understood"},
        {"# only a comment\n", Settings{}, ""},
        // Black on bright black: a blank screen. The defaults, said once.
        {"ink=0\npaper=8\n", Settings{}, "ink and paper look the same, the default colours used"},
        {"mode=1\nink=3\npaper=3\n", Settings{{1, 0}}, "ink and paper look the same"},
    };
    for (const BadCase& c : cases) {
        std::ofstream(path) << c.text;
        const Settings read = read_settings(path, problem);
        EXPECT_TRUE(read == c.expected) << c.text;
        if (*c.problem)
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        else
            EXPECT_EQ(problem, "") << c.text;
    }
    EXPECT_TRUE(read_settings((dir / "none.conf").string(), problem) == Settings{});
    EXPECT_EQ(problem, "") << "no file is no problem";
    EXPECT_TRUE(read_settings(dir.string(), problem) == Settings{});
    EXPECT_NE(problem.find("cannot be read"), std::string::npos) << problem;
}

// A settings file that is there but cannot be read is said, with why.
// Two windows change different settings at the same time, over and over:
// each change keeps what the other wrote.
TEST_F(Files, SettingsChangedByTwoWindowsKeepEachOthersChanges) {
    const std::string path = (dir / "orlix.conf").string();
    std::string problem;
    ASSERT_TRUE(write_settings(path, Settings{}, problem));
    Settings first, second;  // each window's own view of the settings
    first.ink = 4;
    second.model = Model::hardware;
    second.sound = SoundMode::off;
    const auto changes = [&](const Settings& mine, SettingField field) {
        std::string why;
        for (int i = 0; i < 100; ++i) EXPECT_TRUE(change_settings(path, mine, field, why)) << why;
    };
    std::thread a(changes, first, SettingField::colours);
    std::thread b(changes, second, SettingField::model);
    a.join();
    b.join();
    const Settings read = read_settings(path, problem);
    EXPECT_EQ(read.ink, 4);
    EXPECT_EQ(read.model, Model::hardware);
    EXPECT_EQ(read.sound, SoundMode::on) << "the second window changed only its model";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1) << "no lock file left";
}

TEST_F(Files, SettingsThatCannotBeReadAreSaid) {
    fs::create_symlink("loop.conf", dir / "loop.conf");
    fs::create_symlink("gone.conf", dir / "dangling.conf");
    std::ofstream(dir / "orlix") << "a file where the folder should be";
    const std::pair<fs::path, const char*> cases[] = {
        {dir / "loop.conf", "(Too many levels of symbolic links)"},
        {dir / "dangling.conf", "(a link to a file that is not there)"},
        {dir / "orlix" / "orlix.conf", "(Not a directory)"},
        {dir, "(not a regular file)"},
    };
    for (const auto& [path, reason] : cases) {
        std::string problem;
        EXPECT_TRUE(read_settings(path.string(), problem) == Settings{}) << path;
        EXPECT_EQ(problem, path.string() + ": cannot be read " + reason + ", ignored");
    }
}

Rgb at(const Png& png, int x, int y) {
    const uint8_t* p = &png.rgb[static_cast<size_t>(3 * (y * png.width + x))];
    return {p[0], p[1], p[2]};
}

bool same(Rgb a, Rgb b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

// The picture as the view shows it, border included, at the view's scale.
TEST_F(Files, PictureKeyWritesWhatTheViewShows) {
    Frame frame;
    const auto set = [&](int x, int y) {  // in the ZX81 picture's coordinates
        x += border_width;
        y += border_height;
        frame.pixels[static_cast<size_t>(y * frame_row_bytes + x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
    };
    set(0, 0);
    set(-4, -2);  // in the border
    const Rgb ink = colour_table[2], paper = colour_table[7];
    for (int scale : {1, 3}) {
        const Layout layout = layout_for({0, scale > 1 ? scale : 0}, {1920, 1080}, true);
        const std::string path = (dir / ("shot" + std::to_string(scale) + ".png")).string();
        std::string problem;
        ASSERT_TRUE(write_screenshot(path, frame, layout, ink, paper, problem)) << problem;
        const Png png = read_png(path);
        ASSERT_EQ(png.width, 272 * scale);
        ASSERT_EQ(png.height, 208 * scale);
        EXPECT_TRUE(same(at(png, 7 * scale, 7 * scale), ink));
        EXPECT_TRUE(same(at(png, 8 * scale - 1, 8 * scale - 1), ink));
        EXPECT_TRUE(same(at(png, 8 * scale, 7 * scale), paper));
        EXPECT_TRUE(same(at(png, 3 * scale, 5 * scale), ink)) << "the border pixel";
        EXPECT_TRUE(same(at(png, 0, 0), paper));
    }
    std::string problem;
    EXPECT_FALSE(write_screenshot((dir / "no" / "x.png").string(), frame, layout_for({}, {0, 0}, true), ink, paper,
                                  problem));
    EXPECT_EQ(problem, "No such file or directory");
}

TEST_F(Files, PictureNamesAreStampedAndNeverReplaceOne) {
    setenv("XDG_PICTURES_DIR", dir.c_str(), 1);
    std::tm when{};
    when.tm_year = 2026 - 1900;
    when.tm_mon = 11;
    when.tm_mday = 9;
    when.tm_hour = 14;
    when.tm_min = 5;
    when.tm_sec = 7;
    when.tm_isdst = -1;
    const std::time_t t = std::mktime(&when);
    const std::string first = screenshot_path(t);
    EXPECT_EQ(first, (dir / "orlix-20261209-140507.png").string());
    std::ofstream(first) << "x";
    EXPECT_EQ(screenshot_path(t), (dir / "orlix-20261209-140507-2.png").string());
    unsetenv("XDG_PICTURES_DIR");
    // The folder xdg-user-dirs names; none, one not there, or the home
    // folder itself: the working folder.
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    fs::create_directories(dir / "config");
    fs::create_directories(dir / "Bilder");
    const std::pair<std::string, std::string> user_dirs[] = {
        {"", "."},
        {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n", (dir / "Bilder").string()},
        {"XDG_PICTURES_DIR=\"" + (dir / "Bilder").string() + "\"\n", (dir / "Bilder").string()},
        {"XDG_PICTURES_DIR=\"$HOME/Pictures\"\n", "."},
        {"XDG_PICTURES_DIR=\"$HOME/\"\n", "."},
    };
    for (const auto& [text, folder] : user_dirs) {
        std::ofstream(dir / "config" / "user-dirs.dirs") << text;
        EXPECT_EQ(pictures_folder(), folder) << text;
    }
    EXPECT_EQ(screenshot_path(t), "./orlix-20261209-140507.png");
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
