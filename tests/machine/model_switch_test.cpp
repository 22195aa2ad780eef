// Switching between the models at any moment: storms of switches while the
// ZX81 idles, computes in FAST and in SLOW mode, and runs a display routine
// of its own, each ending with its result and a working machine.
#include <gtest/gtest.h>

#include <random>

#include "basic_text.h"
#include "zx81_harness.h"

namespace {

using namespace zx_key;

constexpr uint8_t zx_0 = 0x1C, zx_4 = 0x20, zx_slash = 0x18;

class ModelSwitch : public ::testing::TestWithParam<bool>, public TestMachine {
protected:
    std::mt19937 random{GetParam() ? 60u : 50u};
    void SetUp() override {
        start_machine(Model::simple, GetParam());
        boot();
    }
bool report_shown() {
    return screen_code(1, 23) == zx_slash;
}

template <typename Done>
bool run_until(Done done, int limit) {
    for (int i = 0; i < limit && !done(); ++i) run_periods(1);
    return done();
}

// Enters a line (its number's digits and the ZX81 codes after them)
// through the ROM's own line entry, as the headless runner types listings.
void enter(const std::vector<uint8_t>& codes) {
    ASSERT_TRUE(run_until([&] { return shows_k_prompt(zx81.memory); }, 1000));
    run_periods(20);
    ASSERT_TRUE(put_in_edit_line(zx81, codes));
    press({newline});
    ASSERT_TRUE(run_until([&] { return edit_line_empty(zx81); }, 1000)) << codes.size();
}

// `count` switches to the other model, each asked for at a random moment
// and waited for (the hardware model gives way where the program runs).
void storm(std::mt19937& random, int count) {
    for (int i = 0; i < count; ++i) {
        run_periods(static_cast<int>(random() % 8));
        const Model other = zx81.model == Model::simple ? Model::hardware : Model::simple;
        request_model(zx81, other);
        ASSERT_TRUE(run_until([&] { return zx81.model == other || zx81.ula.frames_by_program; }, 300))
            << "switch " << i << " to the " << model_name(other) << " model never came";
        if (other == Model::hardware) {
            // Alive: making frames, or running (a FAST program makes none);
            // a machine halted for a second without a frame is frozen.
            const uint64_t frames = zx81.ula.frames;
            run_periods(2);
            ASSERT_TRUE(run_until([&] { return zx81.ula.frames >= frames + 2 || !(zx81.cpu.IFF & IFF_HALTED); }, 50))
                << "frozen after switch " << i;
        }
    }
}

// Ends in the hardware model, with its picture back within a second.
::testing::AssertionResult picture_back_in_hardware_model() {
    request_model(zx81, Model::hardware);
    if (zx81.model != Model::hardware) run_periods(1);
    const uint64_t frames = zx81.ula.frames;
    if (!run_until([&] { return zx81.ula.frames > frames + 2; }, 100))
        return ::testing::AssertionFailure() << "no frame within a second";
    return ::testing::AssertionSuccess();
}

// From the K prompt, PRINT 2+2 shows 4 and report 0.
void print_two_and_two() {
    ASSERT_TRUE(run_until([&] { return shows_k_prompt(zx81.memory); }, 300)) << screen_dump();
    run_periods(20);
    type({p, digit2});
    press({shift, k});
    type({digit2, newline});
    ASSERT_TRUE(run_until([&] { return report_shown(); }, 500)) << screen_dump();
    EXPECT_EQ(screen_code(0, 0), zx_4) << screen_dump();
    EXPECT_EQ(screen_code(0, 23), zx_0);
}

};

TEST_P(ModelSwitch, AStormAtThePromptLeavesAPictureAndAKeyboard) {
    storm(random, 1000);
    ASSERT_TRUE(picture_back_in_hardware_model());
    print_two_and_two();
}

// Out of the hardware model's SLOW mode at the prompt and straight back: the
// ROM's FAST mode in between must not take the NMIs along.
TEST_P(ModelSwitch, ARoundTripAtThePromptLeavesAKeyboard) {
    for (int periods_in_simple : {0, 1, 3, 7}) {
        SCOPED_TRACE(periods_in_simple);
        start_machine(Model::hardware, GetParam());
        boot();
        request_model(zx81, Model::simple);
        ASSERT_TRUE(run_until([&] { return zx81.model == Model::simple; }, 300));
        run_periods(periods_in_simple);
        ASSERT_TRUE(picture_back_in_hardware_model());
        print_two_and_two();
    }
}

// A program computing in FAST or in SLOW mode goes on computing through the
// storm and finishes with its result.
TEST_P(ModelSwitch, AStormWhileAProgramComputesLeavesItsResult) {
    constexpr uint8_t slow = 0xE4, fast = 0xE5;
    for (const uint8_t mode : {fast, slow}) {
        SCOPED_TRACE(mode == fast ? "FAST" : "SLOW");
        SetUp();
        enter({0x1D, 0x1C, mode});  // 10 FAST or 10 SLOW
        constexpr uint8_t let = 0xF1, for_ = 0xEB, to = 0xDF, next = 0xF3, print = 0xF5;
        constexpr uint8_t s = 0x38, i = 0x2E, equals = 0x14, plus = 0x15, zero = 0x1C, one = 0x1D;
        constexpr uint8_t two = 0x1E, three = 0x1F, four = 0x20, five = 0x21, six = 0x22, eight = 0x24;
        enter({two, zero, let, s, equals, zero});                                    // 20 LET S=0
        enter({three, zero, for_, i, equals, one, to, eight, zero, zero, zero});     // 30 FOR I=1 TO 8000
        enter({four, zero, let, s, equals, s, plus, i});                             // 40 LET S=S+I
        enter({five, zero, next, i});                                                // 50 NEXT I
        enter({six, zero, print, s});                                                // 60 PRINT S
        ASSERT_TRUE(run_until([&] { return shows_k_prompt(zx81.memory); }, 1000));
        run_periods(20);  // the ROM lists the program first
        press({r});
        press({newline});
        storm(random, 1000);
        ASSERT_FALSE(report_shown()) << "the whole storm came while the program computed";
        ASSERT_TRUE(run_until([&] { return report_shown(); }, 3000)) << screen_dump();
        // 32004000, then report 0/60.
        const uint8_t result[] = {0x1F, 0x1E, 0x1C, 0x1C, 0x20, 0x1C, 0x1C, 0x1C};
        for (int i = 0; i < 8; ++i) EXPECT_EQ(screen_code(i, 0), result[i]) << screen_dump();
        EXPECT_EQ(screen_code(0, 23), zx_0);
        EXPECT_EQ(screen_code(2, 23), 0x22) << "stopped after line 60";
        ASSERT_TRUE(picture_back_in_hardware_model());
        run_periods(20);
    }
}

// A display routine of the program's own (lines of solid ink) runs on after
// the storm: the picture shows its lines again.
TEST_P(ModelSwitch, AStormUnderADisplayRoutineOfItsOwnLeavesItsPicture) {
    // The routine of the hi-res headless test, at 0x7000, and its display
    // line of 40 inverse spaces at 0x6100 (run from its echo at 0xE100).
    const char* hex =
        "F331007F3E1EED473E8008DBFE061010FE061010FE061010FE061010FED3FF060010FE060010FE060010FE060010FED3FE"
        "76D3FD00000000000000000000000000000000000000000000000000000000000000000000000000CD00E10000000000CD"
        "00E10000000000CD00E10000000000CD00E10000000000CD00E10000000000CD00E10000000000CD00E10000000000CD00"
        "E1C30870";
    for (size_t i = 0; hex[2 * i]; ++i)
        zx81.memory[0x7000 + i] = static_cast<uint8_t>(std::stoi(std::string(hex + 2 * i, 2), nullptr, 16));
    for (int i = 0; i < 40; ++i) zx81.memory[0x6100 + i] = 0x80;
    zx81.memory[0x6128] = 0xC9;
    request_model(zx81, Model::hardware);
    run_periods(2);
    zx81.cpu.PC.w = 0x7000;
    storm(random, 1000);
    ASSERT_TRUE(picture_back_in_hardware_model());
    run_periods(20);
    const Frame& shown = latest_frame(zx81);
    int rows = 0;
    for (int y = -border_height; y < picture_height + border_height; ++y) rows += ink_at(shown, -border_width, y);
    EXPECT_EQ(rows, 8) << "the routine's eight lines";
}

INSTANTIATE_TEST_SUITE_P(FiftyAndSixtyHertz, ModelSwitch, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? std::string("60Hz") : std::string("50Hz"); });

}  // namespace
