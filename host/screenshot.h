// A picture of the ZX81's screen as a PNG file (Print Screen or F10): what
// the view shows of the television picture, border included, at the view's
// scale, in the user's ink and paper.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "display_file.h"
#include "view.h"
#include "colours.h"

// PREFIXYYYYMMDD-HHMMSS.png (local time) in the pictures folder (below); a
// name already taken gets -2, -3, ...
std::string picture_path(const std::string& prefix, std::time_t when);
// orlix-YYYYMMDD-HHMMSS.png, as above.
std::string screenshot_path(std::time_t when);

// Pixels (a byte each, grey, or three, RGB; rows top to bottom) as the
// bytes of a PNG file; empty when it cannot be made.
std::vector<uint8_t> png_of(const std::vector<uint8_t>& pixels, int width, int height, bool grey);

// Where pictures go: $XDG_PICTURES_DIR, else the Pictures folder named in
// user-dirs.dirs ($XDG_CONFIG_HOME, else ~/.config), as `xdg-user-dir
// PICTURES` gives it, when it exists; else the working folder (".").
std::string pictures_folder();

// The frame as the layout shows it, as the bytes of an RGB PNG file; empty
// when it cannot be made.
std::vector<uint8_t> screenshot_png(const Frame& frame, const Layout& layout, Rgb ink, Rgb paper);

// Writes that PNG to `path`, whole or not at all (write_whole_file): a
// folder, a FIFO or a device is refused and left alone. False, with the
// reason in `problem`, when the file cannot be written.
bool write_screenshot(const std::string& path, const Frame& frame, const Layout& layout, Rgb ink, Rgb paper,
                      std::string& problem);

// Writes the bytes of a PNG file (empty: it could not be made, for want of
// memory) to `path` as write_screenshot does.
bool write_png_file(const std::string& path, const std::vector<uint8_t>& png, std::string& problem);
