#include "screen_modes.h"

#include <allegro.h>

#include "desktop.h"
#include "display_file.h"
#include "presenter.h"
#include "reporters.h"

namespace {

bool try_mode(int card, int depth, int width, int height) {
    set_color_depth(depth);
    return set_gfx_mode(card, width, height, 0, 0) == 0;
}

}  // namespace

void set_screen_mode(Desktop& desktop, int mode_number) {
    const ScreenMode& mode = screen_modes[mode_number];
    desktop.screen_mode = mode_number;
    desktop.true_colour = false;
    if (!mode.full_screen) {
        if (!try_mode(GFX_AUTODETECT_WINDOWED, 8, mode.width, mode.height)) {
            desktop.true_colour = true;
            if (!try_mode(GFX_AUTODETECT_WINDOWED, 15, mode.width, mode.height) &&
                !try_mode(GFX_AUTODETECT_WINDOWED, 16, mode.width, mode.height))
                fatal_error("Wrong color depth!");
        }
    } else {
        desktop.true_colour = true;
        if (!try_mode(GFX_AUTODETECT_FULLSCREEN, 15, mode.width, mode.height) &&
            !try_mode(GFX_AUTODETECT_FULLSCREEN, 16, mode.width, mode.height))
            fatal_error("no se puedo seleccionar full screen!");
    }
    set_window_title(title_for(desktop.title_model, desktop.ram_kb).c_str());
    if (desktop.picture) destroy_bitmap(desktop.picture);
    desktop.picture = create_bitmap(frame_width, frame_height);
    // The colours and pixel patterns hold values of the old depth.
    setup_colours(desktop);
}

std::string title_for(Model model, int ram_kb) {
    std::string title = window_title;
    const char* separator = " - ";
    if (model != Model::simple) {
        title.append(separator).append(model_name(model)).append(" model");
        separator = ", ";
    }
    if (ram_kb != default_ram_kb) title.append(separator).append(std::to_string(ram_kb)).append("K");
    return title;
}
