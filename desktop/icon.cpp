#include "icon.h"

#include <allegro.h>
#include <xalleg.h>
#include <X11/Xatom.h>
#include <allegro/platform/aintunix.h>  // XLOCK: Allegro's own thread uses the display too

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

void name_window() {
    xwin_set_window_name("orlix", "Orlix");
}

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

void set_window_icons() {
    if (!_xwin.display || !_xwin.wm_window) return;
    // In full screen the window shown is another one, which Allegro leaves
    // without a name, class or icon: it gets the same as the other.
    const Window shown[] = {_xwin.wm_window, _xwin.fs_window};
    // Width, height, then the pixels, for each size; Xlib takes 32-bit
    // properties as longs.
    std::vector<unsigned long> data;
    for (int n : {16, 32, 48, 64}) {
        data.push_back(static_cast<unsigned long>(n));
        data.push_back(static_cast<unsigned long>(n));
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) data.push_back(icon_art::argb(x, y, n));
    }
    XLOCK();
    const Atom net_wm_icon = XInternAtom(_xwin.display, "_NET_WM_ICON", False);
    char name[] = "orlix", class_name[] = "Orlix";
    XClassHint class_hint{name, class_name};
    for (Window window : shown) {
        if (!window) continue;
        XChangeProperty(_xwin.display, window, net_wm_icon, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
        if (window != _xwin.wm_window) XSetClassHint(_xwin.display, window, &class_hint);
    }
    XFlush(_xwin.display);
    XUNLOCK();
}

void set_title(const std::string& title) {
    set_window_title(title.c_str());
    if (!_xwin.display || !_xwin.fs_window) return;
    XLOCK();
    XStoreName(_xwin.display, _xwin.fs_window, title.c_str());
    XFlush(_xwin.display);
    XUNLOCK();
}
