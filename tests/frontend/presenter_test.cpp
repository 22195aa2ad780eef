// The picture in the user's colours at 8 and 16 bits, and the picture and
// borders placed for each screen mode.
#include <gtest/gtest.h>

#include "display_files.h"
#include "headless.h"
#include "presenter.h"

namespace {

bool cell_is_solid(const Desktop& desktop, int column, int line, int colour) {
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if (getpixel(desktop.picture, 8 * column + x, 8 * line + y) != colour) return false;
    return true;
}

// Paints the display file, as a frame would show it.
void show(Desktop& desktop, const std::vector<uint8_t>& display_file) {
    set_display_file(zx81.memory, 0x5000, display_file);
    paint_frame(desktop, latest_frame(zx81));
}

TEST(Presenter, ColoursAt8And16Bits) {
    headless::start();
    Desktop desktop;
    headless::use_depth(desktop, 8);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(desktop.colours[i], 100 + i);
    PALETTE palette;
    get_palette(palette);
    EXPECT_EQ(palette[107].r, 210 >> 2);
    EXPECT_EQ(palette[109].b, 63);
    EXPECT_EQ(palette[109].r, 0);

    headless::use_depth(desktop, 16);
    EXPECT_EQ(desktop.colours[0], makecol16(0, 0, 0));
    EXPECT_EQ(desktop.colours[7], makecol16(210, 210, 210));
    EXPECT_EQ(desktop.colours[15], makecol16(255, 255, 255));
    EXPECT_EQ(desktop.colours[10], makecol16(255, 0, 0));
    EXPECT_NE(desktop.colours[7], desktop.colours[15]);
}

TEST(Presenter, SpacesAreBlankAndCode128IsSolidInk) {
    headless::start();
    for (int depth : {8, 16}) {
        Desktop desktop;
        headless::use_depth(desktop, depth);
        std::vector<uint8_t> d = expanded_display_file(0x00);
        d[1 + 33 * 5 + 7] = 0x80;  // solid ink at (7, 5)
        d[1 + 33 * 6 + 1] = 0x40;  // codes 64-127 and 192-255 are blank
        d[1 + 33 * 6 + 2] = 0xC5;
        show(desktop, d);
        for (int line = 0; line < 24; ++line)
            for (int column = 0; column < 32; ++column)
                EXPECT_TRUE(cell_is_solid(desktop, column, line,
                                          column == 7 && line == 5 ? desktop.colours[desktop.ink]
                                                                   : desktop.colours[desktop.paper]))
                    << depth << " bits, cell " << column << "," << line;
        destroy_bitmap(desktop.picture);
    }
}

TEST(Presenter, GlyphPixelsInInkAndPaperAt16Bits) {
    headless::start();
    Desktop desktop;
    headless::use_depth(desktop, 16);
    desktop.ink = 2;
    desktop.paper = 14;
    build_pixel_patterns(desktop);
    std::vector<uint8_t> d = expanded_display_file(0x00);
    d[1] = 0x26;  // "A", then its inverse
    d[2] = 0xA6;
    show(desktop, d);
    for (int y = 0; y < 8; ++y) {
        const uint8_t row = zx81.memory[0x1E00 + 8 * 0x26 + y];
        for (int x = 0; x < 8; ++x) {
            const bool set = row & (0x80 >> x);
            EXPECT_EQ(getpixel(desktop.picture, x, y), set ? desktop.colours[2] : desktop.colours[14]);
            EXPECT_EQ(getpixel(desktop.picture, 8 + x, y), set ? desktop.colours[14] : desktop.colours[2]);
        }
    }
    destroy_bitmap(desktop.picture);
}

TEST(Presenter, InkEqualToPaperGivesSolidSquares) {
    headless::start();
    Desktop desktop;
    headless::use_depth(desktop, 8);
    desktop.ink = desktop.paper = 3;
    build_pixel_patterns(desktop);
    show(desktop, expanded_display_file(0x26));
    EXPECT_TRUE(cell_is_solid(desktop, 0, 0, desktop.colours[3]));
    EXPECT_TRUE(cell_is_solid(desktop, 31, 23, desktop.colours[3]));
    destroy_bitmap(desktop.picture);
}

struct BorderCase {
    int mode;
    std::vector<std::pair<int, int>> paper_points;
    std::pair<int, int> picture_origin;
    int scale;
};

TEST(Presenter, PictureAndBordersPerMode) {
    const BorderCase cases[] = {
        {0, {{0, 0}, {271, 7}, {0, 207}, {6, 100}, {263, 100}, {100, 199}}, {7, 7}, 1},
        {1, {{0, 0}, {527, 6}, {0, 399}, {6, 200}, {519, 200}, {200, 391}}, {7, 7}, 2},
        {2, {{0, 0}, {319, 22}, {0, 239}, {30, 100}, {287, 100}, {319, 239}}, {31, 23}, 1},
    };
    headless::start();
    for (const BorderCase& c : cases) {
        SCOPED_TRACE(c.mode);
        Desktop desktop;
        headless::use_depth(desktop, 16);
        headless::use_screen(desktop, c.mode);
        desktop.paper = 2;
        build_pixel_patterns(desktop);
        show(desktop, expanded_display_file(0x80));  // all ink: the picture is solid
        redraw_frame(desktop);
        present_picture(desktop);
        const int paper = desktop.colours[2];
        const int ink = desktop.colours[desktop.ink];
        for (auto [x, y] : c.paper_points) EXPECT_EQ(getpixel(screen, x, y), paper) << x << "," << y;
        const auto [px, py] = c.picture_origin;
        const int right = px + 256 * c.scale - 1;
        const int bottom = py + 192 * c.scale - 1;
        EXPECT_EQ(getpixel(screen, px, py), ink);
        EXPECT_EQ(getpixel(screen, right, bottom), ink);
        EXPECT_EQ(getpixel(screen, px - 1, py), paper);
        EXPECT_EQ(getpixel(screen, right + 1, bottom), paper);
        if (c.mode != 2) {
            // The toolbar strip is black even on a red paper (no picture loaded).
            EXPECT_EQ(getpixel(screen, screen->w - 25, 10), desktop.colours[0]);
            EXPECT_EQ(getpixel(screen, screen->w - 1, screen->h - 1), desktop.colours[0]);
        }
        headless::drop_screen();
        destroy_bitmap(desktop.picture);
    }
}

}  // namespace
