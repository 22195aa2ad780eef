#include "actions.h"

#include <allegro.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "desktop.h"
#include "file_dialogs.h"
#include "gamepad.h"
#include "overlays.h"
#include "presenter.h"
#include "reporters.h"
#include "screen_modes.h"
#include "screenshot.h"
#include "title.h"
#include "colours.h"
#include "toolbar_layout.h"
#include "window_tapes.h"

namespace {

// The toolbar's regions: at the strip's scale in windows, at the right edge
// of the screen in full screen, where the strip is not drawn.
int toolbar_scale(const Desktop& desktop) {
    return std::max(1, desktop.layout.toolbar_scale);
}

// A click of this period on a toolbar button, or on one half of the colour
// button.
enum class Half { whole, ink, paper };
bool clicked(const Desktop& desktop, const std::optional<Click>& click, const toolbar::Rows& rows, Half half) {
    const int w = screen ? screen->w : 0;
    if (!click || !toolbar::over(rows, w, click->x, click->y, toolbar_scale(desktop))) return false;
    if (half == Half::whole) return true;
    return toolbar::over_ink_half(w, click->x, toolbar_scale(desktop)) == (half == Half::ink);
}

// Shows the view, and remembers it for the next run.
void change_view(Desktop& desktop, View view) {
    show_mouse(nullptr);
    set_view(desktop, view);
    redraw_frame(desktop);
    desktop.remembered.view = desktop.view;
    save_settings(desktop, SettingField::view);
}

// The new colours, shown and remembered.
void colours_changed(Desktop& desktop) {
    desktop.remembered.ink = desktop.ink;
    desktop.remembered.paper = desktop.paper;
    build_pixel_patterns(desktop);
    redraw_frame(desktop);
    save_settings(desktop, SettingField::colours);
}

// Save or load through the dialog; true when a file was chosen, false after
// Cancel. Either way the frame is redrawn.
bool program_file_action(Desktop& desktop, Zx81& machine, FileDialog kind) {
    show_mouse(nullptr);
    const std::string before = desktop.file_name;
    const bool chosen = choose_program_file(kind, desktop.file_name, desktop.layout.scale);
    if (chosen && kind == FileDialog::save) {
        const FileResult saved = save_program_file(machine, desktop.file_name);
        if (!saved.ok) warn("Cannot save " + desktop.file_name + "\n" + saved.reason, desktop.layout.scale);
        if (saved.ok) {
            name_program(desktop, desktop.file_name);
            tell(desktop, "saved " + desktop.file_name);
        }
    } else if (chosen && !load_named_file(desktop, machine)) {
        // A file refused (or no program picked) leaves the folder that
        // SAVE "NAME" writes to, and the name offered, as they were.
        desktop.file_name = before;
    }
    redraw_frame(desktop);
    return chosen;
}

After help(Desktop& desktop, Zx81& machine) {
    show_mouse(nullptr);
    warn(help_text_for(machine.model), desktop.layout.scale);
    redraw_frame(desktop);
    return After::next;
}

After save(Desktop& desktop, Zx81& machine) {
    return program_file_action(desktop, machine, FileDialog::save) ? After::period_over : After::next;
}

After load(Desktop& desktop, Zx81& machine) {
    return program_file_action(desktop, machine, FileDialog::open) ? After::period_over : After::next;
}

After next_screen_mode(Desktop& desktop, Zx81&) {
    change_view(desktop, next_view(desktop.view, work_area_size()));
    return After::next;
}

After full_screen(Desktop& desktop, Zx81&) {
    change_view(desktop, desktop.layout.full_screen ? desktop.window_view : View{full_screen_mode, 0});
    return After::next;
}

After leave_full_screen(Desktop& desktop, Zx81&) {
    if (desktop.layout.full_screen) change_view(desktop, desktop.window_view);
    return After::next;
}

After reset_machine(Desktop& desktop, Zx81& machine) {
    reset(machine);
    desktop.program_name.clear();
    return After::period_over;
}

After next_ink(Desktop& desktop, Zx81&) {
    desktop.ink = next_colour(desktop.ink, desktop.paper);
    colours_changed(desktop);
    return After::next;
}

After next_paper(Desktop& desktop, Zx81&) {
    desktop.paper = next_colour(desktop.paper, desktop.ink);
    colours_changed(desktop);
    return After::next;
}

After keyboard_picture(Desktop& desktop, Zx81&) {
    show_keyboard_picture(desktop);
    return After::next;
}

// The switch goes to the machine when a frame has just been drawn (see
// end_of_period): the next period starts a frame of the other model.
After other_model(Desktop& desktop, Zx81&) {
    desktop.switch_model = !desktop.switch_model;
    return After::next;
}

// A picture of the screen as shown, as a PNG; where it went is said for a
// moment.
After screenshot(Desktop& desktop, Zx81&) {
    const std::string path = screenshot_path(std::time(nullptr));
    std::string problem;
    if (!write_screenshot(path, desktop.last_frame, desktop.layout, colour_table[desktop.ink],
                          colour_table[desktop.paper], problem)) {
        warn_over_picture(desktop, "Cannot save " + path + "\n" + problem);
    } else {
        tell(desktop, "saved " + path);
    }
    return After::next;
}

// The sound off, or on again as it was.
After toggle_sound(Desktop& desktop, Zx81& machine) {
    desktop.sound = desktop.sound == SoundMode::off ? desktop.sound_when_on : SoundMode::off;
    desktop.remembered.sound = desktop.sound;
    save_settings(desktop, SettingField::sound);
    apply_sound(desktop, machine);
    if (desktop.sound == SoundMode::off && !desktop.layout.full_screen)
        desktop.title_note_periods = 0;  // the title says "sound off" for as long as it is
    else
        tell(desktop, desktop.sound == SoundMode::off ? "sound off" : "sound on");
    return After::next;
}

// With a joystick fitted: the arrows and Right Ctrl move it, or press the
// ZX81's 5 6 7 8 again for a program that reads them as keys.
After toggle_arrows(Desktop& desktop, Zx81&) {
    if (desktop.joystick == JoystickKind::none) return After::next;
    HostKeyboard& keyboard = desktop.keyboard;
    keyboard.arrows_move_stick = !keyboard.arrows_move_stick;
    keyboard.stick = {};
    tell(desktop, keyboard.arrows_move_stick ? "the arrows move the joystick" : "the arrows are keys 5 6 7 8");
    return After::next;
}

// What is fitted, chosen in a dialog: the ZX81 starts again with it, and
// the settings keep it.
After expansions(Desktop& desktop, Zx81& machine) {
    MachineOptions options = desktop.machine_options;
    const bool chosen = choose_expansions(options, desktop.layout.scale);
    redraw_frame(desktop);
    if (!chosen) return After::next;
    RomImage rom{};
    std::copy_n(machine.memory.begin(), rom.size(), rom.begin());  // the ROM, which no write changes
    desktop.machine_options = options;
    configure(machine, options);
    power_up(machine, rom);
    desktop.fitted = fitted_text(options);
    desktop.joystick = options.joystick;
    desktop.keyboard.arrows_move_stick = options.joystick != JoystickKind::none;
    desktop.keyboard.stick = {};
    if (desktop.joystick != JoystickKind::none && !desktop.gamepad) desktop.gamepad = start_gamepad();
    desktop.program_name.clear();
    settings_from_machine(options, desktop.remembered);
    save_settings(desktop, SettingField::ram);
    save_settings(desktop, SettingField::expansions);
    return After::period_over;
}

struct Action {
    const char* keys;             // as the help names them
    int key, other_key;           // Allegro's codes; 0 for none
    const toolbar::Rows* button;  // the toolbar button; null for none
    Half half;                    // the part of the button
    bool in_help_text;            // the F1 box's own text names it already
    const char* help;             // what it does
    After (*run)(Desktop&, Zx81&);
};

// In the order the period takes them. Alt+F4 comes before all of them.
const Action actions[] = {
    {"F1", KEY_F1, 0, &toolbar::help, Half::whole, true, "help", help},
    {"F2", KEY_F2, 0, &toolbar::save, Half::whole, true, "save the program (.P, .81, or a tape: .WAV, .TZX, .P81)",
     save},
    {"F3", KEY_F3, 0, &toolbar::load, Half::whole, true, "load a program or a tape", load},
    {"F4", KEY_F4, 0, &toolbar::screen_mode, Half::whole, true,
     "next screen mode (0, 1, 2, then each larger window scale that fits the desktop)", next_screen_mode},
    {"F11", KEY_F11, 0, nullptr, Half::whole, false, "full screen, and back to the window", full_screen},
    {"Escape", KEY_ESC, 0, nullptr, Half::whole, false, "in full screen, back to the window", leave_full_screen},
    {"F5", KEY_F5, 0, &toolbar::reset, Half::whole, true, "reset", reset_machine},
    {"F6", KEY_F6, 0, &toolbar::colours, Half::ink, true, "next ink colour", next_ink},
    {"F7", KEY_F7, 0, &toolbar::colours, Half::paper, true, "next paper colour", next_paper},
    {"F8", KEY_F8, 0, &toolbar::keyboard, Half::whole, true, "keyboard picture", keyboard_picture},
    {"F12", KEY_F12, 0, nullptr, Half::whole, false, "sound off, and on again", toggle_sound},
    {"F9", KEY_F9, 0, nullptr, Half::whole, false, "the other model (simple or hardware)", other_model},
    {"F10 or Print Screen", KEY_F10, KEY_PRTSCR, nullptr, Half::whole, false, "a picture of the screen (a PNG)",
     screenshot},
    {"Insert", KEY_INSERT, 0, nullptr, Half::whole, false,
     "expansions: RAM, Chroma 81, a character board, a joystick, ZXpand, the printer", expansions},
    {"Scroll Lock", KEY_SCRLOCK, 0, nullptr, Half::whole, false,
     "with --joystick: the arrows and Right Ctrl as keys 5 6 7 8, and back to the joystick", toggle_arrows},
};

// Alt+F4, which end_of_period looks at before everything: for the help.
constexpr const char* quit_keys = "Alt+F4";
constexpr const char* quit_help = "quit";

// How the host keys type, for --help.
constexpr const char* typing_help =
    "letters, digits, Enter, Space, Shift, and the key right of L\n"
    "  the ZX81 keys in the same places, Shift being SHIFT (so Shift+K is +,\n"
    "  Shift+P is \"); the key right of L is the ZX81 . key, with Shift the ,\n"
    ". , ' = - / and the keypad's * + - / . and digits\n"
    "  the character printed on the key, host Shift as printed:\n"
    "  . , < > \" = + - / ? *\n"
    "Backspace: RUBOUT (SHIFT+0)\n"
    "arrow keys: 5, 6, 7, 8 (hold Shift for the ZX81 cursor moves)\n";

// How the host keys type, in short, for the F1 box.
constexpr const char* key_help =
    "Keys: as on the ZX81, Shift being\nSHIFT, ; being the . key; . , ' =\n"
    "- / and the keypad as printed.\nBackspace: RUBOUT. Arrows: 5 6 7 8,\nor the joystick (Right Ctrl fires).\n"
    "SAVE/LOAD \"NAME\": files, tapes.\n\nOrlix is free software, MIT licence.";

}  // namespace

After run_actions(Desktop& desktop, Zx81& machine, const std::optional<Click>& click) {
    for (const Action& action : actions) {
        // A press taken acts once; one after an action that ended the
        // period waits for the next.
        const bool pressed = take_key_press(action.key) | (action.other_key && take_key_press(action.other_key));
        if (!pressed && !(action.button && clicked(desktop, click, *action.button, action.half))) continue;
        if (action.run(desktop, machine) == After::period_over) return After::period_over;
    }
    return After::next;
}

std::string help_text_for(Model model) {
    std::string text = help_text + "\n\nRunning the " + model_name(model) + " model.\n";
    for (const Action& action : actions)
        if (!action.in_help_text) text.append(action.keys).append(": ").append(action.help).append("\n");
    return text + "\n" + key_help;
}

std::string key_list_text() {
    std::string text;
    for (const char* c = typing_help; *c; ++c) {
        if (c == typing_help || c[-1] == '\n') text += "  ";
        text += *c;
    }
    for (const Action& action : actions) text.append("  ").append(action.keys).append(" ").append(action.help).append("\n");
    text.append("  ").append(quit_keys).append(" ").append(quit_help).append("\n");
    text += "  The buttons at the right of the window do what F1 to F8 do.\n";
    return text;
}

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

void save_settings(Desktop& desktop, SettingField field) {
    std::string problem;
    if (desktop.settings_file.empty() || change_settings(desktop.settings_file, desktop.remembered, field, problem))
        return;
    if (!desktop.settings_unwritable) std::fprintf(stderr, "orlix: %s\n", problem.c_str());
    desktop.settings_unwritable = true;
}
