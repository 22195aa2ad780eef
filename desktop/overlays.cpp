#include "overlays.h"

#include <allegro.h>

#include <algorithm>

#include "data_files.h"
#include "pacing.h"
#include "desktop.h"
#include "presenter.h"
#include "reporters.h"
#include "toolbar_layout.h"
#include "host_keys.h"

const std::string help_text =
    "Orlix Mini Help\n\nOrlix - Freeware Sinclair ZX81 Emulator\n\nF1: Help\nF2: Save zx81 "
    "File\nF3; Load zx81 file\nF4: Cycle Screen Modes\nF5: Reset\nF6: Cycle Foreground "
    "Color\nF7: Cycle Background Color\nF8: Show Keyboard\n\nALT-F4 Exit\n\n\n"
    "Orlix for Linux: its own Z80 core\nand Allegro. Runs the ZX81 ROM.";

const std::string key_help =
    "Keys: as on the ZX81, Shift being\nSHIFT, ; being the . key; . , ' =\n"
    "- / and the keypad as printed.\nSAVE/LOAD \"NAME\": NAME.P files.\n"
    "F10, Print Screen: picture as PNG.\n\nOrlix is free software, MIT licence.";

std::string help_text_for(Model model) {
    const Model other = model == Model::simple ? Model::hardware : Model::simple;
    return help_text + "\n\nRunning the " + model_name(model) + " model.\nF9: the " +
           model_name(other) + " model\n\n" + key_help;
}

void load_toolbar(Desktop& desktop, const std::string& path) {
    PALETTE unused;  // the picture's palette is read but not applied
    desktop.toolbar = load_pcx(path.c_str(), unused);
    if (!desktop.toolbar) warn("Cannot load toolbar gfx!");
}

void draw_toolbar(const Desktop& desktop) {
    if (!screen) return;
    const int w = screen->w;
    const int h = screen->h;
    const int scale = std::max(1, desktop.layout.toolbar_scale);
    const int left = toolbar::left(w, scale);
    rectfill(screen, left, 0, w, h, desktop.colours[0]);
    if (!desktop.toolbar) return;
    stretch_blit(desktop.toolbar, screen, 0, 0, toolbar::width, toolbar::column_height, left, 0,
                 toolbar::width * scale, toolbar::column_height * scale);
    stretch_blit(desktop.toolbar, screen, 0, toolbar::corner_top, toolbar::width, toolbar::corner_size, left,
                 h - toolbar::corner_size * scale, toolbar::width * scale, toolbar::corner_size * scale);
}

KeyboardPicture keyboard_picture_for(int width, int height) {
    const int small_scale = std::max(1, std::min(width / small_keyboard_width, height / small_keyboard_height));
    const int large_scale = std::min(width / keyboard_picture_width, height / keyboard_picture_height);
    // The large picture's 8-pixel labels against the small one's 5-pixel ones.
    if (large_scale >= 1 && 8 * large_scale >= 5 * small_scale) return {"zx81key.pcx", large_scale, false};
    if (small_scale == 1 && 10 * width >= 9 * keyboard_picture_width) return {"zx81key.pcx", 0, true};
    return {"zx81keys.pcx", small_scale, false};
}

void show_keyboard_picture(Desktop& desktop) {
    const InputThreadRuns input;  // the picture waits on Allegro's own key state
    if (!screen) return;
    const KeyboardPicture choice = keyboard_picture_for(screen->w, screen->h);
    PALETTE unused;
    BITMAP* keyboard = load_pcx(find_data_file(choice.file).path.c_str(), unused);
    if (!keyboard) {
        warn("Cannot load keyboard pic!");
        return;
    }
    show_mouse(nullptr);
    acquire_screen();
    if (choice.stretched) {
        stretch_blit(keyboard, screen, 0, 0, keyboard->w, keyboard->h, 0, 0, screen->w, screen->h);
    } else {
        const int w = keyboard->w * choice.scale;
        const int h = keyboard->h * choice.scale;
        clear_to_color(screen, desktop.colours[8]);
        stretch_blit(keyboard, screen, 0, 0, keyboard->w, keyboard->h, (screen->w - w) / 2, (screen->h - h) / 2,
                     w, h);
    }
    destroy_bitmap(keyboard);
    release_screen();

    // A key pressed before (still in the buffer) does not end the picture.
    clear_keybuf();
    while (!keypressed() && !quit_requested()) rest(10);
    if (keypressed()) {
        const int pressed = readkey() >> 8;
        key[pressed] = 0;  // the key that closed the picture is not typed on the ZX81
    }
    forget_key_events();
    redraw_frame(desktop);
}

void show_note(Desktop& desktop, const std::string& text) {
    desktop.note = text;
    desktop.note_periods = note_periods;
    draw_note(desktop);
}

void draw_note(const Desktop& desktop) {
    if (!screen || desktop.note_periods <= 0 || desktop.note.empty()) return;
    // Allegro's 8-pixel font, white on black, at about half the picture's
    // scale, at the foot of the screen.
    const int scale = std::max(1, (desktop.layout.scale + 1) / 2);
    const int w = text_length(font, desktop.note.c_str()) + 8;
    const int h = text_height(font) + 6;
    BITMAP* note = create_bitmap(w, h);
    if (!note) return;
    clear_to_color(note, makecol(0, 0, 0));
    textout_ex(note, font, desktop.note.c_str(), 4, 3, makecol(255, 255, 255), -1);
    const int x = std::max(0, (screen->w - w * scale) / 2);
    const int y = std::max(0, screen->h - (h + 4) * scale);
    acquire_screen();
    stretch_blit(note, screen, 0, 0, w, h, x, y, w * scale, h * scale);
    release_screen();
    destroy_bitmap(note);
}
