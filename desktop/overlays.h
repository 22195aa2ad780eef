// What is shown over or beside the ZX81 picture: the toolbar column at the
// right edge, the picture of the ZX81 keyboard, and the help text.
#pragma once

#include <string>

#include "zx81.h"

struct Desktop;

// The help text, and what the help box (F1) shows: the text and which model
// runs.
extern const std::string help_text;
// How the host keys type, and where SAVE and LOAD go, in short.
extern const std::string key_help;
std::string help_text_for(Model model);

// Loads the toolbar picture "zxtool.pcx" from `path`; warns "Cannot load
// toolbar gfx!" and goes on without it when it cannot be loaded.
void load_toolbar(Desktop& desktop, const std::string& path);

// Black strip at the right edge with the button column and the corner piece.
void draw_toolbar(const Desktop& desktop);

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

// A line of text over the foot of the screen for two seconds (200
// periods): where there is no title to say it, in full screen.
constexpr int note_periods = 200;
void show_note(Desktop& desktop, const std::string& text);
// Draws the note again over what was drawn, while its time lasts.
void draw_note(const Desktop& desktop);
