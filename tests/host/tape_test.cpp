// LOAD and SAVE typed at the ZX81 with the real ROM, served with files, in
// both models; the names they take; and the ROM's own LOAD with no tape.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tape_files.h"
#include "zx81_harness.h"

namespace fs = std::filesystem;

namespace {

using namespace zx_key;

// ZX81 character codes.
constexpr uint8_t zx_0 = 0x1C, zx_1 = 0x1D, zx_2 = 0x1E, zx_7 = 0x23, zx_d = 0x29, zx_slash = 0x18;
constexpr uint8_t zx_a = 0x26, zx_e = 0x2A, zx_p = 0x35, zx_s = 0x38, zx_t = 0x39;
constexpr uint8_t end_mark = 0x80;

// A key, with SHIFT or without.
struct Stroke {
    ZxKey key;
    bool shift = false;
};
constexpr Stroke quote{p, true};

std::vector<uint8_t> file_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Tape : public ::testing::TestWithParam<Model>, public TestMachine {
protected:
    // LOAD and SAVE served after each period with files in the tape folder, as
    // the front ends do (LOAD "" is given BREAK); what serving came to, in order.
    std::vector<TapeResult> results;


    void use_tape_folder(const std::string& folder) {
        results.clear();
        if (folder.empty()) return between_periods({});
        between_periods([this, folder] {
            const TapeCommand& command = zx81.tape.command;
            if (command.action == TapeAction::none) return;
            if (command.action == TapeAction::load && command.name.empty())
                break_tape_command(zx81);
            else
                results.push_back(serve_tape_command(zx81, folder));
        });
    }

    bool report_shown() {
        return screen_code(1, 23) == zx_slash;
    }

    // Types a line, NEWLINE, and waits (at most `limit` periods) for the ROM to
    // take it: its report, or the K prompt again.
    void enter(std::initializer_list<Stroke> strokes, int limit = 1500) {
        for (const Stroke& s : strokes) s.shift ? press({shift, s.key}) : press({s.key});
        press({newline});
        for (int i = 0; i < limit && !report_shown() && !shows_k_prompt(zx81.memory); ++i) run_periods(1);

        run_periods(10);
    }

    fs::path dir = fs::temp_directory_path() / ("orlix-tape-" + std::to_string(getpid()));

    void SetUp() override {
        fs::create_directories(dir);
        start_machine(GetParam());
        boot();
        use_tape_folder(dir.string());
    }
    void TearDown() override {
        use_tape_folder({});
        fs::remove_all(dir);
    }

    void expect_report(uint8_t code) {
        EXPECT_TRUE(report_shown()) << screen_dump();
        EXPECT_EQ(screen_code(0, 23), code) << screen_dump();
    }
};

TEST_P(Tape, SaveLoadAndAMissingName) {
    enter({{digit1}, {digit0}, {p}, {digit4}, {digit2}});  // 10 PRINT 42
    enter({{s}, quote, {t}, {e}, {s}, {t}, quote});        // SAVE "TEST"
    expect_report(zx_0);
    const fs::path file = dir / "TEST.P";
    ASSERT_TRUE(fs::exists(file)) << screen_dump();
    const std::vector<uint8_t> saved = file_bytes(file);
    // 0x4009 up to E_LINE, as the ROM's SAVE sends it: the file's own E_LINE
    // is its length, and its program is the one in memory.
    ASSERT_GE(saved.size(), 0x4016u - 0x4009);
    EXPECT_EQ(saved[0x4014 - 0x4009] | (saved[0x4015 - 0x4009] << 8), 0x4009 + static_cast<int>(saved.size()));
    const uint16_t d_file = word_at(zx81.memory, sysvar::d_file);
    for (uint16_t a = 0x407D; a < d_file; ++a) ASSERT_EQ(saved[a - 0x4009], zx81.memory[a]) << a;

    enter({{a}});                                          // NEW
    ASSERT_NE(zx81.memory[0x407D + 1], 10) << "line 10 gone";
    enter({{j}, quote, {t}, {e}, {s}, {t}, quote});        // LOAD "TEST"
    expect_report(zx_0);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[1].path, file.string());
    enter({{k}});                                          // LIST
    EXPECT_EQ(screen_code(2, 0), zx_1) << screen_dump();
    EXPECT_EQ(screen_code(3, 0), zx_0);

    // A name with no file: a message, report D at once, the program kept.
    const Memory program_before = zx81.memory;
    enter({{j}, quote, {n}, {o}, {s}, {u}, {c}, {h}, quote}, 100);  // LOAD "NOSUCH"
    expect_report(zx_d);
    const TapeResult& missing = results.back();
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.message.find("NOSUCH.P"), std::string::npos) << missing.message;
    EXPECT_TRUE(std::equal(program_before.begin() + 0x407D, program_before.begin() + d_file,
                           zx81.memory.begin() + 0x407D));
}

// SAVE "A%BC": an inverse B inside the name, where a real tape's name would
// end, is refused rather than saved as AB.P.
TEST_P(Tape, ANameWithAnInverseCharacterInsideIsRefused) {
    constexpr Stroke graphics{digit9, true};
    enter({{s}, quote, {a}, graphics, {b}, graphics, {c}, quote}, 100);
    expect_report(zx_d);
    ASSERT_FALSE(results.empty());
    EXPECT_NE(results.back().message.find("inverse characters"), std::string::npos) << results.back().message;
    EXPECT_TRUE(fs::is_empty(dir));
}

// A program that LOADs its next part ends up running it: part 2 was saved
// while running, so it goes on at the line after its SAVE.
TEST_P(Tape, TheFirstPartOfAProgramLoadsAndRunsTheSecond) {
    enter({{digit1}, {digit0}, {s}, quote, {p}, {a}, {r}, {t}, {digit2}, quote});  // 10 SAVE "PART2"
    enter({{digit2}, {digit0}, {p}, {digit7}});                                    // 20 PRINT 7
    enter({{r}});                                                                   // RUN
    ASSERT_TRUE(fs::exists(dir / "PART2.P")) << screen_dump();
    enter({{a}});                                                                   // NEW
    enter({{digit1}, {digit0}, {j}, quote, {p}, {a}, {r}, {t}, {digit2}, quote});  // 10 LOAD "PART2"
    enter({{r}});                                                                   // RUN
    EXPECT_EQ(screen_code(0, 0), zx_7) << screen_dump();
    expect_report(zx_0);
    EXPECT_EQ(screen_code(2, 23), zx_2) << "0/20: it stopped after line 20";
    EXPECT_EQ(screen_code(3, 23), zx_0);
}

// LOAD "" waits for a file; given none (here BREAK, in the window the F3
// dialog's Cancel) it ends in report D. With the files turned off, the ROM's
// own LOAD listens to a silent tape, and SPACE breaks it with report D.
TEST_P(Tape, LoadWithoutAFileEndsInReportD) {
    enter({{j}, quote, quote}, 100);
    expect_report(zx_d);
    zx81.tape.traps = false;
    press({j});
    press({shift, p});
    press({shift, p});
    press({newline});
    run_periods(100);
    EXPECT_FALSE(report_shown()) << "listening";
    // SPACE held until the ROM breaks off, as a user does.
    KeyMatrix keys = no_keys_down;
    press_key(keys, space);
    set_keys(zx81, keys);
    for (int i = 0; i < 100 && !report_shown(); ++i) run_periods(1);
    set_keys(zx81, no_keys_down);
    run_periods(10);
    expect_report(zx_d);
}

INSTANTIATE_TEST_SUITE_P(BothModels, Tape, ::testing::Values(Model::simple, Model::hardware),
                         [](const auto& info) { return std::string(model_name(info.param)); });

TEST(TapeNames, ZX81NamesBecomeHostFileNames) {
    struct NameCase {
        std::vector<uint8_t> zx81;
        const char* name;     // empty when refused
        const char* problem;  // part of the reason
    };
    const std::vector<uint8_t> long_name(300, zx_a);
    const NameCase cases[] = {
        {{zx_t, zx_e, zx_s, zx_t | end_mark}, "TEST", ""},
        {{zx_1, 0x00, zx_a | end_mark}, "1 A", ""},
        {{0x0C, 0x0D, 0x10, 0x11, 0x16 | end_mark}, "\u00a3$()-", ""},
        {{zx_a, 0x1B, zx_p | end_mark}, "A.P", ""},
        {{zx_a, zx_slash, zx_s | end_mark}, "", "'/'"},
        {{zx_a, 0x02 | end_mark}, "", "graphics"},
        {{zx_a, 0xF5}, "", "keywords"},      // PRINT
        {{zx_a, 0x76, zx_s}, "", "keywords"},  // NEWLINE
        {long_name, "", "too long"},
        {{zx_a, 0x80, zx_t | end_mark}, "", "graphics"},                        // A, the full block, T
        {{zx_a, zx_e | end_mark, zx_s | end_mark}, "", "inverse characters"},  // A, inverse E, S
        {{zx_a, zx_e | end_mark}, "AE", ""},  // the last one's mark is the ROM's own
    };
    for (const NameCase& c : cases) {
        const HostName host = host_file_name(c.zx81);
        EXPECT_EQ(host.name, c.name) << c.name << c.problem;
        EXPECT_NE(host.problem.find(c.problem), std::string::npos) << host.problem;
        EXPECT_EQ(host.problem.empty(), std::string(c.problem).empty()) << c.name;
    }
    EXPECT_EQ(printable_name({zx_a, 0x02, zx_slash | end_mark}), "A?/");
}

TEST(TapeNames, LoadFindsTheFileInAnyCase) {
    const fs::path dir = fs::temp_directory_path() / ("orlix-find-" + std::to_string(getpid()));
    fs::create_directories(dir);
    for (const char* file : {"TEST.P", "game.p", "Mixed.81", "both.81", "BOTH.P", "x.txt", "NAME.P.P"})
        std::ofstream(dir / file) << "x";
    const std::pair<const char*, const char*> cases[] = {
        {"TEST", "TEST.P"}, {"GAME", "game.p"},    {"MIXED", "Mixed.81"}, {"BOTH", "BOTH.P"},
        {"X", ""},          {"GAME.P", "game.p"},  {"NAME.P", "NAME.P.P"}, {"NONE", ""},
    };
    for (const auto& [name, file] : cases) {
        const std::string found = find_tape_file(dir.string(), name).path;
        EXPECT_EQ(found, *file ? (dir / file).string() : "") << name;
    }
    // A tape folder that cannot be listed says why, rather than that there is
    // no such program.
    const TapeFile in_a_file = find_tape_file((dir / "x.txt").string(), "TEST");
    EXPECT_EQ(in_a_file.path, "");
    EXPECT_EQ(in_a_file.problem, "Not a directory");
    fs::remove_all(dir);
}

}  // namespace
