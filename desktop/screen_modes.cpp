#include "screen_modes.h"

#include <allegro.h>
#include <xalleg.h>
#include <allegro/platform/aintunix.h>  // XLOCK: Allegro's own thread uses the display too
#include <X11/Xatom.h>

#include <algorithm>
#include <vector>

#include "desktop.h"
#include "icon.h"
#include "pacing.h"
#include "input_events.h"
#include "overlays.h"
#include "presenter.h"
#include "reporters.h"

namespace {

bool try_mode(int card, int depth, int width, int height) {
    set_color_depth(depth);
    return set_gfx_mode(card, width, height, 0, 0) == 0;
}

// Whether the display can switch to 320x240; a display that cannot (a
// modern X server) would show a small box in a corner.
bool has_320x240_mode() {
    GFX_MODE_LIST* list = get_gfx_mode_list(GFX_XWINDOWS_FULLSCREEN);
    if (!list) return false;
    bool found = false;
    for (int i = 0; i < list->num_modes; ++i)
        found = found || (list->mode[i].width == 320 && list->mode[i].height == 240);
    destroy_gfx_mode_list(list);
    return found;
}

}  // namespace

Size desktop_size() {
    if (!_xwin.display) return {0, 0};
    const int number = DefaultScreen(_xwin.display);
    return {DisplayWidth(_xwin.display, number), DisplayHeight(_xwin.display, number)};
}

Size work_area_size() {
    const Size whole = desktop_size();
    if (!_xwin.display) return whole;
    Display* display = _xwin.display;
    const Window root = RootWindow(display, DefaultScreen(display));
    // A CARDINAL list property of the root window, as the window manager
    // sets it; empty when there is none.
    const auto cardinals = [&](const char* name) {
        std::vector<long> values;
        const Atom property = XInternAtom(display, name, True);
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (property != None &&
            XGetWindowProperty(display, root, property, 0, 1024, False, XA_CARDINAL, &type, &format, &count, &after,
                               &data) == Success &&
            data && format == 32) {
            const long* items = reinterpret_cast<const long*>(data);  // format 32 comes as longs
            values.assign(items, items + count);
        }
        if (data) XFree(data);
        return values;
    };
    XLOCK();
    const std::vector<long> areas = cardinals("_NET_WORKAREA");
    const std::vector<long> current = cardinals("_NET_CURRENT_DESKTOP");
    XUNLOCK();
    // x, y, width, height for each virtual desktop.
    const size_t at = 4 * static_cast<size_t>(current.empty() ? 0 : std::max(0L, current[0]));
    if (areas.size() < at + 4 || areas[at + 2] <= 0 || areas[at + 3] <= 0) return whole;
    return {static_cast<int>(std::min<long>(areas[at + 2], whole.width)),
            static_cast<int>(std::min<long>(areas[at + 3], whole.height))};
}

namespace {

// Whether the keyboard's focus is on one of the program's windows.
bool has_focus() {
    if (!_xwin.display) return false;
    Window focused = None;
    int revert = 0;
    XLOCK();
    XGetInputFocus(_xwin.display, &focused, &revert);
    XUNLOCK();
    return focused != None && (focused == _xwin.wm_window || focused == _xwin.window || focused == _xwin.fs_window);
}

// A window made anew, or unmapped and mapped again, loses the focus it had,
// which a window manager would give back but an X server alone does not:
// the keys typed next would go nowhere. It takes the focus back, once it
// can be seen.
void take_focus_back() {
    const Window window = _xwin.fs_window ? _xwin.fs_window : _xwin.wm_window;
    if (!_xwin.display || !window) return;
    XLOCK();
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(_xwin.display, window, &attributes) && attributes.map_state == IsViewable)
        XSetInputFocus(_xwin.display, window, RevertToParent, CurrentTime);
    XFlush(_xwin.display);
    XUNLOCK();
}

}  // namespace

void set_view(Desktop& desktop, View view) {
    input_window_changed();
    const bool focused = has_focus();
    const Layout layout = layout_for(view, desktop_size(), view.mode == full_screen_mode && has_320x240_mode());
    desktop.view = view;
    desktop.layout = layout;
    desktop.true_colour = false;
    if (!layout.full_screen) {
        if (!try_mode(GFX_AUTODETECT_WINDOWED, 8, layout.width, layout.height)) {
            desktop.true_colour = true;
            if (!try_mode(GFX_AUTODETECT_WINDOWED, 15, layout.width, layout.height) &&
                !try_mode(GFX_AUTODETECT_WINDOWED, 16, layout.width, layout.height))
                fatal_error("Wrong color depth!");
        }
    } else {
        desktop.true_colour = true;
        if (!try_mode(GFX_AUTODETECT_FULLSCREEN, 15, layout.width, layout.height) &&
            !try_mode(GFX_AUTODETECT_FULLSCREEN, 16, layout.width, layout.height))
            fatal_error("no se puedo seleccionar full screen!");
    }
    if (focused) take_focus_back();
    input_window_changed();
    desktop.title_shown = title_of(desktop);
    set_title(desktop.title_shown);
    set_window_icons();
    watch_display();
    set_box_scale(layout.scale);
    make_picture(desktop);
    if (layout.full_screen)
        show_note(desktop, "F11 or Escape: back to the window");
    else
        desktop.window_view = view;
}

std::string title_of(const Desktop& desktop) {
    std::string title = title_for(desktop.title_model, desktop.ram_kb, desktop.program_name);
    if (!desktop.debug_status.empty()) title.append(" - ").append(desktop.debug_status);
    return title;
}
