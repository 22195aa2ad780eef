// Colours, glyphs, the display file drawn into picture (collapsed files
// included), and the picture and borders placed for each screen mode.
#include <gtest/gtest.h>

#include "overlays.h"
#include "zx81_harness.h"

namespace {

// Writes a display file at `address` and points D_FILE at it.
void set_display_file(uint16_t address, const std::vector<uint8_t>& bytes) {
    memory[0x400C] = address & 0xFF;
    memory[0x400D] = address >> 8;
    for (size_t i = 0; i < bytes.size(); ++i) memory[static_cast<uint16_t>(address + i)] = bytes[i];
}

// A fully expanded display file: NEWLINE, then 24 lines of 32 codes and NEWLINE.
std::vector<uint8_t> expanded(uint8_t fill) {
    std::vector<uint8_t> d = {0x76};
    for (int line = 0; line < 24; ++line) {
        d.insert(d.end(), 32, fill);
        d.push_back(0x76);
    }
    return d;
}

bool cell_is_solid(int column, int line, int colour) {
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if (getpixel(picture, 8 * column + x, 8 * line + y) != colour) return false;
    return true;
}

TEST(Display, ColoursAt8And16Bits) {
    harness::power_up(8);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(colours[i], 100 + i);
    PALETTE palette;
    get_palette(palette);
    EXPECT_EQ(palette[107].r, 210 >> 2);
    EXPECT_EQ(palette[109].b, 63);
    EXPECT_EQ(palette[109].r, 0);

    harness::power_up(16);
    EXPECT_EQ(colours[0], makecol16(0, 0, 0));
    EXPECT_EQ(colours[7], makecol16(210, 210, 210));
    EXPECT_EQ(colours[15], makecol16(255, 255, 255));
    EXPECT_EQ(colours[10], makecol16(255, 0, 0));
    EXPECT_NE(colours[7], colours[15]);
}

TEST(Display, SpacesAreBlankAndCode128IsSolidInk) {
    for (int depth : {8, 16}) {
        harness::power_up(depth);
        std::vector<uint8_t> d = expanded(0x00);
        d[1 + 33 * 5 + 7] = 0x80;   // solid ink at (7, 5)
        d[1 + 33 * 6 + 1] = 0x40;   // codes 64-127 and 192-255 are blank
        d[1 + 33 * 6 + 2] = 0xC5;
        set_display_file(0x5000, d);
        render_display();
        for (int line = 0; line < 24; ++line)
            for (int column = 0; column < 32; ++column)
                EXPECT_TRUE(cell_is_solid(column, line,
                                          column == 7 && line == 5 ? colours[ink] : colours[paper]))
                    << depth << " bits, cell " << column << "," << line;
    }
}

TEST(Display, GlyphPixelsNormalAndInverse) {
    harness::power_up(8);
    // "A" is code 0x26; its ROM pattern at 0x1E00 + 8 * 0x26.
    std::vector<uint8_t> d = expanded(0x00);
    d[1] = 0x26;
    d[2] = 0xA6;
    set_display_file(0x5000, d);
    render_display();
    for (int y = 0; y < 8; ++y) {
        const uint8_t row = memory[0x1E00 + 8 * 0x26 + y];
        for (int x = 0; x < 8; ++x) {
            const bool set = row & (0x80 >> x);
            EXPECT_EQ(getpixel(picture, x, y), set ? colours[ink] : colours[paper]);
            EXPECT_EQ(getpixel(picture, 8 + x, y), set ? colours[paper] : colours[ink]);
        }
    }
    // The pattern of A is not blank: the comparison above means something.
    EXPECT_NE(memory[0x1E00 + 8 * 0x26 + 3], 0);
}

TEST(Display, InkEqualToPaperGivesSolidSquares) {
    harness::power_up(8);
    ink = paper = 3;
    build_glyphs();
    std::vector<uint8_t> d = expanded(0x26);
    set_display_file(0x5000, d);
    render_display();
    EXPECT_TRUE(cell_is_solid(0, 0, colours[3]));
    EXPECT_TRUE(cell_is_solid(31, 23, colours[3]));
}

TEST(Display, CollapsedDisplayFileEndsLinesAtNewline) {
    harness::power_up(8);
    // A 1 KB machine's display file: 24 bare NEWLINEs, then garbage after.
    std::vector<uint8_t> collapsed(25, 0x76);
    collapsed.insert(collapsed.end(), 64, 0x80);
    set_display_file(0x4400, collapsed);
    render_display();
    for (int line = 0; line < 24; ++line)
        for (int column = 0; column < 32; ++column)
            ASSERT_TRUE(cell_is_solid(column, line, colours[paper])) << column << "," << line;

    // Short lines with content: "A" then NEWLINE; next line starts after it.
    std::vector<uint8_t> d = {0x76, 0x80, 0x76, 0x76, 0x80, 0x80, 0x76};
    d.insert(d.end(), 21, 0x76);
    d.insert(d.end(), 40, 0x80);
    set_display_file(0x4400, d);
    render_display();
    EXPECT_TRUE(cell_is_solid(0, 0, colours[ink]));
    EXPECT_TRUE(cell_is_solid(1, 0, colours[paper]));
    EXPECT_TRUE(cell_is_solid(0, 1, colours[paper]));  // empty line
    EXPECT_TRUE(cell_is_solid(0, 2, colours[ink]));
    EXPECT_TRUE(cell_is_solid(1, 2, colours[ink]));
    EXPECT_TRUE(cell_is_solid(2, 2, colours[paper]));
    EXPECT_TRUE(cell_is_solid(0, 23, colours[paper]));
}

TEST(Display, LineWithoutNewlineShows32CodesAndNextStarts33On) {
    harness::power_up(8);
    std::vector<uint8_t> d = {0x76};
    d.insert(d.end(), 33, 0x80);  // no NEWLINE in line 0's 33 bytes
    d.push_back(0x80);            // line 1 starts here: ink, then NEWLINE
    d.push_back(0x76);
    d.insert(d.end(), 22, 0x76);
    set_display_file(0x5000, d);
    render_display();
    EXPECT_TRUE(cell_is_solid(31, 0, colours[ink]));
    EXPECT_TRUE(cell_is_solid(0, 1, colours[ink]));
    EXPECT_TRUE(cell_is_solid(1, 1, colours[paper]));
}

TEST(Display, DisplayFileAddressWraps) {
    harness::power_up(8);
    memory[0x400C] = 0xFF;
    memory[0x400D] = 0xFF;
    memory[0xFFFF] = 0x76;
    const uint8_t saved = memory[0x0000];
    memory[0x0000] = 0x80;  // line 0 starts at 0x0000 (set past the write protection)
    memory[0x0001] = 0x00;
    render_display();
    EXPECT_TRUE(cell_is_solid(0, 0, colours[ink]));
    EXPECT_TRUE(cell_is_solid(1, 0, colours[paper]));
    memory[0x0000] = saved;
}

struct BorderCase {
    int mode;
    int width, height;
    std::vector<std::pair<int, int>> paper_points;
    std::pair<int, int> picture_origin;
    int scale;
};

TEST(Display, PictureAndBordersPerMode) {
    const BorderCase cases[] = {
        {0, 297, 208, {{0, 0}, {271, 7}, {0, 207}, {6, 100}, {263, 100}, {100, 199}}, {7, 7}, 1},
        {1, 553, 400, {{0, 0}, {527, 6}, {0, 399}, {6, 200}, {519, 200}, {200, 391}}, {7, 7}, 2},
        {2, 320, 240, {{0, 0}, {319, 22}, {0, 239}, {30, 100}, {287, 100}, {319, 239}}, {31, 23}, 1},
    };
    for (const BorderCase& c : cases) {
        SCOPED_TRACE(c.mode);
        harness::power_up(16);
        BITMAP* fake_screen = create_bitmap(c.width, c.height);
        clear_to_color(fake_screen, makecol(1, 2, 3));
        screen = fake_screen;
        screen_mode = c.mode;
        paper = 2;
        build_glyphs();
        std::vector<uint8_t> d = expanded(0x80);  // all ink: the picture is solid
        set_display_file(0x5000, d);
        render_display();
        redraw_frame();
        present_picture();
        for (auto [x, y] : c.paper_points) EXPECT_EQ(getpixel(screen, x, y), colours[2]) << x << "," << y;
        const auto [px, py] = c.picture_origin;
        const int right = px + 256 * c.scale - 1;
        const int bottom = py + 192 * c.scale - 1;
        EXPECT_EQ(getpixel(screen, px, py), colours[ink]);
        EXPECT_EQ(getpixel(screen, right, bottom), colours[ink]);
        EXPECT_EQ(getpixel(screen, px - 1, py), colours[2]);
        EXPECT_EQ(getpixel(screen, right + 1, bottom), colours[2]);
        if (c.mode != 2) {
            // The toolbar strip is black even on a red paper (no picture loaded).
            EXPECT_EQ(getpixel(screen, c.width - 25, 10), colours[0]);
            EXPECT_EQ(getpixel(screen, c.width - 1, c.height - 1), colours[0]);
        }
        screen = nullptr;
        destroy_bitmap(fake_screen);
    }
}

}  // namespace
