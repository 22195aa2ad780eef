// What is shown over the ZX81 picture: the picture of the ZX81 keyboard, and
// the help text.
#pragma once

#include <string>

#include "zx81.h"

struct Desktop;

// The help text as it has always been: the start of what the help box (F1)
// shows (actions.h adds the rest).
extern const std::string help_text;


// Which picture of the keyboard a screen of this size shows, and how: the
// large one (zx81key.pcx) at the largest whole scale that fits, or
// stretched over a screen nearly its size; else the small one
// (zx81keys.pcx), which fits mode 0's window, at the largest whole scale
// that fits. Whichever has the larger labels.
struct KeyboardPicture {
    const char* file;
    int scale;       // each pixel scale x scale, centred
    bool stretched;  // else stretched over the whole screen
};
KeyboardPicture keyboard_picture_for(int width, int height);

// Shows the keyboard picture (found where the ROM is) until a key is
// pressed; read anew each time.
void show_keyboard_picture(Desktop& desktop);

