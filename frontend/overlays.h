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

// Shows "zx81key.pcx" (found where the ROM is) stretched over the screen
// until a key is pressed; read anew each time.
void show_keyboard_picture(const Desktop& desktop);
