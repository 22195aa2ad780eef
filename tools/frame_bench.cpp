// Cost of one frame: the display file decoded into a frame, painted into the
// picture in the user's colours and placed on a memory bitmap standing in for
// the screen, with a full display file of changing codes.
#include <allegro.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>

#include "desktop.h"
#include "presenter.h"
#include "screen_modes.h"
#include "zx81.h"

int main(int argc, char** argv) {
    const std::string rom_path = argc > 1 ? argv[1] : "../shared/roms/zx81.rom";
    const RomFile rom = read_rom_file(rom_path);
    if (!rom.ok) {
        std::fprintf(stderr, "frame_bench: cannot read %s\n", rom_path.c_str());
        return 2;
    }
    install_allegro(SYSTEM_NONE, &errno, atexit);
    power_up(zx81, rom.image);
    // A fully expanded display file at 0x4400 with every kind of code.
    Memory& memory = zx81.memory;
    memory[0x400C] = 0x00;
    memory[0x400D] = 0x44;
    memory[0x4400] = 0x76;
    for (int line = 0; line < 24; ++line) {
        for (int k = 0; k < 32; ++k) memory[0x4401 + 33 * line + k] = static_cast<uint8_t>(line * 32 + k);
        memory[0x4401 + 33 * line + 32] = 0x76;
    }
    for (int depth : {8, 16}) {
        set_color_depth(depth);
        const View views[] = {{0, 0}, {1, 0}, {0, 3}};
        for (const View& view : views) {
            Desktop desktop;
            desktop.true_colour = depth != 8;
            desktop.view = view;
            desktop.layout = layout_for(view, Size{1920, 1080}, true);
            screen = create_bitmap(desktop.layout.width, desktop.layout.height);
            make_picture(desktop);
            constexpr int frames = 5000;
            const auto start = std::chrono::steady_clock::now();
            for (int f = 0; f < frames; ++f) {
                paint_frame(desktop, latest_frame(zx81));
                present_picture(desktop);
            }
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("%2d bits, %dx%d (scale %d): %.4f ms per frame\n", depth, desktop.layout.width,
                        desktop.layout.height, desktop.layout.scale, seconds * 1000 / frames);
            destroy_bitmap(screen);
            screen = nullptr;
            destroy_bitmap(desktop.picture);
        }
    }
    return 0;
}
