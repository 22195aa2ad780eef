#include "icon.h"

#include <allegro.h>
#include <xalleg.h>

#include <cstdio>
#include <string>
#include <vector>

#include "icon_art.h"

extern "C" {
extern char** allegro_icon;  // XPM data used by Allegro's X11 window
}

namespace {

// The icon as XPM text, the form Allegro's X11 window takes.
std::vector<std::string> icon_rows() {
    std::vector<std::string> rows = {"32 32 4 1", "  c None"};
    for (const icon_art::Colour& c : icon_art::colours) {
        char line[16];
        std::snprintf(line, sizeof line, "%c c #%02X%02X%02X", c.key, c.r, c.g, c.b);
        rows.push_back(line);
    }
    for (int y = 0; y < icon_art::size; ++y) {
        std::string row(icon_art::size, ' ');
        for (int x = 0; x < icon_art::size; ++x) row[x] = icon_art::pixel(x, y);
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> storage;
std::vector<char*> pointers;

}  // namespace

void prepare_icon() {
    storage = icon_rows();
    pointers.clear();
    for (std::string& s : storage) pointers.push_back(s.data());
    allegro_icon = pointers.data();
}

bool icon_was_set() {
    if (!_xwin.display || !_xwin.wm_window) return false;
    XWMHints* hints = XGetWMHints(_xwin.display, _xwin.wm_window);
    if (!hints) return false;
    const bool set = (hints->flags & IconPixmapHint) && hints->icon_pixmap != 0;
    XFree(hints);
    return set;
}
