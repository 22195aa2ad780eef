// How the ZX81's picture is laid out on the host: the three screen modes
// (a window, a doubled window, full screen), windows of any integer scale,
// and full screen on displays that have no 320x240 mode. Pure arithmetic,
// shared by the desktop, which shows a view, and pictures of it.
#pragma once

#include <string>

// The screen modes as F4 goes through them; after them come the windows of
// each larger scale that fits the desktop.
constexpr int window_mode = 0;         // 297x208
constexpr int doubled_window_mode = 1; // 553x400, the picture doubled
constexpr int full_screen_mode = 2;    // 320x240, or the desktop's own size
constexpr int screen_mode_count = 3;
constexpr int largest_scale = 16;      // the largest window scale taken
// A window holds the picture area and, at its right edge, the toolbar's
// strip, this many pixels wide at scale 1.
constexpr int toolbar_width = 25;

// What is shown: a screen mode, or a window `scale` times mode 0's size
// (scale 0: the mode itself).
struct View {
    int mode = window_mode;
    int scale = 0;
    bool operator==(const View&) const = default;
};

// Where everything goes for a view. The picture area shows the television's
// picture from (frame_x, frame_y) on, each ZX81 pixel a scale x scale block;
// around it (in full screen, when the display is larger) is paper.
struct Layout {
    int width, height;     // the window, or the screen
    bool full_screen;
    int scale;
    int toolbar_scale;     // the toolbar's own scale; 0 in full screen, where it is not drawn
    int area_x, area_y, area_width, area_height;
    int frame_x, frame_y;
};

// A desktop's size, in pixels.
struct Size {
    int width, height;
};

// The layout of a view on a desktop of `desktop` size. Full screen takes
// 320x240 where the display has that mode, else the desktop's own size with
// the whole television picture scaled by the largest integer that fits.
Layout layout_for(View view, Size desktop, bool has_320x240);

// The view after this one for F4: mode 0, 1, 2, then each larger window
// scale that fits the desktop (from 3 up), then mode 0 again.
View next_view(View view, Size desktop);

// The window `scale` times mode 0's size; at 1, mode 0's window itself.
View window_of_scale(int scale);

// Whether a window of this scale fits the desktop.
bool window_fits(int scale, Size desktop);

// The view as it fits the desktop's work area: a window too large for it
// becomes the largest scale that fits (mode 0's window at the least). Full
// screen, and windows that fit, stay as they are.
View fitting_view(View view, Size work_area);

// The view of a first start, with no settings yet: the largest whole scale
// whose window takes at most two thirds of the work area's height (3 at
// 1080 lines, 6 at 2160), mode 0's window at the least.
View first_start_view(Size work_area);

