#include "screen_modes.h"

#include <allegro.h>
#include <xalleg.h>

#include <algorithm>

#include "desktop.h"
#include "icon.h"
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

void set_view(Desktop& desktop, View view) {
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
    set_window_title(title_of(desktop).c_str());
    set_window_icons();
    set_box_scale(layout.scale);
    make_picture(desktop);
}

std::string title_of(const Desktop& desktop) {
    std::string title = title_for(desktop.title_model, desktop.ram_kb);
    if (!desktop.debug_status.empty()) title.append(" - ").append(desktop.debug_status);
    return title;
}
