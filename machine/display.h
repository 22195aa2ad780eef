// The ZX81 picture: the display file in memory drawn with glyphs from the ROM
// character set into a 256x192 bitmap, placed on the host screen with borders
// in the paper colour.
#pragma once

#include <allegro.h>

#include <array>

// Pixel values of the 16 colours at the current screen depth: palette entries
// 100-115 in 8-bit mode, packed values at 15 and 16 bits.
extern std::array<int, 16> colours;
extern int ink;    // index into colours, 0 (black) at start
extern int paper;  // index into colours, 7 (white) at start

// 0: 297x208 window; 1: 553x400 window, picture doubled; 2: 320x240 full screen.
extern int screen_mode;
// 0 while the screen runs at 8 bits with a palette; 1 at 15 or 16 bits.
extern int true_colour;
// The ZX81 screen, 256x192 at the screen depth; made anew at each mode change.
extern BITMAP* picture;

constexpr int first_palette_entry = 100;

struct Rgb {
    int r, g, b;
};
// Normal intensity is 210, bright 255.
inline constexpr std::array<Rgb, 16> colour_table = {{
    {0, 0, 0},       {0, 0, 210},   {210, 0, 0},   {210, 0, 210},
    {0, 210, 0},     {0, 210, 210}, {210, 210, 0}, {210, 210, 210},
    {0, 0, 0},       {0, 0, 255},   {255, 0, 0},   {255, 0, 255},
    {0, 255, 0},     {0, 255, 255}, {255, 255, 0}, {255, 255, 255},
}};

// Fills colours for the current depth (and the palette in 8-bit mode).
void setup_colours();
// Builds the 256 glyphs from the ROM character set in the current ink and paper.
void build_glyphs();
// Draws the display file into picture.
void render_display();
// Puts picture on the screen for the current screen mode.
void present_picture();
// Paints the borders in the paper colour, then the toolbar in the windowed modes.
void redraw_frame();
// The character code shown at (column, line) of the display file, following
// each line to its NEWLINE as the picture does; 0 (space) beyond a short line.
uint8_t display_code(int column, int line);
// The ROM has started and waits at its K prompt: the inverse K cursor stands at
// the start of the bottom line.
bool shows_k_prompt();
// Frees the glyphs (at shutdown).
void destroy_glyphs();

// Where the picture's top-left corner stands on the screen in each mode.
struct Placement {
    int x, y, scale;
};
inline constexpr std::array<Placement, 3> picture_placement = {{{7, 7, 1}, {7, 7, 2}, {31, 23, 1}}};
