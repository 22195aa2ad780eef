// Cost of one frame: the display file decoded into a frame, painted into the
// picture in the user's colours and placed on a memory bitmap standing in for
// the screen. A full display file whose every line changes from one frame to
// the next (the most a frame can cost), and the same frame again (a picture
// at rest, where nothing is drawn), in each mode, a window at three times,
// and full screen on 1920x1080 and 3840x2160 desktops.
#include <allegro.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "data_files.h"
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
    const auto machine = std::make_unique<Zx81>();
    Zx81& zx81 = *machine;
    power_up(zx81, rom.image);
    // Two fully expanded display files with every kind of code, at 0x4400
    // and 0x4800, the second's every line unlike the first's: D_FILE
    // pointing at one, then the other, changes every line of the frame.
    Memory& memory = zx81.memory;
    for (const int file : {0x4400, 0x4800}) {
        memory[static_cast<size_t>(file)] = 0x76;
        for (int line = 0; line < 24; ++line) {
            const int at = file + 1 + 33 * line;
            for (int k = 0; k < 32; ++k)
                memory[static_cast<size_t>(at + k)] = static_cast<uint8_t>(line * 32 + k + (file == 0x4800));
            memory[static_cast<size_t>(at + 32)] = 0x76;
        }
    }
    const auto show_display_file = [&](int file) {
        memory[sysvar::d_file] = static_cast<uint8_t>(file & 0xFF);
        memory[sysvar::d_file + 1] = static_cast<uint8_t>(file >> 8);
    };
    struct Case {
        View view;
        Size desktop;
    };
    const Case cases[] = {{{0, 0}, {1920, 1080}}, {{1, 0}, {1920, 1080}}, {{0, 3}, {1920, 1080}},
                          {{2, 0}, {1920, 1080}}, {{2, 0}, {3840, 2160}}};
    for (int depth : {8, 16}) {
        set_color_depth(depth);
        for (const Case& c : cases) {
            // Full screen at 8 bits is never used: it takes 15 or 16.
            if (c.view.mode == full_screen_mode && depth == 8) continue;
            Desktop desktop;
            desktop.true_colour = depth != 8;
            desktop.view = c.view;
            desktop.layout = layout_for(c.view, c.desktop, false);
            screen = create_bitmap(desktop.layout.width, desktop.layout.height);
            make_picture(desktop);
            const auto per_frame = [&](bool changing) {
                const int frames = changing ? 2000 : 20000;
                const auto start = std::chrono::steady_clock::now();
                for (int f = 0; f < frames; ++f) {
                    show_display_file(changing && f % 2 ? 0x4800 : 0x4400);
                    paint_frame(desktop, latest_frame(zx81));
                    present_picture(desktop);
                }
                const double seconds =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                return seconds * 1000 / frames;
            };
            const double changing = per_frame(true);
            const double resting = per_frame(false);
            std::printf("%2d bits, %s %dx%d (scale %d): %.4f ms per frame changing, %.5f ms at rest\n", depth,
                        desktop.layout.full_screen ? "full screen" : "window", desktop.layout.width,
                        desktop.layout.height, desktop.layout.scale, changing, resting);
            destroy_bitmap(screen);
            screen = nullptr;
            destroy_bitmap(desktop.picture);
        }
    }
    return 0;
}
