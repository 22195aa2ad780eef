#include "screen_modes.h"

#include <allegro.h>

#include "display.h"
#include "reporters.h"

namespace {

bool try_mode(int card, int depth, int width, int height) {
    set_color_depth(depth);
    return set_gfx_mode(card, width, height, 0, 0) == 0;
}

}  // namespace

int set_screen_mode(int width, int height, bool full_screen) {
    true_colour = 0;
    if (!full_screen) {
        if (!try_mode(GFX_AUTODETECT_WINDOWED, 8, width, height)) {
            true_colour = 1;
            if (!try_mode(GFX_AUTODETECT_WINDOWED, 15, width, height) &&
                !try_mode(GFX_AUTODETECT_WINDOWED, 16, width, height))
                fatal_error("Wrong color depth!");
        }
    } else {
        true_colour = 1;
        if (!try_mode(GFX_AUTODETECT_FULLSCREEN, 15, 320, 240) &&
            !try_mode(GFX_AUTODETECT_FULLSCREEN, 16, 320, 240))
            fatal_error("no se puedo seleccionar full screen!");
    }
    set_window_title(window_title);
    if (picture) destroy_bitmap(picture);
    picture = create_bitmap(256, 192);
    setup_colours();
    // The glyphs hold pixel values of the old depth: build them for the new one.
    build_glyphs();
    return 1;
}

void set_screen_mode(int mode) {
    switch (mode) {
    case 0: set_screen_mode(297, 208, false); break;
    case 1: set_screen_mode(553, 400, false); break;
    default: set_screen_mode(320, 240, true); break;
    }
}
