#include "zx81_harness.h"

#include <cerrno>
#include <sstream>

#include "z80.h"

namespace {
int periods_left = 0;
}

uint16_t machine_loop(Z80State*) {
    scan_keyboard();
    return --periods_left > 0 ? IRQ_NONE : IRQ_STOP;
}

namespace harness {

std::string shared_path(const std::string& relative) {
    return std::string(ORLIX_SHARED_DIR) + "/" + relative;
}

void power_up(int depth) {
    static bool started = false;
    if (!started) {
        install_allegro(SYSTEM_NONE, &errno, atexit);
        started = true;
    }
    set_color_depth(depth);
    true_colour = depth == 8 ? 0 : 1;
    if (picture) destroy_bitmap(picture);
    picture = create_bitmap(256, 192);
    ink = 0;
    paper = 7;
    screen_mode = 0;
    setup_colours();
    for (int k = 0; k < KEY_MAX; ++k) key[k] = 0;
    load_rom(shared_path("roms/zx81.rom"));
    build_glyphs();
    cpu = Z80State{};
    cpu.period_cycles = 32000;
    z80_reset(&cpu);
}

void run_periods(int periods) {
    periods_left = periods;
    z80_run(&cpu);
}

void boot() {
    run_periods(200);
}

void press(std::initializer_list<int> keys) {
    for (int k : keys) key[k] = 1;
    run_periods(10);
    for (int k : keys) key[k] = 0;
    run_periods(10);
}

void type(std::initializer_list<int> keys) {
    for (int k : keys) press({k});
}

uint8_t screen_code(int column, int line) {
    return display_code(column, line);
}

std::string screen_dump() {
    std::ostringstream out;
    for (int line = 0; line < 24; ++line) {
        for (int column = 0; column < 32; ++column) {
            const uint8_t code = screen_code(column, line);
            out << (code == 0 ? "." : std::to_string(code)) << ' ';
        }
        out << '\n';
    }
    return out.str();
}

}  // namespace harness
