#include "machine_loop.h"

#include <allegro.h>
#include <allegro/internal/aintern.h>  // _mouse_screen: where the pointer is shown

#include "display.h"
#include "file_dialogs.h"
#include "host_keys.h"
#include "memory_bus.h"
#include "overlays.h"
#include "program_files.h"
#include "reporters.h"
#include "screen_modes.h"
#include "z80.h"

std::atomic<int32_t> timer_ticks{0};
std::atomic<bool> quit_requested{false};
int frame_parity = 0;
int fkey_latch = 0;
std::string file_name;
std::string program_to_load;
std::atomic<uint64_t> cycles_run{0};
std::atomic<uint64_t> frames_drawn{0};

void timer_tick() {
    timer_ticks.fetch_add(1);
    timer_ticks.notify_one();
}

namespace {

constexpr int pointer_margin = 25;

// Sleeps until the timer has ticked, then drops every tick that piled up: a
// slow host or a long dialog never makes the emulation race to catch up.
void wait_for_tick() {
    while (timer_ticks.load() == 0 && !quit_requested.load()) timer_ticks.wait(0);
    timer_ticks.store(0);
}

// Whether Allegro is drawing the pointer now (other code shows and hides it).
bool pointer_is_shown() {
    return _mouse_screen != nullptr;
}

// Changes the pointer only when it must: needless hide/show pairs flicker.
void show_pointer(bool shown) {
    if (shown != pointer_is_shown()) show_mouse(shown ? screen : nullptr);
}

void draw_frame() {
    wait_for_tick();
    render_display();
    const int w = screen ? screen->w : 0;
    // In full screen the pointer stays hidden while it is over the picture.
    // Elsewhere it must only never be drawn into the picture while that is
    // copied: a hardware cursor never is, a software one is lifted off the
    // picture area just for the copy when it lies over it.
    show_pointer(screen_mode != 2 || mouse_x >= w - pointer_margin);
    if (pointer_is_shown() && !(gfx_capabilities & GFX_HW_CURSOR)) {
        const Placement& at = picture_placement[screen_mode];
        scare_mouse_area(at.x, at.y, 256 * at.scale, 192 * at.scale);
        present_picture();
        unscare_mouse();
    } else {
        present_picture();
    }
    frames_drawn.fetch_add(1);
}

// The primary button is down over a toolbar button.
bool clicked(const ToolbarButton& rows, int w) {
    return (mouse_b & 1) && mouse_x > w - 24 && mouse_y >= rows.top && mouse_y <= rows.bottom;
}

// Loads the program named on the command line once the ROM has started and
// waits at its K prompt, as F3 would load it; it becomes the name the dialogs
// offer. A ROM that never shows the prompt gets the program after 10 s.
bool load_program_named_at_start(int periods_run) {
    constexpr int longest_start = 1000;
    if (program_to_load.empty() || (!shows_k_prompt() && periods_run < longest_start))
        return false;
    file_name = program_to_load;
    program_to_load.clear();
    const FileResult result = load_program(file_name);
    if (!result.ok) warn("Cannot load " + file_name + "\n" + result.reason);
    return true;
}

// Save or load through the dialog; true when a file was chosen and the
// operation done (it redraws the frame itself), false after Cancel.
bool program_file_action(FileDialog kind) {
    show_mouse(nullptr);
    if (!choose_program_file(kind, file_name)) {
        redraw_frame();
        return false;
    }
    const FileResult result =
        kind == FileDialog::save ? save_program(file_name) : load_program(file_name);
    if (!result.ok)
        warn((kind == FileDialog::save ? "Cannot save " : "Cannot load ") + file_name + "\n" +
             result.reason);
    return true;
}

void next_screen_mode() {
    screen_mode = (screen_mode + 1) % 3;
    set_screen_mode(screen_mode);
    redraw_frame();
}

}  // namespace

uint16_t machine_loop(Z80State* state) {
    scan_keyboard();
    cycles_run.fetch_add(static_cast<uint64_t>(state->period_cycles - state->cycles_left));
    if (frame_parity == 0) draw_frame();
    frame_parity = (frame_parity + 1) % 2;

    if (quit_requested.load() ||
        (host_key_down(scancode::alt) && host_key_down(scancode::f4)))
        return IRQ_STOP;
    static int periods_run = 0;
    if (load_program_named_at_start(++periods_run)) return IRQ_NONE;

    const int w = screen ? screen->w : 0;
    if (host_key_down(scancode::f1) || clicked(toolbar_rows::help, w)) {
        show_mouse(nullptr);
        warn(help_text);
        redraw_frame();
    }
    if ((host_key_down(scancode::f2) || clicked(toolbar_rows::save, w)) &&
        program_file_action(FileDialog::save))
        return IRQ_NONE;
    if ((host_key_down(scancode::f3) || clicked(toolbar_rows::load, w)) &&
        program_file_action(FileDialog::open))
        return IRQ_NONE;
    // The screen-mode button acts once per click, like F4 once per press:
    // changing the mode on every call while the button is held would cycle
    // through the modes many times a second.
    static bool mode_button_was_down = false;
    const bool mode_button_down = clicked(toolbar_rows::screen_mode, w);
    const bool mode_button_pressed = mode_button_down && !mode_button_was_down;
    mode_button_was_down = mode_button_down;
    if (host_key_down(scancode::f4) || mode_button_pressed) {
        show_mouse(nullptr);
        release_host_key(scancode::f4);
        next_screen_mode();
        mode_button_was_down = (mouse_b & 1) != 0;
    }
    if (host_key_down(scancode::f5) || clicked(toolbar_rows::reset, w)) {
        memory_reset();
        z80_reset(state);
        return IRQ_NONE;
    }
    const bool colour_row = clicked(toolbar_rows::colours, w);
    if ((host_key_down(scancode::f6) && fkey_latch == 0) || (colour_row && mouse_x <= w - 12)) {
        ink = (ink + 1) % 16;
        build_glyphs();
        fkey_latch = 1;
    }
    if ((host_key_down(scancode::f7) && fkey_latch == 0) || (colour_row && mouse_x > w - 12)) {
        paper = (paper + 1) % 16;
        build_glyphs();
        redraw_frame();
        fkey_latch = 1;
    }
    if ((host_key_down(scancode::f8) && fkey_latch == 0) || clicked(toolbar_rows::keyboard, w)) {
        show_keyboard_picture();
        fkey_latch = 1;
    }
    if (!host_key_down(scancode::f4) && !host_key_down(scancode::f6) &&
        !host_key_down(scancode::f7) && !host_key_down(scancode::f8))
        fkey_latch = 0;
    return IRQ_NONE;
}
