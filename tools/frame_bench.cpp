// Cost of one frame: render_display and present_picture into a memory bitmap
// standing in for the screen, with a full display file of changing codes.
#include <allegro.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>

#include "display.h"
#include "memory_bus.h"

int main(int argc, char** argv) {
    const std::string rom = argc > 1 ? argv[1] : "../shared/roms/zx81.rom";
    install_allegro(SYSTEM_NONE, &errno, atexit);
    for (int depth : {8, 16}) {
        set_color_depth(depth);
        true_colour = depth != 8;
        picture = create_bitmap(256, 192);
        screen = create_bitmap(297, 208);
        setup_colours();
        load_rom(rom);
        build_glyphs();
        // A fully expanded display file at 0x4400 with every kind of code.
        memory[0x400C] = 0x00;
        memory[0x400D] = 0x44;
        memory[0x4400] = 0x76;
        for (int line = 0; line < 24; ++line) {
            for (int k = 0; k < 32; ++k) memory[0x4401 + 33 * line + k] = static_cast<uint8_t>(line * 32 + k);
            memory[0x4401 + 33 * line + 32] = 0x76;
        }
        for (int mode : {0, 1}) {
            screen_mode = mode;
            constexpr int frames = 5000;
            const auto start = std::chrono::steady_clock::now();
            for (int f = 0; f < frames; ++f) {
                render_display();
                present_picture();
            }
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("%2d bits, mode %d: %.4f ms per frame\n", depth, mode, seconds * 1000 / frames);
        }
        destroy_bitmap(screen);
        screen = nullptr;
        destroy_bitmap(picture);
        picture = nullptr;
    }
    return 0;
}
