// Showing a view on the desktop: the window or full screen set for a view.
#pragma once

#include "view.h"

struct Desktop;

// Sets the view (windows at 8, then 15, then 16 bits; full screen at 15,
// then 16) with the title of the desktop's model, makes the picture anew and
// sets up the colours for the depth. A view that cannot be set at any depth
// is fatal.
void set_view(Desktop& desktop, View view);
