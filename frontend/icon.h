// The program's own window icon: 32x32 pixels in 16 colours, as XPM data.
#pragma once

// Gives the icon to Allegro before the window is created; after the window
// exists, icon_was_set() tells whether the window really got it.
void prepare_icon();
bool icon_was_set();
