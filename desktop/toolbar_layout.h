// The toolbar's geometry and the keyboard picture's size, shared by the
// program (which draws and hit-tests the toolbar) and make_pictures (which
// draws zxtool.pcx and zx81key.pcx at build time).
#pragma once

#include "view.h"

namespace toolbar {

// The strip at the right edge of a window, and the parts of zxtool.pcx.
constexpr int width = toolbar_width;
constexpr int column_height = 166;  // rows 0-165 of the picture: the buttons
constexpr int corner_top = 168;     // rows 168-192: the corner piece
constexpr int corner_size = 25;
constexpr int picture_height = corner_top + corner_size;

// Columns of the strip, counted from its left edge: the buttons stand in
// columns 2-23, with column 0-1 and 24 black around them. The colour button
// is ink in columns 2-13 and paper in 14-23.
constexpr int button_left = 2;
constexpr int button_right = 23;
constexpr int ink_right = 13;

// Rows of each button, inclusive; the picture is drawn at the top of the
// window, so they are window rows too.
struct Rows {
    int top, bottom;
};
constexpr Rows reset{8, 27}, load{30, 49}, save{52, 71}, screen_mode{74, 93}, keyboard{96, 115},
    colours{118, 137}, help{140, 159};

// The strip is drawn `scale` times its size in windows of that scale; the
// rows and columns above are then scale times as many pixels.

// Where the strip starts in a window `window_width` wide.
constexpr int left(int window_width, int scale = 1) {
    return window_width - width * scale;
}

// The pointer at (x, y) is over the button of `rows`.
constexpr bool over(const Rows& rows, int window_width, int x, int y, int scale = 1) {
    return x >= left(window_width, scale) + button_left * scale && y >= rows.top * scale &&
           y < (rows.bottom + 1) * scale;
}

// Over the ink (left) half of the colour button, as against the paper half.
constexpr bool over_ink_half(int window_width, int x, int scale = 1) {
    return x < left(window_width, scale) + (ink_right + 1) * scale;
}

}  // namespace toolbar

// The part of zx81key.pcx shown over the whole screen.
constexpr int keyboard_picture_width = 565;
constexpr int keyboard_picture_height = 250;
// zx81keys.pcx: the same keyboard in a smaller font, as large as mode 0's
// window, for windows too small for the other.
constexpr int small_keyboard_width = 297;
constexpr int small_keyboard_height = 208;
