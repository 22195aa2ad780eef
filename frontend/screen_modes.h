// The three host screen modes: their sizes, where the picture goes and how
// large, and the borders around it.
#pragma once

#include <array>
#include <string>

#include "zx81.h"

struct Desktop;

struct Rect {
    int x1, y1, x2, y2;  // both corners inclusive
};

struct ScreenMode {
    int width, height;
    bool full_screen;  // full screen has no toolbar and never runs at 8 bits
    int picture_x, picture_y;
    int scale;                    // each ZX81 pixel a scale x scale block
    std::array<Rect, 4> borders;  // top, bottom, left, right: painted in the paper colour
};

inline constexpr std::array<ScreenMode, 3> screen_modes = {{
    {297, 208, false, 7, 7, 1, {{{0, 0, 272, 7}, {0, 199, 272, 208}, {0, 0, 6, 248}, {263, 0, 272, 208}}}},
    {553, 400, false, 7, 7, 2, {{{0, 0, 528, 6}, {0, 391, 528, 400}, {0, 0, 6, 400}, {519, 0, 528, 400}}}},
    {320, 240, true, 31, 23, 1,
     {{{0, 0, 319, 22}, {0, 215, 319, 239}, {0, 0, 30, 239}, {287, 0, 319, 239}}}},
}};

constexpr const char* window_title = "Orlix V.0.3";

// The window's title for the model and RAM: the hardware model adds its
// name, and a RAM size other than 16 KB its size.
std::string title_for(Model model, int ram_kb = default_ram_kb);

// Sets the mode (windows at 8, then 15, then 16 bits; full screen at 15, then
// 16) with the title of the desktop's model, makes the picture anew and sets
// up the colours for the depth. A mode that cannot be set at any depth is
// fatal.
void set_screen_mode(Desktop& desktop, int mode);
