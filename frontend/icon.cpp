#include "icon.h"

#include <allegro.h>
#include <xalleg.h>

#include <array>
#include <string>
#include <vector>

extern "C" {
extern char** allegro_icon;  // XPM data used by Allegro's X11 window
}

namespace {

// A ZX81 seen from above: black case, white keyboard rows, a red stripe.
std::vector<std::string> icon_rows() {
    std::vector<std::string> rows = {
        "32 32 4 1",
        "  c None",
        ". c #101010",
        "w c #E0E0E0",
        "r c #D00000",
    };
    for (int y = 0; y < 32; ++y) {
        std::string row(32, ' ');
        for (int x = 0; x < 32; ++x) {
            const bool body = x >= 1 && x <= 30 && y >= 6 && y <= 25;
            if (!body) continue;
            char c = '.';
            if (y >= 9 && y <= 10 && x >= 3 && x <= 28) c = 'r';
            const bool key_row = (y >= 13 && y <= 23) && ((y - 13) % 3 != 2);
            if (key_row && x >= 3 && x <= 28 && (x - 3) % 3 != 2) c = 'w';
            row[x] = c;
        }
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
