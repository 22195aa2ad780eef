// Showing a view on the desktop: the size of the display, and the window or
// full screen set for a view.
#pragma once

#include "view.h"

struct Desktop;

// The size of the desktop the program runs on (after Allegro has started).
Size desktop_size();

// The part of it windows may take: the window manager's work area
// (_NET_WORKAREA, without its panels) where it gives one, else all of it.
Size work_area_size();

// Sets the view (windows at 8, then 15, then 16 bits; full screen at 15,
// then 16) with the title of the desktop's model, makes the picture anew and
// sets up the colours for the depth. A view that cannot be set at any depth
// is fatal.
void set_view(Desktop& desktop, View view);

// The window's title: the model and RAM where they are not the usual, and
// what a debugger is doing with the machine.
std::string title_of(const Desktop& desktop);
