#include "headless.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "presenter.h"
#include "screen_modes.h"

namespace headless {

void start() {
    static bool started = false;
    if (!started) {
        install_allegro(SYSTEM_NONE, &errno, atexit);
        started = true;
    }
    for (int k = 0; k < KEY_MAX; ++k) key[k] = 0;
    const RomFile rom = read_rom_file(std::string(ORLIX_SHARED_DIR) + "/roms/zx81.rom");
    if (!rom.ok) ADD_FAILURE() << "cannot read the ROM";
    power_up(zx81, rom.image);
}

void use_depth(Desktop& desktop, int depth) {
    set_color_depth(depth);
    desktop.true_colour = depth != 8;
    if (desktop.picture) destroy_bitmap(desktop.picture);
    desktop.picture = create_bitmap(256, 192);
    desktop.ink = 0;
    desktop.paper = 7;
    setup_colours(desktop);
}

void use_screen(Desktop& desktop, int mode) {
    drop_screen();
    screen = create_bitmap(screen_modes[mode].width, screen_modes[mode].height);
    clear_to_color(screen, makecol(1, 2, 3));
    desktop.screen_mode = mode;
}

void drop_screen() {
    if (screen) destroy_bitmap(screen);
    screen = nullptr;
}

}  // namespace headless
