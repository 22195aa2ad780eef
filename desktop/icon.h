// The program's own window icon: 32x32 pixels in 16 colours, as XPM data.
#pragma once

#include <string>

// Gives the window its class (orlix/Orlix, as the desktop entry's
// StartupWMClass), so that docks and task bars tell it apart. Before Allegro
// starts, which makes the window.
void name_window();

// Gives the icon to Allegro before the window is shown; after the window
// exists, icon_was_set() tells whether the window really got it.
void prepare_icon();
bool icon_was_set();

// Gives the window the icon at 16, 32, 48 and 64 pixels as _NET_WM_ICON,
// which today's desktops take rather than the old pixmap hint. Once the
// window exists, after each change of screen mode. The full-screen window
// gets the class too.
void set_window_icons();

// The window's title, the full-screen window's too.
void set_title(const std::string& title);
