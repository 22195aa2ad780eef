#include "period_end.h"

#include <allegro.h>
#include <allegro/internal/aintern.h>  // _mouse_screen: where the pointer is shown

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "desktop.h"
#include "file_dialogs.h"
#include "host_keys.h"
#include "overlays.h"
#include "pacing.h"
#include "presenter.h"
#include "reporters.h"
#include "screen_modes.h"
#include "screenshot.h"
#include "settings.h"
#include "tape_files.h"
#include "toolbar_layout.h"
#include "zx81.h"

namespace {

// Whether Allegro is drawing the pointer now (other code shows and hides it).
bool pointer_is_shown() {
    return _mouse_screen != nullptr;
}

// Changes the pointer only when it must: needless hide/show pairs flicker.
void show_pointer(bool shown) {
    if (shown != pointer_is_shown()) show_mouse(shown ? screen : nullptr);
}

// The toolbar's regions: at the strip's scale in windows, at the right edge
// of the screen in full screen, where the strip is not drawn.
int toolbar_scale(const Desktop& desktop) {
    return std::max(1, desktop.layout.toolbar_scale);
}

// The primary button is down over a toolbar button.
bool clicked(const Desktop& desktop, const toolbar::Rows& rows, int w) {
    return (mouse_b & 1) && toolbar::over(rows, w, mouse_x, mouse_y, toolbar_scale(desktop));
}

void warn_file_failure(const char* what, const std::string& name, const FileResult& result) {
    if (!result.ok) warn(what + name + "\n" + result.reason);
}

void warn_tape_result(const TapeResult& result) {
    if (!result.ok) warn(result.message);
}

// Loads the program named on the command line once the ROM has started and
// waits at its K prompt, as F3 would load it; it becomes the name the dialogs
// offer. A ROM that never shows the prompt gets the program after 10 s.
bool load_program_named_at_start(Desktop& desktop, Zx81& machine) {
    constexpr int longest_start = 1000;
    if (desktop.program_to_load.empty()) return false;
    if (!shows_k_prompt(machine.memory) && ++desktop.periods_run < longest_start) return false;
    desktop.file_name = desktop.program_to_load;
    desktop.program_to_load.clear();
    warn_tape_result(load_program_file(machine, desktop.file_name));
    redraw_frame(desktop);
    return true;
}

// Save or load through the dialog; true when a file was chosen, false after
// Cancel. Either way the frame is redrawn.
bool program_file_action(Desktop& desktop, Zx81& machine, FileDialog kind) {
    show_mouse(nullptr);
    const bool chosen = choose_program_file(kind, desktop.file_name);
    if (chosen && kind == FileDialog::save)
        warn_file_failure("Cannot save ", desktop.file_name, save_program_file(machine, desktop.file_name));
    else if (chosen)
        warn_tape_result(load_program_file(machine, desktop.file_name));
    redraw_frame(desktop);
    return chosen;
}

// Whether this period ends with a frame shown: in the hardware model each
// frame the television ends (about 50 a second), or every other period when
// the program makes none; in the simple model every other period.
bool frame_due(Desktop& desktop, const Zx81& machine) {
    if (machine.model == Model::simple) return desktop.frame_parity == 0;
    const bool new_frame = machine.ula.frames != desktop.frames_presented;
    desktop.frames_presented = machine.ula.frames;
    if (new_frame) desktop.periods_without_frame = 0;
    return new_frame || ++desktop.periods_without_frame % 2 == 0;
}

// The folder where LOAD and SAVE typed at the ZX81 find and put files: the
// folder of the program last loaded or saved, else the working folder.
std::string tape_folder(const Desktop& desktop) {
    const std::string folder = std::filesystem::path(desktop.file_name).parent_path().string();
    return folder.empty() ? "." : folder;
}

// Serves a LOAD or SAVE that the ZX81 waits on. LOAD "" asks for the file
// in the F3 dialog; Cancel there is BREAK. A failure says why, and the ZX81
// shows report D.
void serve_tape(Desktop& desktop, Zx81& machine) {
    const TapeCommand& command = machine.tape.command;
    TapeResult result;
    if (command.action == TapeAction::load && command.name.empty() && !deck_has_next_program(machine)) {
        show_mouse(nullptr);
        if (!choose_program_file(FileDialog::open, desktop.file_name)) {
            break_tape_command(machine);
            redraw_frame(desktop);
            return;
        }
        result = load_tape_file(machine, desktop.file_name);
    } else {
        result = serve_tape_command(machine, tape_folder(desktop), desktop.save_format);
    }
    if (result.ok) {
        desktop.file_name = result.path;
    } else {
        show_mouse(nullptr);
        warn(result.message);
    }
    redraw_frame(desktop);
}

// The title says something for three seconds: where a picture went, what
// became of the sound.
void note_in_title(Desktop& desktop, const std::string& note) {
    if (!screen) return;
    set_window_title((title_of(desktop) + " - " + note).c_str());
    desktop.title_note_periods = 300;
}

// Print Screen or F10: the picture as shown, as a PNG. Where it went is said
// in the title for three seconds, or in full screen, where there is none, in
// a message.
void take_screenshot(Desktop& desktop) {
    const std::string path = screenshot_path(std::time(nullptr));
    std::string problem;
    if (!write_screenshot(path, desktop.last_frame, desktop.layout, colour_table[desktop.ink],
                          colour_table[desktop.paper], problem)) {
        show_mouse(nullptr);
        warn("Cannot save " + path + "\n" + problem);
        redraw_frame(desktop);
    } else if (desktop.layout.full_screen) {
        show_mouse(nullptr);
        warn("Saved " + path);
        redraw_frame(desktop);
    } else {
        note_in_title(desktop, "saved " + path);
    }
}

// The window's title follows the model once the machine has switched.
void show_model_in_title(Desktop& desktop, Model model) {
    if (desktop.title_model == model) return;
    desktop.title_model = model;
    if (screen) set_window_title(title_of(desktop).c_str());
}

// The debugger's client, answered; the title says it is there, and where
// it holds the machine stopped.
void show_debugger_in_title(Desktop& desktop, const Zx81& machine) {
    if (!desktop.debugger) return;
    std::string status;
    if (machine.debug.stopped) {
        char text[32];
        std::snprintf(text, sizeof text, "stopped at PC=%04X", machine.cpu.PC.w);
        status = text;
    } else if (desktop.debugger->attached()) {
        status = "debugger attached";
    }
    if (status == desktop.debug_status) return;
    desktop.debug_status = status;
    if (screen && desktop.title_note_periods == 0) set_window_title(title_of(desktop).c_str());
}

// A setting changed in the window becomes the one remembered for the next
// run. A file that cannot be written is said once, on standard error.
void save_settings(Desktop& desktop) {
    std::string problem;
    if (desktop.settings_file.empty() || write_settings(desktop.settings_file, desktop.remembered, problem)) return;
    if (!desktop.settings_unwritable) std::fprintf(stderr, "orlix: %s\n", problem.c_str());
    desktop.settings_unwritable = true;
}

// F12: the sound off, or on again as it was.
void toggle_sound(Desktop& desktop, Zx81& machine) {
    desktop.sound = desktop.sound == SoundMode::off ? desktop.sound_when_on : SoundMode::off;
    desktop.remembered.sound = desktop.sound;
    save_settings(desktop);
    apply_sound(desktop, machine);
    note_in_title(desktop, desktop.sound == SoundMode::off ? "sound off" : "sound on");
}

void next_screen_mode(Desktop& desktop) {
    set_view(desktop, next_view(desktop.view, desktop_size()));
    redraw_frame(desktop);
    desktop.remembered.view = desktop.view;
    save_settings(desktop);
}

}  // namespace

void apply_sound(Desktop& desktop, Zx81& machine) {
    const int64_t now = static_cast<int64_t>(machine.cycles_run.load());
    if (desktop.sound != SoundMode::off) desktop.sound_when_on = desktop.sound;
    machine.sound.frame_syncs = desktop.sound == SoundMode::mic;
    if (desktop.sound != SoundMode::off && !desktop.sound_device_tried) {
        desktop.sound_device_tried = true;
        std::string problem;
        desktop.sound_device = SoundDevice::open(problem);
        if (!desktop.sound_device) std::fprintf(stderr, "orlix: no sound (%s); running silently\n", problem.c_str());
    }
    if (!desktop.sound_device) return;
    const bool off = desktop.sound == SoundMode::off;
    set_sample_rate(machine.sound, off ? 0 : desktop.sound_device->rate(), now);
    desktop.sound_device->pause(off);
}

void play_sound(Desktop& desktop, Zx81& machine) {
    if (desktop.sound_device && desktop.sound != SoundMode::off)
        machine.sound.rate_trim = desktop.sound_device->play(machine.sound.samples);
    machine.sound.samples.clear();
}

void draw_frame(Desktop& desktop, Zx81& machine) {
    paint_frame(desktop, latest_frame(machine));
    const Layout& layout = desktop.layout;
    const int w = screen ? screen->w : 0;
    // In full screen the pointer stays hidden while it is over the picture.
    // Elsewhere it must only never be drawn into the picture while that is
    // copied: a hardware cursor never is, a software one is lifted off the
    // picture area just for the copy when it lies over it.
    show_pointer(!layout.full_screen || mouse_x >= toolbar::left(w));
    if (pointer_is_shown() && !(gfx_capabilities & GFX_HW_CURSOR)) {
        scare_mouse_area(layout.area_x, layout.area_y, layout.area_width, layout.area_height);
        present_picture(desktop);
        unscare_mouse();
    } else {
        present_picture(desktop);
    }
    desktop.frames_drawn.fetch_add(1);
}

Step end_of_period(Desktop& desktop, Zx81& machine) {
    if (desktop.debugger) desktop.debugger->serve(machine);
    set_keys(machine, scan_host_keys(desktop.keyboard));
    wait_for_tick();
    if (frame_due(desktop, machine)) draw_frame(desktop, machine);
    desktop.frame_parity = (desktop.frame_parity + 1) % 2;

    if (quit_requested() || (host_key_down(scancode::alt) && host_key_down(scancode::f4)))
        return Step::stop;
    if (load_program_named_at_start(desktop, machine)) return Step::go_on;
    if (machine.tape.command.action != TapeAction::none) {
        serve_tape(desktop, machine);
        return Step::go_on;
    }

    const int w = screen ? screen->w : 0;
    if (host_key_down(scancode::f1) || clicked(desktop, toolbar::help, w)) {
        show_mouse(nullptr);
        warn(help_text_for(machine.model));
        redraw_frame(desktop);
    }
    if ((host_key_down(scancode::f2) || clicked(desktop, toolbar::save, w)) &&
        program_file_action(desktop, machine, FileDialog::save))
        return Step::go_on;
    if ((host_key_down(scancode::f3) || clicked(desktop, toolbar::load, w)) &&
        program_file_action(desktop, machine, FileDialog::open))
        return Step::go_on;
    // The screen-mode button acts once per click, like F4 once per press:
    // changing the mode on every period while the button is held would cycle
    // through the modes many times a second.
    const bool mode_button_down = clicked(desktop, toolbar::screen_mode, w);
    const bool mode_button_pressed = mode_button_down && !desktop.mode_button_was_down;
    desktop.mode_button_was_down = mode_button_down;
    if (host_key_down(scancode::f4) || mode_button_pressed) {
        show_mouse(nullptr);
        release_host_key(scancode::f4);
        next_screen_mode(desktop);
        desktop.mode_button_was_down = (mouse_b & 1) != 0;
    }
    if (host_key_down(scancode::f5) || clicked(desktop, toolbar::reset, w)) {
        reset(machine);
        return Step::go_on;
    }
    const bool colour_button = clicked(desktop, toolbar::colours, w);
    bool colours_changed = false;
    if ((host_key_down(scancode::f6) && desktop.fkey_latch == 0) ||
        (colour_button && toolbar::over_ink_half(w, mouse_x, toolbar_scale(desktop)))) {
        desktop.ink = (desktop.ink + 1) % 16;
        desktop.remembered.ink = desktop.ink;
        colours_changed = true;
        build_pixel_patterns(desktop);
        desktop.fkey_latch = 1;
    }
    if ((host_key_down(scancode::f7) && desktop.fkey_latch == 0) ||
        (colour_button && !toolbar::over_ink_half(w, mouse_x, toolbar_scale(desktop)))) {
        desktop.paper = (desktop.paper + 1) % 16;
        desktop.remembered.paper = desktop.paper;
        colours_changed = true;
        build_pixel_patterns(desktop);
        redraw_frame(desktop);
        desktop.fkey_latch = 1;
    }
    if (colours_changed) save_settings(desktop);
    if ((host_key_down(scancode::f8) && desktop.fkey_latch == 0) || clicked(desktop, toolbar::keyboard, w)) {
        show_keyboard_picture(desktop);
        desktop.fkey_latch = 1;
    }
    if (host_key_down(scancode::f12) && desktop.fkey_latch == 0) {
        toggle_sound(desktop, machine);
        desktop.fkey_latch = 1;
    }
    if (host_key_down(scancode::f9) && desktop.fkey_latch == 0) {
        desktop.switch_model = !desktop.switch_model;
        desktop.fkey_latch = 1;
    }
    // The switch goes to the machine when a frame has just been drawn: the
    // next period starts a frame of the other model.
    if (desktop.switch_model && desktop.frame_parity == 1) {
        request_model(machine, machine.requested_model == Model::simple ? Model::hardware : Model::simple);
        desktop.remembered.model = machine.requested_model;
        save_settings(desktop);
        desktop.switch_model = false;
    }
    const bool picture_key = host_key_down(scancode::print_screen) || host_key_down(scancode::f10);
    if (picture_key && desktop.fkey_latch == 0) {
        take_screenshot(desktop);
        desktop.fkey_latch = 1;
    }
    if (!host_key_down(scancode::f4) && !host_key_down(scancode::f6) && !host_key_down(scancode::f7) &&
        !host_key_down(scancode::f8) && !host_key_down(scancode::f9) && !host_key_down(scancode::f12) &&
        !picture_key)
        desktop.fkey_latch = 0;
    show_model_in_title(desktop, machine.model);
    show_debugger_in_title(desktop, machine);
    if (desktop.title_note_periods > 0 && --desktop.title_note_periods == 0 && screen)
        set_window_title(title_of(desktop).c_str());
    return Step::go_on;
}
