// The ZX81 picture in the user's colours: the colours at the screen's depth,
// a frame of ink and paper painted into the picture, the picture placed on
// the screen for the mode, and the borders around it.
#pragma once

#include "display_file.h"

struct Desktop;

// Fills the colours for the screen's depth (and palette entries 100-115 in
// 8-bit modes), then the pixel patterns.
void setup_colours(Desktop& desktop);

// The eight-pixel patterns of every byte value in the current ink and paper;
// made again whenever either changes.
void build_pixel_patterns(Desktop& desktop);

// Paints the frame into the picture.
void paint_frame(Desktop& desktop, const Frame& frame);

// Puts the picture on the screen where the screen mode has it.
void present_picture(const Desktop& desktop);

// Paints the borders in the paper colour, then the toolbar in the windowed
// modes.
void redraw_frame(const Desktop& desktop);
