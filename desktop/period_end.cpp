#include "period_end.h"

#include <allegro.h>
#include <allegro/internal/aintern.h>  // _mouse_screen: where the pointer is shown

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>

#include "desktop.h"
#include "file_dialogs.h"
#include "host_keys.h"
#include "icon.h"
#include "input_events.h"
#include "key_sequence.h"
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

// This period's click, if there was one, on a toolbar button.
bool clicked(const Desktop& desktop, const std::optional<Click>& click, const toolbar::Rows& rows, int w) {
    return click && toolbar::over(rows, w, click->x, click->y, toolbar_scale(desktop));
}

void warn_file_failure(const char* what, const std::string& name, const FileResult& result) {
    if (!result.ok) warn(what + name + "\n" + result.reason);
}

void warn_tape_result(const TapeResult& result) {
    if (!result.ok) warn(result.message);
}

// The title says something for three seconds: where a picture went, what
// became of the sound.
void note_in_title(Desktop& desktop, const std::string& note) {
    if (!screen) return;
    desktop.title_shown = title_of(desktop).append(" - ").append(note);
    set_title(desktop.title_shown);
    desktop.title_note_periods = 300;
}

// Says something for a moment: in the title, or in full screen, where
// there is none, over the picture.
void tell(Desktop& desktop, const std::string& text) {
    if (desktop.layout.full_screen)
        show_note(desktop, text);
    else
        note_in_title(desktop, text);
}

// The program in memory came from, or went to, this file.
void name_program(Desktop& desktop, const std::string& path) {
    desktop.program_name = std::filesystem::path(path).filename().string();
}

// Loads the file the dialogs name; the title names it once it is in memory.
void load_named_file(Desktop& desktop, Zx81& machine) {
    const TapeResult loaded = load_program_file(machine, desktop.file_name);
    if (loaded.ok) name_program(desktop, desktop.file_name);
    warn_tape_result(loaded);
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
    load_named_file(desktop, machine);
    redraw_frame(desktop);
    return true;
}

// Save or load through the dialog; true when a file was chosen, false after
// Cancel. Either way the frame is redrawn.
bool program_file_action(Desktop& desktop, Zx81& machine, FileDialog kind) {
    show_mouse(nullptr);
    const bool chosen = choose_program_file(kind, desktop.file_name);
    if (chosen && kind == FileDialog::save) {
        const FileResult saved = save_program_file(machine, desktop.file_name);
        warn_file_failure("Cannot save ", desktop.file_name, saved);
        if (saved.ok) {
            name_program(desktop, desktop.file_name);
            tell(desktop, "saved " + desktop.file_name);
        }
    } else if (chosen) {
        load_named_file(desktop, machine);
    }
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
        name_program(desktop, result.path);
    } else {
        show_mouse(nullptr);
        warn(result.message);
    }
    redraw_frame(desktop);
}


// Print Screen or F10: the picture as shown, as a PNG. Where it went is said
// for a moment.
void take_screenshot(Desktop& desktop) {
    const std::string path = screenshot_path(std::time(nullptr));
    std::string problem;
    if (!write_screenshot(path, desktop.last_frame, desktop.layout, colour_table[desktop.ink],
                          colour_table[desktop.paper], problem)) {
        show_mouse(nullptr);
        warn("Cannot save " + path + "\n" + problem);
        redraw_frame(desktop);
    } else {
        tell(desktop, "saved " + path);
    }
}

// The window's title follows the model once the machine has switched.
// The window's title follows the model, the program and the debugger; a
// note in it stays its time first.
void refresh_title(Desktop& desktop, const Zx81& machine) {
    desktop.title_model = machine.model;
    if (!screen || desktop.title_note_periods > 0) return;
    std::string title = title_of(desktop);
    if (title == desktop.title_shown) return;
    desktop.title_shown = std::move(title);
    set_title(desktop.title_shown);
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
    desktop.debug_status = status;
}

// A setting changed in the window becomes the one remembered for the next
// run. A file that cannot be written is said once, on standard error.
void save_settings(Desktop& desktop, SettingField field) {
    std::string problem;
    if (desktop.settings_file.empty() || change_settings(desktop.settings_file, desktop.remembered, field, problem))
        return;
    if (!desktop.settings_unwritable) std::fprintf(stderr, "orlix: %s\n", problem.c_str());
    desktop.settings_unwritable = true;
}

// F12: the sound off, or on again as it was.
void toggle_sound(Desktop& desktop, Zx81& machine) {
    desktop.sound = desktop.sound == SoundMode::off ? desktop.sound_when_on : SoundMode::off;
    desktop.remembered.sound = desktop.sound;
    save_settings(desktop, SettingField::sound);
    apply_sound(desktop, machine);
    note_in_title(desktop, desktop.sound == SoundMode::off ? "sound off" : "sound on");
}

// The new colours, shown and remembered.
void colours_changed(Desktop& desktop) {
    desktop.remembered.ink = desktop.ink;
    desktop.remembered.paper = desktop.paper;
    build_pixel_patterns(desktop);
    redraw_frame(desktop);
    save_settings(desktop, SettingField::colours);
}

// Keys the ZX81's program never took within the feeder's time limit were
// let go; the user is told which.
void say_keys_given_up(Desktop& desktop, Zx81& machine) {
    std::vector<ZxKey>& given_up = machine.key_feeder.given_up;
    if (given_up.empty()) return;
    std::string names;
    for (ZxKey k : given_up) {
        if (!names.empty()) names += ' ';
        names += key_name(k);
    }
    given_up.clear();
    tell(desktop, "key " + names + " not taken: nothing read the keyboard");
}

// Shows the view, and remembers it for the next run.
void change_view(Desktop& desktop, View view) {
    show_mouse(nullptr);
    set_view(desktop, view);
    redraw_frame(desktop);
    desktop.remembered.view = desktop.view;
    save_settings(desktop, SettingField::view);
}

}  // namespace

void apply_sound(Desktop& desktop, Zx81& machine) {
    const int64_t now = static_cast<int64_t>(machine.cycles_run);
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
    ++desktop.frames_drawn;
    const Layout& layout = desktop.layout;
    const int w = screen ? screen->w : 0;
    // In full screen the pointer stays hidden while it is over the picture.
    show_pointer(!layout.full_screen || mouse_x >= toolbar::left(w));
    // A picture at rest costs nothing: no row changed, nothing drawn.
    if (!paint_frame(desktop, latest_frame(machine))) return;
    // The pointer must never be drawn into the picture while that is
    // copied: a hardware cursor never is, a software one is lifted off the
    // picture area just for the copy when it lies over it.
    if (pointer_is_shown() && !(gfx_capabilities & GFX_HW_CURSOR)) {
        scare_mouse_area(layout.area_x, layout.area_y, layout.area_width, layout.area_height);
        present_picture(desktop);
        unscare_mouse();
    } else {
        present_picture(desktop);
    }
    draw_note(desktop);
}

Step end_of_period(Desktop& desktop, Zx81& machine) {
    if (desktop.debugger) desktop.debugger->serve(machine);
    feed_host_keys(desktop.keyboard, machine);
    say_keys_given_up(desktop, machine);
    wait_for_tick();
    if (frame_due(desktop, machine)) draw_frame(desktop, machine);
    desktop.frame_parity = (desktop.frame_parity + 1) % 2;

    // Alt+F4 is looked at before anything else a key or click asks for.
    if (quit_requested() || take_quit_press()) return Step::stop;
    if (load_program_named_at_start(desktop, machine)) return Step::go_on;
    if (machine.tape.command.action != TapeAction::none) {
        serve_tape(desktop, machine);
        return Step::go_on;
    }

    // Function keys and toolbar buttons act once per press or click, taken
    // from the events, so that none is lost however short, and none repeats
    // however long it is held. One click a period.
    const int w = screen ? screen->w : 0;
    const std::optional<Click> click = take_click();
    if (take_key_press(KEY_F1) || clicked(desktop, click, toolbar::help, w)) {
        show_mouse(nullptr);
        warn(help_text_for(machine.model));
        redraw_frame(desktop);
    }
    if ((take_key_press(KEY_F2) || clicked(desktop, click, toolbar::save, w)) &&
        program_file_action(desktop, machine, FileDialog::save))
        return Step::go_on;
    if ((take_key_press(KEY_F3) || clicked(desktop, click, toolbar::load, w)) &&
        program_file_action(desktop, machine, FileDialog::open))
        return Step::go_on;
    if (take_key_press(KEY_F4) || clicked(desktop, click, toolbar::screen_mode, w))
        change_view(desktop, next_view(desktop.view, work_area_size()));
    // F11 goes into full screen and out, as on other desktop programs;
    // Escape (which the ZX81 has not) only out.
    const bool escape = take_key_press(KEY_ESC);
    if (take_key_press(KEY_F11))
        change_view(desktop, desktop.layout.full_screen ? desktop.window_view : View{full_screen_mode, 0});
    else if (escape && desktop.layout.full_screen)
        change_view(desktop, desktop.window_view);
    if (take_key_press(KEY_F5) || clicked(desktop, click, toolbar::reset, w)) {
        reset(machine);
        desktop.program_name.clear();
        return Step::go_on;
    }
    const bool colour_button = clicked(desktop, click, toolbar::colours, w);
    const bool ink_half = colour_button && toolbar::over_ink_half(w, click->x, toolbar_scale(desktop));
    if (take_key_press(KEY_F6) || ink_half) {
        desktop.ink = next_colour(desktop.ink, desktop.paper);
        colours_changed(desktop);
    }
    if (take_key_press(KEY_F7) || (colour_button && !ink_half)) {
        desktop.paper = next_colour(desktop.paper, desktop.ink);
        colours_changed(desktop);
    }
    if (take_key_press(KEY_F8) || clicked(desktop, click, toolbar::keyboard, w)) show_keyboard_picture(desktop);
    if (take_key_press(KEY_F12)) toggle_sound(desktop, machine);
    if (take_key_press(KEY_F9)) desktop.switch_model = !desktop.switch_model;
    // The switch goes to the machine when a frame has just been drawn: the
    // next period starts a frame of the other model.
    if (desktop.switch_model && desktop.frame_parity == 1) {
        request_model(machine, machine.requested_model == Model::simple ? Model::hardware : Model::simple);
        desktop.remembered.model = machine.requested_model;
        save_settings(desktop, SettingField::model);
        desktop.switch_model = false;
    }
    if (take_key_press(KEY_PRTSCR) || take_key_press(KEY_F10)) take_screenshot(desktop);
    show_debugger_in_title(desktop, machine);
    if (desktop.title_note_periods > 0) --desktop.title_note_periods;
    if (desktop.note_periods > 0 && --desktop.note_periods == 0) redraw_frame(desktop);
    refresh_title(desktop, machine);
    return Step::go_on;
}
