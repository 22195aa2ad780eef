#include "program.h"

#include <allegro.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "actions.h"
#include "allegro_glue.h"
#include "batch.h"
#include "data_files.h"
#include "desktop.h"
#include "host_keys.h"
#include "gamepad.h"
#include "instances.h"
#include "pacing.h"
#include "period_end.h"
#include "presenter.h"
#include "reporters.h"
#include "screen_modes.h"
#include "settings.h"
#include "title.h"
#include "zx81.h"

namespace {

// Starts the library. An X server that cannot take a new client for a
// moment (one resetting after its last client left, a desktop still
// starting) is tried again for up to two seconds; with no display named at
// all there is nothing to wait for.
bool start_allegro() {
    constexpr int tries = 20;
    for (int n = 1;; ++n) {
        if (allegro_init() == 0) return true;
        const char* display = std::getenv("DISPLAY");
        if (n == tries || !display || !*display) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

// The view to open with: on a first start (no settings file) and no --mode
// or --scale, a window as large as the desktop suits; else the view asked
// for or remembered, made smaller when it does not fit the work area.
View starting_view(const Options& options, bool first_start) {
    const Size area = work_area_size();
    if (first_start && !options.view_given) return first_start_view(area);
    const View fitted = fitting_view(options.view, area);
    if (!(fitted == options.view)) {
        const Layout asked = layout_for(options.view, area, false);
        const Layout given = layout_for(fitted, area, false);
        std::fprintf(stderr, "orlix: a %dx%d window does not fit the desktop's %dx%d work area; %dx%d (scale %d) instead\n",
                     asked.width, asked.height, area.width, area.height, given.width, given.height, given.scale);
    }
    return fitted;
}

}  // namespace

void machine_init(Desktop& d, Zx81& machine, const Options& options) {
    const RomFile rom = read_rom_file(options.rom);
    if (!rom.ok)
        fatal_error("Cannot load zx81.rom!\nPut your ZX81 ROM, zx81.rom, in ~/.local/share/orlix/ or "
                    "/usr/share/orlix/, or name it with --rom FILE.");
    configure(machine, options);
    // A key typed while nothing reads the keyboard is let go after a while,
    // with a note, rather than held until something does.
    machine.key_feeder.give_up_after = 5000 * key_cycles_per_ms;
    power_up(machine, rom.image);
    if (!options.tape.empty()) {
        std::string warnings;
        const TapeResult inserted = insert_tape_file(machine, options.tape, &warnings);
        if (!warnings.empty()) std::fprintf(stderr, "orlix: %s: %s\n", options.tape.c_str(), warnings.c_str());
        if (!inserted.ok) warn(inserted.message, d.layout.scale);
    }
    acquire_screen();
    clear_to_color(screen, d.colours[d.paper]);
    release_screen();
    d.ink = options.ink;
    d.paper = options.paper;
    build_pixel_patterns(d);
    paint_frame(d, latest_frame(machine));
    d.frame_parity = 0;
    load_toolbar(d, find_data_file("zxtool.pcx").path);
    redraw_frame(d);
}

int run_program(int argc, char** argv, const PeriodObserver& observer) {
    catch_quit_signals();
    // The program's state, and the machine's: both live as long as the run.
    const auto owned_desktop = std::make_unique<Desktop>();
    Desktop& desktop = *owned_desktop;
    const auto owned_machine = std::make_unique<Zx81>();
    Zx81& zx81 = *owned_machine;
    // A write past a file-size limit fails with an error the program
    // reports, rather than ending it with the work unsaved.
    std::signal(SIGXFSZ, SIG_IGN);
    std::string settings_problem;
    desktop.settings_file = settings_path();
    std::error_code no_file;
    const bool first_start = !std::filesystem::exists(std::filesystem::symlink_status(desktop.settings_file, no_file));
    desktop.remembered = read_settings(desktop.settings_file, settings_problem);
    CommandLine line = parse_command_line(argc, argv, desktop.remembered);
    // A headless run is the script's alone: the window's settings play no part.
    if (line.action == Action::run && line.options.headless) line = parse_command_line(argc, argv);
    switch (line.action) {
    case Action::help: std::fputs(usage_text(key_list_text()).c_str(), stdout); return 0;
    case Action::version: std::fputs(version_text, stdout); return 0;
    case Action::fail: std::fprintf(stderr, "orlix: %s\n", line.error.c_str()); return 2;
    case Action::run: break;
    }
    // A tape's list needs no ZX81.
    if (line.options.list_tape) return list_tape(line.options.tape);
    // The ROM is settled before any window: a file that is no ROM ends the
    // run here; one that is not found is reported in the window's box.
    const RomChoice rom = choose_rom(line.options.rom);
    if (!report_rom_choice(rom)) return 2;
    line.options.rom = rom.path;
    line.options.known_rom = rom.check.known();
    if (line.options.headless) {
        default_quit_signals();
        return run_headless(line.options);
    }
    // The stub listens before any window opens: a port it cannot have ends
    // the run here.
    if (line.options.gdb) {
        std::string problem;
        desktop.debugger = GdbStub::listen(
            gdb_settings(line.options.gdb_port, line.options.gdb_address, line.options.gdb_dezog), problem);
        if (!desktop.debugger) {
            std::fprintf(stderr, "orlix: %s\n", problem.c_str());
            return 2;
        }
        std::fprintf(stderr, "orlix: a debugger can attach on %s\n", desktop.debugger->where().c_str());
    }
    if (!settings_problem.empty()) std::fprintf(stderr, "orlix: %s\n", settings_problem.c_str());
    name_window();
    const InstanceNumber instance;  // held while the window is open
    hold_quit_signals();
    if (!start_allegro()) {
        std::fprintf(stderr, "%s\n", allegro_error);  // the library's own reason
        fatal_error("I Can't initialize Winallegro!");
    }
    install_keyboard();
    prepare_icon();
    desktop.title_model = line.options.model;
    desktop.machine_options = line.options;
    desktop.instance = instance.number();
    desktop.fitted = fitted_text(line.options);
    desktop.joystick = line.options.joystick;
    desktop.keyboard.arrows_move_stick = desktop.joystick != JoystickKind::none;
    if (desktop.joystick != JoystickKind::none) desktop.gamepad = start_gamepad();
    // Starting in full screen, F11 and Escape go back to the window a first
    // start would open, not to the smallest.
    desktop.window_view = first_start_view(work_area_size());
    set_view(desktop, starting_view(line.options, first_start));
    if (!icon_was_set()) warn("Cannot find Icon :-(", desktop.layout.scale);
    set_close_button_callback(request_quit);
    start_timer(desktop.pacing);
    install_mouse();
    start_input_events();
    enable_hardware_cursor();  // the X pointer itself where the driver allows
    show_mouse(screen);
    quit_on_signals();
    hold_input_thread();
    machine_init(desktop, zx81, line.options);
    desktop.program_to_load = line.options.program;
    desktop.save_format = line.options.save_format;
    desktop.printer_pages.file = line.options.printer_file;
    desktop.sound = line.options.sound;
    apply_sound(desktop, zx81);

    // Each period's sound goes to the device as soon as it is made.
    do {
        run_period(zx81);
        play_sound(desktop, zx81);
    } while (end_of_period(desktop, zx81) == Step::go_on && (!observer || observer(desktop, zx81)));

    release_input_thread();
    // What the printer put out and no page has taken yet is not lost.
    take_printout(desktop, zx81, true);
    if (desktop.debugger) desktop.debugger->finish(0);
    desktop.sound_device.reset();
    destroy_bitmap(desktop.picture);
    desktop.picture = nullptr;
    remove_keyboard();
    allegro_exit();
    return display_lost() ? 1 : 0;
}
