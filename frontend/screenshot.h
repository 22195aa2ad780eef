// A picture of the ZX81's screen as a PNG file (Print Screen or F10): what
// the view shows of the television picture, border included, at the view's
// scale, in the user's ink and paper.
#pragma once

#include <ctime>
#include <string>

#include "display_file.h"
#include "screen_modes.h"
#include "toolbar_layout.h"

// orlix-YYYYMMDD-HHMMSS.png (local time) in $XDG_PICTURES_DIR when that is
// set, else in the working folder; a name already taken gets -2, -3, ...
std::string screenshot_path(std::time_t when);

// Writes the frame as the layout shows it to `path` as an RGB PNG. False,
// with the reason in `problem`, when the file cannot be written.
bool write_screenshot(const std::string& path, const Frame& frame, const Layout& layout, Rgb ink, Rgb paper,
                      std::string& problem);
