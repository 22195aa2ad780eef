// The real ZX81 ROM running on the core and the machine, typed on through the
// key matrix, with its screen checked in the display file and in the frame.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "program_image.h"
#include "zx81_harness.h"

namespace {

// ZX81 character codes.
constexpr uint8_t zx_0 = 0x1C, zx_1 = 0x1D, zx_4 = 0x20, zx_slash = 0x18, zx_inverse_k = 0xB0;

class Rom : public MachineTest {
protected:
// True when the 8x8 cell (column, line) of the frame shows the ROM's glyph
// for `code`: ink where the glyph is set (inverted for inverse codes).
::testing::AssertionResult cell_shows(int column, int line, uint8_t code) {
    const Frame& frame = latest_frame(zx81);
    const int base = code & 0x3F;
    const bool inverse = code & 0x80;
    for (int y = 0; y < 8; ++y) {
        const uint8_t row = zx81.memory[0x1E00 + 8 * base + y];
        for (int x = 0; x < 8; ++x) {
            const bool expected = (row & (0x80 >> x)) != 0;
            const bool got = ink_at(frame, 8 * column + x, 8 * line + y) != inverse;
            if (got != expected)
                return ::testing::AssertionFailure()
                       << "cell (" << column << "," << line << ") pixel (" << x << "," << y
                       << ") is " << got << ", expected " << expected;
        }
    }
    return ::testing::AssertionSuccess();
}

void type_print_2_plus_2() {
    type({zx_key::p, zx_key::digit2});
    press({zx_key::shift, zx_key::k});
    type({zx_key::digit2, zx_key::newline});
}
};

TEST_F(Rom, BootsToTheKCursor) {
    start_machine();
    boot();
    EXPECT_EQ(screen_code(0, 23), zx_inverse_k) << screen_dump();
    EXPECT_TRUE(cell_shows(0, 23, zx_inverse_k));
}

TEST_F(Rom, PrintTwoPlusTwo) {
    start_machine();
    boot();
    type_print_2_plus_2();
    run_periods(20);
    EXPECT_EQ(screen_code(0, 0), zx_4) << screen_dump();
    EXPECT_EQ(screen_code(0, 23), zx_0);
    EXPECT_EQ(screen_code(1, 23), zx_slash);
    EXPECT_EQ(screen_code(2, 23), zx_0);
    EXPECT_TRUE(cell_shows(0, 0, zx_4));
    EXPECT_TRUE(cell_shows(0, 23, zx_0));
    EXPECT_TRUE(cell_shows(1, 23, zx_slash));
    EXPECT_TRUE(cell_shows(2, 23, zx_0));
    EXPECT_TRUE(cell_shows(1, 0, 0));  // blank after the 4
}

TEST_F(Rom, ProgramSurvivesSaveResetLoad) {
    start_machine();
    boot();
    // 10 PRINT 2+2, then RUN.
    type({zx_key::digit1, zx_key::digit0});
    type_print_2_plus_2();
    run_periods(50);  // the ROM lists the program
    type({zx_key::r, zx_key::newline});
    run_periods(20);
    ASSERT_EQ(screen_code(0, 0), zx_4) << screen_dump();
    // Report 0/10: stopped at line 10.
    ASSERT_EQ(screen_code(2, 23), zx_1) << screen_dump();
    const std::string ran = screen_dump();

    const ProgramImage saved = program_in_memory(zx81);
    // As the ROM's SAVE sends it: 0x4009 up to the line being edited.
    ASSERT_EQ(saved.bytes.size(), word_at(zx81.memory, sysvar::e_line) - program_start);

    reset(zx81);
    boot();
    ASSERT_EQ(screen_code(0, 23), zx_inverse_k);
    ASSERT_NE(screen_code(0, 0), zx_4);

    start_program(zx81, saved);
    EXPECT_EQ(zx81.cpu.PC.w, 0x005B);
    run_periods(50);
    type({zx_key::r, zx_key::newline});
    run_periods(20);
    EXPECT_EQ(screen_dump(), ran);
    EXPECT_TRUE(cell_shows(0, 0, zx_4));
}

}  // namespace
