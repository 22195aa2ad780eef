#include "offscreen.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "data_files.h"
#include "presenter.h"
#include "screen_modes.h"

namespace offscreen {

void start(Zx81& machine) {
    static bool started = false;
    if (!started) {
        install_allegro(SYSTEM_NONE, &errno, atexit);
        started = true;
    }
    for (int k = 0; k < KEY_MAX; ++k) key[k] = 0;
    const RomFile rom = read_rom_file(std::string(ORLIX_SHARED_DIR) + "/roms/zx81.rom");
    if (!rom.ok) ADD_FAILURE() << "cannot read the ROM";
    machine.model = Model::simple;
    machine.ram_kb = default_ram_kb;
    power_up(machine, rom.image);
}

void use_depth(Desktop& desktop, int depth) {
    set_color_depth(depth);
    desktop.true_colour = depth != 8;
    desktop.ink = 0;
    desktop.paper = 7;
    make_picture(desktop);
}

void use_screen(Desktop& desktop, View view, Size display, bool has_320x240) {
    drop_screen();
    desktop.view = view;
    desktop.layout = layout_for(view, display, has_320x240);
    screen = create_bitmap(desktop.layout.width, desktop.layout.height);
    clear_to_color(screen, makecol(1, 2, 3));
    make_picture(desktop);
}

void use_screen(Desktop& desktop, int mode) {
    use_screen(desktop, View{mode, 0});
}

void drop_screen() {
    if (screen) destroy_bitmap(screen);
    screen = nullptr;
}

}  // namespace offscreen
