// The display file decoded into a frame of ink and paper: characters and
// their inverses, blank codes, collapsed display files and a wrapping D_FILE.
#include <gtest/gtest.h>

#include <algorithm>

#include "display_files.h"
#include "zx81_harness.h"

namespace {


class DisplayFile : public MachineTest {
protected:
bool cell_is_solid(int column, int line, bool ink) {
    const Frame& frame = zx81.frame;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if (ink_at(frame, 8 * column + x, 8 * line + y) != ink) return false;
    return true;
}

void show(const std::vector<uint8_t>& display_file, uint16_t address = 0x5000) {
    set_display_file(zx81.memory, address, display_file);
    latest_frame(zx81);
}
};



TEST_F(DisplayFile, SpacesAreBlankAndCode128IsSolidInk) {
    start_machine();
    std::vector<uint8_t> d = expanded_display_file(0x00);
    d[1 + 33 * 5 + 7] = 0x80;  // solid ink at (7, 5)
    d[1 + 33 * 6 + 1] = 0x40;  // codes 64-127 and 192-255 are blank
    d[1 + 33 * 6 + 2] = 0xC5;
    show(d);
    for (int line = 0; line < 24; ++line)
        for (int column = 0; column < 32; ++column)
            EXPECT_TRUE(cell_is_solid(column, line, column == 7 && line == 5))
                << "cell " << column << "," << line;
}

TEST_F(DisplayFile, GlyphPixelsNormalAndInverse) {
    start_machine();
    // "A" is code 0x26; its ROM pattern at 0x1E00 + 8 * 0x26.
    std::vector<uint8_t> d = expanded_display_file(0x00);
    d[1] = 0x26;
    d[2] = 0xA6;
    show(d);
    for (int y = 0; y < 8; ++y) {
        const uint8_t row = zx81.memory[0x1E00 + 8 * 0x26 + y];
        for (int x = 0; x < 8; ++x) {
            const bool set = row & (0x80 >> x);
            EXPECT_EQ(ink_at(zx81.frame, x, y), set);
            EXPECT_EQ(ink_at(zx81.frame, 8 + x, y), !set);
        }
    }
    // The pattern of A is not blank: the comparison above means something.
    EXPECT_NE(zx81.memory[0x1E00 + 8 * 0x26 + 3], 0);
}

TEST_F(DisplayFile, CollapsedDisplayFileEndsLinesAtNewline) {
    start_machine();
    // A 1 KB machine's display file: 24 bare NEWLINEs, then garbage after.
    std::vector<uint8_t> collapsed(25, 0x76);
    collapsed.insert(collapsed.end(), 64, 0x80);
    show(collapsed, 0x4400);
    for (int line = 0; line < 24; ++line)
        for (int column = 0; column < 32; ++column)
            ASSERT_TRUE(cell_is_solid(column, line, false)) << column << "," << line;

    // Short lines with content: "A" then NEWLINE; next line starts after it.
    std::vector<uint8_t> d = {0x76, 0x80, 0x76, 0x76, 0x80, 0x80, 0x76};
    d.insert(d.end(), 21, 0x76);
    d.insert(d.end(), 40, 0x80);
    show(d, 0x4400);
    EXPECT_TRUE(cell_is_solid(0, 0, true));
    EXPECT_TRUE(cell_is_solid(1, 0, false));
    EXPECT_TRUE(cell_is_solid(0, 1, false));  // empty line
    EXPECT_TRUE(cell_is_solid(0, 2, true));
    EXPECT_TRUE(cell_is_solid(1, 2, true));
    EXPECT_TRUE(cell_is_solid(2, 2, false));
    EXPECT_TRUE(cell_is_solid(0, 23, false));
}

TEST_F(DisplayFile, LineWithoutNewlineShows32CodesAndNextStarts33On) {
    start_machine();
    std::vector<uint8_t> d = {0x76};
    d.insert(d.end(), 33, 0x80);  // no NEWLINE in line 0's 33 bytes
    d.push_back(0x80);            // line 1 starts here: ink, then NEWLINE
    d.push_back(0x76);
    d.insert(d.end(), 22, 0x76);
    show(d);
    EXPECT_TRUE(cell_is_solid(31, 0, true));
    EXPECT_TRUE(cell_is_solid(0, 1, true));
    EXPECT_TRUE(cell_is_solid(1, 1, false));
}

TEST_F(DisplayFile, DisplayFileAddressWraps) {
    start_machine();
    Memory& memory = zx81.memory;
    memory[0x400C] = 0xFF;
    memory[0x400D] = 0xFF;
    memory[0xFFFF] = 0x76;
    memory[0x0000] = 0x80;  // line 0 starts at 0x0000 (set past the write protection)
    memory[0x0001] = 0x00;
    latest_frame(zx81);
    EXPECT_TRUE(cell_is_solid(0, 0, true));
    EXPECT_TRUE(cell_is_solid(1, 0, false));
}

// Before the ROM has made its display file (power-up, a reset) the simple
// model shows paper, never memory drawn as characters.
TEST_F(DisplayFile, PaperUntilTheRomMakesItsDisplayFile) {
    start_machine();
    const auto inked = [&] {
        const Frame& frame = latest_frame(zx81);
        return std::count_if(frame.pixels.begin(), frame.pixels.end(), [](uint8_t b) { return b != 0; });
    };
    EXPECT_EQ(inked(), 0) << "at power-up";
    boot();
    EXPECT_GT(inked(), 0) << "the K cursor";
    reset(zx81);
    EXPECT_EQ(inked(), 0) << "after a reset";
}

}  // namespace
