// The picture in the user's colours at 8 and 16 bits, and the picture and
// its border placed for each view.
#include <gtest/gtest.h>

#include "zx81_harness.h"

#include "display_files.h"
#include "offscreen.h"
#include "overlays.h"
#include "presenter.h"

namespace {


bool cell_is_solid(const Desktop& desktop, int column, int line, int colour) {
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if (getpixel(desktop.picture, border_width + 8 * column + x, border_height + 8 * line + y) != colour)
                return false;
    return true;
}

class Presenter : public MachineTest {
protected:
// Paints the display file, as a frame would show it.
void show(Desktop& desktop, const std::vector<uint8_t>& display_file) {
    set_display_file(zx81.memory, 0x5000, display_file);
    paint_frame(desktop, latest_frame(zx81));
}
};


TEST_F(Presenter, ColoursAt8And16Bits) {
    offscreen::start(zx81);
    Desktop desktop;
    offscreen::use_depth(desktop, 8);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(desktop.colours[i], 100 + i);
    PALETTE palette;
    get_palette(palette);
    EXPECT_EQ(palette[107].r, 210 >> 2);
    EXPECT_EQ(palette[109].b, 63);
    EXPECT_EQ(palette[109].r, 0);

    offscreen::use_depth(desktop, 16);
    EXPECT_EQ(desktop.colours[0], makecol16(0, 0, 0));
    EXPECT_EQ(desktop.colours[7], makecol16(210, 210, 210));
    EXPECT_EQ(desktop.colours[15], makecol16(255, 255, 255));
    EXPECT_EQ(desktop.colours[10], makecol16(255, 0, 0));
    EXPECT_NE(desktop.colours[7], desktop.colours[15]);
}

TEST_F(Presenter, SpacesAreBlankAndCode128IsSolidInk) {
    offscreen::start(zx81);
    for (int depth : {8, 16}) {
        Desktop desktop;
        offscreen::use_depth(desktop, depth);
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

TEST_F(Presenter, GlyphPixelsInInkAndPaperAt16Bits) {
    offscreen::start(zx81);
    Desktop desktop;
    offscreen::use_depth(desktop, 16);
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
            const int px = border_width + x, py = border_height + y;
            EXPECT_EQ(getpixel(desktop.picture, px, py), set ? desktop.colours[2] : desktop.colours[14]);
            EXPECT_EQ(getpixel(desktop.picture, 8 + px, py), set ? desktop.colours[14] : desktop.colours[2]);
        }
    }
    destroy_bitmap(desktop.picture);
}

TEST_F(Presenter, InkEqualToPaperGivesSolidSquares) {
    offscreen::start(zx81);
    Desktop desktop;
    offscreen::use_depth(desktop, 8);
    desktop.ink = desktop.paper = 3;
    build_pixel_patterns(desktop);
    show(desktop, expanded_display_file(0x26));
    EXPECT_TRUE(cell_is_solid(desktop, 0, 0, desktop.colours[3]));
    EXPECT_TRUE(cell_is_solid(desktop, 31, 23, desktop.colours[3]));
    destroy_bitmap(desktop.picture);
}

void set_ink(Frame& frame, int x, int y) {
    x += border_width;
    y += border_height;
    frame.pixels[static_cast<size_t>(y * frame_row_bytes + x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
}

struct ViewCase {
    const char* name;
    View view;
    Size display;
    bool has_320x240;
    Size size;                          // of the window or screen
    std::pair<int, int> picture_origin;
    int scale;
    std::vector<std::pair<int, int>> paper_points;
    int toolbar_scale;                  // 0: none drawn
};

// Each view puts the ZX81's picture at its place and scale, with paper and
// the television's border around it, and pixels of the border where the
// frame has them.
TEST_F(Presenter, PictureAndBorderForEachView) {
    const ViewCase cases[] = {
        {"mode 0", {0, 0}, {1024, 768}, true, {297, 208}, {7, 7}, 1,
         {{0, 0}, {271, 7}, {0, 207}, {6, 100}, {263, 100}, {100, 199}}, 1},
        {"mode 1", {1, 0}, {1024, 768}, true, {553, 400}, {8, 8}, 2,
         {{0, 0}, {527, 7}, {0, 399}, {7, 200}, {520, 200}, {200, 392}}, 1},
        {"320x240", {2, 0}, {1024, 768}, true, {320, 240}, {32, 24}, 1,
         {{0, 0}, {319, 23}, {0, 239}, {31, 100}, {288, 100}, {319, 239}}, 0},
        {"full screen, no 320x240", {2, 0}, {1024, 768}, false, {1024, 768}, {128, 96}, 3,
         {{0, 0}, {1023, 767}, {31, 400}, {32, 24}, {991, 743}, {127, 100}, {896, 100}}, 0},
        {"scale 3", {0, 3}, {1024, 768}, true, {891, 624}, {21, 21}, 3,
         {{0, 0}, {815, 20}, {20, 300}, {789, 300}, {400, 597}, {0, 623}}, 3},
    };
    offscreen::start(zx81);
    for (const ViewCase& c : cases) {
        SCOPED_TRACE(c.name);
        Desktop desktop;
        offscreen::use_depth(desktop, 16);
        offscreen::use_screen(desktop, c.view, c.display, c.has_320x240);
        ASSERT_EQ(screen->w, c.size.width);
        ASSERT_EQ(screen->h, c.size.height);
        desktop.paper = 2;
        build_pixel_patterns(desktop);
        show(desktop, expanded_display_file(0x80));  // all ink: the picture is solid
        Frame frame = desktop.last_frame;
        set_ink(frame, -3, -3);  // in the border, where programs put pixels too
        set_ink(frame, picture_width + 2, picture_height + 1);
        paint_frame(desktop, frame);
        redraw_frame(desktop);
        const int paper = desktop.colours[2];
        const int ink = desktop.colours[desktop.ink];
        for (auto [x, y] : c.paper_points) EXPECT_EQ(getpixel(screen, x, y), paper) << x << "," << y;
        const auto [px, py] = c.picture_origin;
        const int s = c.scale;
        const int right = px + 256 * s - 1;
        const int bottom = py + 192 * s - 1;
        EXPECT_EQ(getpixel(screen, px, py), ink);
        EXPECT_EQ(getpixel(screen, right, bottom), ink);
        EXPECT_EQ(getpixel(screen, px - 1, py), paper);
        EXPECT_EQ(getpixel(screen, right + 1, bottom), paper);
        EXPECT_EQ(getpixel(screen, px - 3 * s, py - 3 * s), ink) << "border pixel";
        EXPECT_EQ(getpixel(screen, px - 3 * s + s - 1, py - 3 * s + s - 1), ink) << "border pixel, scaled";
        EXPECT_EQ(getpixel(screen, px - 2 * s, py - 3 * s), paper);
        EXPECT_EQ(getpixel(screen, right + 1 + 2 * s, bottom + 1 + s), ink) << "right border pixel";
        if (c.toolbar_scale > 0) {
            // The toolbar strip is black even on a red paper (no picture loaded).
            EXPECT_EQ(getpixel(screen, screen->w - 25 * c.toolbar_scale, 10), desktop.colours[0]);
            EXPECT_EQ(getpixel(screen, screen->w - 1, screen->h - 1), desktop.colours[0]);
            EXPECT_EQ(getpixel(screen, screen->w - 25 * c.toolbar_scale - 1, 10), paper);
        }
        offscreen::drop_screen();
        destroy_bitmap(desktop.picture);
    }
}

// F4 goes through the three modes, then each window scale from 3 up that
// fits the desktop, then back to mode 0.
TEST_F(Presenter, F4GoesThroughTheModesThenTheScalesThatFit) {
    struct CycleCase {
        Size display;
        std::vector<View> views;
    };
    const CycleCase cases[] = {
        {{1920, 1080}, {{0, 0}, {1, 0}, {2, 0}, {0, 3}, {0, 4}, {0, 5}, {0, 0}}},
        {{1024, 768}, {{0, 0}, {1, 0}, {2, 0}, {0, 3}, {0, 0}}},
        {{800, 600}, {{0, 0}, {1, 0}, {2, 0}, {0, 0}}},
    };
    for (const CycleCase& c : cases) {
        for (size_t i = 0; i + 1 < c.views.size(); ++i) {
            const View next = next_view(c.views[i], c.display);
            EXPECT_TRUE(next == c.views[i + 1]) << c.display.width << ": after " << i << " came mode "
                                                << next.mode << " scale " << next.scale;
        }
    }
    EXPECT_TRUE(next_view({0, 2}, {1920, 1080}) == (View{0, 3})) << "--scale 2 goes on to 3";
}

// Windows measured against the work area: a scale too large falls back to
// the largest that fits; a first start takes two thirds of the height.
TEST_F(Presenter, WindowsFitTheWorkArea) {
    struct FitCase {
        Size work_area;
        View asked, fitted, first_start;
    };
    const FitCase cases[] = {
        {{1024, 768}, {0, 6}, {0, 3}, {0, 2}},
        {{1920, 1080}, {0, 6}, {0, 5}, {0, 3}},
        {{1920, 1032}, {0, 5}, {0, 4}, {0, 3}},  // panels take 48 lines: 5 no longer fits
        {{3840, 2160}, {0, 16}, {0, 10}, {0, 6}},
        {{3840, 2160}, {2, 0}, {2, 0}, {0, 6}},  // full screen is the screen's
        {{600, 420}, {1, 0}, {1, 0}, {0, 0}},
        {{500, 400}, {1, 0}, {0, 0}, {0, 0}},  // 553 wide does not fit
        {{200, 100}, {0, 4}, {0, 0}, {0, 0}},  // nothing fits: mode 0 all the same
    };
    for (const FitCase& c : cases) {
        const View fitted = fitting_view(c.asked, c.work_area);
        const View first = first_start_view(c.work_area);
        EXPECT_TRUE(fitted == c.fitted) << c.work_area.width << "x" << c.work_area.height << ": mode " << fitted.mode
                                        << " scale " << fitted.scale;
        EXPECT_TRUE(first == c.first_start) << c.work_area.width << "x" << c.work_area.height << ": first start at "
                                            << first.scale;
    }
}

// The keyboard picture with the larger labels that fits: the small one at
// mode 0 (where the large one would be shrunk past reading), the large one
// stretched over a screen nearly its size.
TEST_F(Presenter, KeyboardPictureForEachScreen) {
    struct PictureCase {
        Size screen;
        const char* file;
        int scale;
        bool stretched;
    };
    const PictureCase cases[] = {
        {{297, 208}, "zx81keys.pcx", 1, false}, {{320, 240}, "zx81keys.pcx", 1, false},
        {{553, 400}, "zx81key.pcx", 0, true},   {{891, 624}, "zx81keys.pcx", 3, false},
        {{1200, 600}, "zx81key.pcx", 2, false}, {{1920, 1080}, "zx81keys.pcx", 5, false},
    };
    for (const PictureCase& c : cases) {
        const KeyboardPicture p = keyboard_picture_for(c.screen.width, c.screen.height);
        EXPECT_STREQ(p.file, c.file) << c.screen.width;
        EXPECT_EQ(p.scale, c.scale) << c.screen.width;
        EXPECT_EQ(p.stretched, c.stretched) << c.screen.width;
    }
}

}  // namespace
