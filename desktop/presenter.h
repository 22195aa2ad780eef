// The ZX81 picture in the user's colours: the colours at the screen's depth,
// a frame of ink and paper painted at the view's scale, the part of it the
// view shows put on the screen, paper around it and the toolbar beside it.
#pragma once

#include <string>

#include "display_file.h"

struct Desktop;
struct Zx81;

// Fills the colours for the screen's depth (and palette entries 100-115 in
// 8-bit modes), then the pixel patterns.
void setup_colours(Desktop& desktop);

// The patterns of every byte value in the current ink and paper at the
// view's scale: eight pixels, each `scale` wide; made again whenever the ink,
// the paper or the scale changes.
void build_pixel_patterns(Desktop& desktop);

// Makes the picture anew for the view's scale and the screen's depth (the
// whole television picture, scaled) and sets up the colours for it.
void make_picture(Desktop& desktop);

// Paints the frame into the picture, the rows the view shows that changed
// since the last frame (all of them after make_picture or redraw_frame):
// each ZX81 pixel a block of scale x scale. The frame is kept for
// redraw_frame. True when a row changed.
bool paint_frame(Desktop& desktop, const Frame& frame);

// Puts the rows of the picture painted since it last did on the screen,
// the part of them the view shows; nothing when none was.
void present_picture(Desktop& desktop);

// Draws everything again: paper around the picture area, the last frame in
// the current colours, and the toolbar in windows.
void redraw_frame(Desktop& desktop);

// A box that says what went wrong, over the picture, which is drawn again
// once it is closed.
void warn_over_picture(Desktop& desktop, const std::string& text);

// Loads the toolbar picture "zxtool.pcx" from `path`; warns "Cannot load
// toolbar gfx!" and goes on without it when it cannot be loaded.
void load_toolbar(Desktop& desktop, const std::string& path);

// Black strip at the right edge with the button column and the corner piece.
void draw_toolbar(const Desktop& desktop);

// A line of text over the foot of the screen for two seconds (200
// periods): where there is no title to say it, in full screen.
constexpr int note_periods = 200;
void show_note(Desktop& desktop, const std::string& text);
// Draws the note again over what was drawn, while its time lasts.
void draw_note(const Desktop& desktop);

// Shows the ZX81's picture: the frame the machine has now, the rows that
// changed, with the pointer kept off it.
void draw_frame(Desktop& desktop, Zx81& machine);
