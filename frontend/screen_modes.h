// The three host screen modes: 297x208 and 553x400 windows, 320x240 full screen.
#pragma once

// Sets the mode (windows at 8, then 15, then 16 bits; full screen at 15, then
// 16), makes picture anew and sets up the colours and glyphs for the depth.
// A mode that cannot be set at any depth is fatal. Returns 1.
int set_screen_mode(int width, int height, bool full_screen);

// Sets screen mode 0 (297x208 window), 1 (553x400 window) or 2 (320x240 full
// screen).
void set_screen_mode(int mode);

constexpr const char* window_title = "Orlix V.0.3";
