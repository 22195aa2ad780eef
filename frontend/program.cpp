#include "program.h"

#include <allegro.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>

#include "command_line.h"
#include "data_files.h"
#include "display.h"
#include "icon.h"
#include "machine_loop.h"
#include "memory_bus.h"
#include "overlays.h"
#include "reporters.h"
#include "screen_modes.h"
#include "z80.h"

namespace {

constexpr long timer_period = 23860;  // in units of 1/1,193,181 s: 50.0076 Hz

void on_close_button() {
    quit_requested.store(true);
    timer_ticks.fetch_add(1);  // wake a waiting frame
    timer_ticks.notify_one();
}

// The ROM named on the command line, or the first zx81.rom found. None found
// is fatal; standard error lists where it was looked for.
std::string rom_path(const Options& options) {
    if (!options.rom.empty()) return options.rom;
    const DataFile rom = find_data_file("zx81.rom");
    if (rom.path.empty()) {
        std::fprintf(stderr, "orlix: zx81.rom was looked for in:\n");
        for (const std::string& place : rom.looked) std::fprintf(stderr, "  %s\n", place.c_str());
    }
    return rom.path;
}

}  // namespace

void machine_init(const Options& options) {
    load_rom(rom_path(options));
    acquire_screen();
    clear_to_color(screen, colours[paper]);
    release_screen();
    build_glyphs();
    scan_keyboard();
    render_display();
    frame_parity = 0;
    key_rows.fill(0xFF);
    fkey_latch = 0;
    paper = 7;
    ink = 0;
    load_toolbar(find_data_file("zxtool.pcx").path);
    redraw_frame();
}

int run_program(int argc, char** argv) {
    const CommandLine line = parse_command_line(argc, argv);
    switch (line.action) {
    case Action::help: std::fputs(usage_text().c_str(), stdout); return 0;
    case Action::version: std::fputs(version_text, stdout); return 0;
    case Action::fail: std::fprintf(stderr, "orlix: %s\n", line.error.c_str()); return 2;
    case Action::run: break;
    }
    paper = 7;
    ink = 0;
    true_colour = 0;
    if (allegro_init() != 0) {
        std::fprintf(stderr, "%s\n", allegro_error);  // the library's own reason
        fatal_error("I Can't initialize Winallegro!");
    }
    install_keyboard();
    prepare_icon();
    screen_mode = line.options.screen_mode;
    set_screen_mode(screen_mode);
    set_window_title(window_title);
    if (!icon_was_set()) warn("Cannot find Icon :-(");
    set_close_button_callback(on_close_button);
    install_timer();
    timer_ticks.store(1);  // the first frame is drawn at once, not a tick later
    install_int_ex(timer_tick, timer_period);
    install_mouse();
    enable_hardware_cursor();  // the X pointer itself where the driver allows
    show_mouse(screen);
    machine_init(line.options);
    program_to_load = line.options.program;

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
