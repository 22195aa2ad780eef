// What is shown over or beside the ZX81 picture: the toolbar column at the
// right edge, the picture of the ZX81 keyboard, and the help text.
#pragma once

#include <allegro.h>

#include <string>

// Loaded once at start-up from "zxtool.pcx"; null when it could not be loaded.
extern BITMAP* toolbar;

// The text of the help box (F1).
extern const std::string help_text;

// Loads the toolbar picture "zxtool.pcx" from `path`; warns "Cannot load
// toolbar gfx!" and goes on without it when it cannot be loaded.
void load_toolbar(const std::string& path);
// Black strip at the right edge with the button column and the corner piece.
void draw_toolbar();
// Shows "zx81key.pcx" (found where the ROM is) stretched over the screen
// until a key is pressed; read anew each time.
void show_keyboard_picture();

// Rows of the buttons in the column, as drawn and as hit by the mouse.
struct ToolbarButton {
    int top, bottom;  // inclusive
};
namespace toolbar_rows {
constexpr ToolbarButton reset{8, 27}, load{30, 49}, save{52, 71}, screen_mode{74, 93},
    keyboard{96, 115}, colours{118, 137}, help{140, 159};
}
constexpr int toolbar_width = 25;
constexpr int toolbar_column_height = 166;
constexpr int toolbar_corner_top = 168;
constexpr int toolbar_corner_size = 25;
