#include "screen_modes.h"

#include <allegro.h>

#include "allegro_glue.h"
#include "desktop.h"
#include "presenter.h"
#include "reporters.h"
#include "title.h"

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
    show_title(desktop);
    set_window_icons();
    watch_display();
    make_picture(desktop);
    // The toolbar's picture was made at the depth of the screen it was
    // loaded for: full screen and the window may differ (15 or 16 bits
    // against 8), and a picture of another depth would draw as stripes.
    if (desktop.toolbar && bitmap_color_depth(desktop.toolbar) != bitmap_color_depth(screen)) {
        destroy_bitmap(desktop.toolbar);
        desktop.toolbar = nullptr;
        load_toolbar(desktop, desktop.toolbar_path);
    }
    if (layout.full_screen)
        show_note(desktop, "F11 or Escape: back to the window");
    else
        desktop.window_view = view;
}
