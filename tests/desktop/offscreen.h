// The desktop program's pieces without a display: Allegro started on no
// system, memory bitmaps for the screen and the picture, the real ROM in the
// machine.
#pragma once

#include <allegro.h>

#include "desktop.h"
#include "zx81.h"

namespace offscreen {

// Starts Allegro without a display (once) and powers `machine` up with the
// real ROM; every host key is up.
void start(Zx81& machine);

// Sets the colour depth, makes the desktop's picture and colours for it, with
// ink 0 and paper 7.
void use_depth(Desktop& desktop, int depth);

// A memory bitmap of the view's size stands in for the screen, on a display
// of `display` size that has a 320x240 mode or not.
void use_screen(Desktop& desktop, View view, Size display = {1024, 768}, bool has_320x240 = true);
void use_screen(Desktop& desktop, int mode);
void drop_screen();

}  // namespace offscreen
