#include "program.h"

#include <allegro.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>

#include "display.h"
#include "icon.h"
#include "machine_loop.h"
#include "memory_bus.h"
#include "overlays.h"
#include "reporters.h"
#include "screen_modes.h"
#include "z80.h"

#ifndef ORLIX_DATA_DIR
#define ORLIX_DATA_DIR "/usr/local/share/orlix"
#endif

namespace {

constexpr long timer_period = 23860;  // in units of 1/1,193,181 s: 50.0076 Hz

void on_close_button() {
    quit_requested.store(true);
    timer_ticks.fetch_add(1);  // wake a waiting frame
    timer_ticks.notify_one();
}

}  // namespace

std::string find_data_file(const std::string& name) {
    namespace fs = std::filesystem;
    if (fs::exists(name)) return name;
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        // Beside the program (the build tree), or in the share folder of the
        // prefix it was installed into.
        for (const fs::path& folder : {exe.parent_path(), exe.parent_path() / "../share/orlix"})
            if (fs::exists(folder / name)) return (folder / name).string();
    }
    const fs::path installed = fs::path(ORLIX_DATA_DIR) / name;
    if (fs::exists(installed)) return installed.string();
    return name;
}

void machine_init() {
    load_rom();
    acquire_screen();
    clear_to_color(screen, colours[paper]);
    release_screen();
    build_glyphs();
    scan_keyboard();
    render_display();
    frame_parity = 0;
    screen_mode = 0;
    key_rows.fill(0xFF);
    fkey_latch = 0;
    paper = 7;
    ink = 0;
    load_toolbar(find_data_file("zxtool.pcx"));
    redraw_frame();
}

int run_program() {
    paper = 7;
    ink = 0;
    true_colour = 0;
    if (allegro_init() != 0) {
        std::fprintf(stderr, "%s\n", allegro_error);  // the library's own reason
        fatal_error("I Can't initialize Winallegro!");
    }
    install_keyboard();
    prepare_icon();
    set_screen_mode(297, 208, false);
    set_window_title(window_title);
    if (!icon_was_set()) warn("Cannot find Icon :-(");
    set_close_button_callback(on_close_button);
    install_timer();
    timer_ticks.store(0);
    install_int_ex(timer_tick, timer_period);
    install_mouse();
    enable_hardware_cursor();  // the X pointer itself where the driver allows
    show_mouse(screen);
    machine_init();

    cpu = Z80State{};
    cpu.period_cycles = 32000;
    z80_reset(&cpu);
    z80_run(&cpu);

    destroy_bitmap(picture);
    picture = nullptr;
    destroy_glyphs();
    remove_keyboard();
    allegro_exit();
    return 0;
}
