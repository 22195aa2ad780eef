#include "overlays.h"

#include <allegro.h>

#include <algorithm>

#include "allegro_glue.h"
#include "data_files.h"
#include "desktop.h"
#include "host_keys.h"
#include "presenter.h"
#include "reporters.h"
#include "colours.h"
#include "toolbar_layout.h"

const std::string help_text =
    "Orlix Mini Help\n\nOrlix - Freeware Sinclair ZX81 Emulator\n\nF1: Help\nF2: Save zx81 "
    "File\nF3; Load zx81 file\nF4: Cycle Screen Modes\nF5: Reset\nF6: Cycle Foreground "
    "Color\nF7: Cycle Background Color\nF8: Show Keyboard\n\nALT-F4 Exit\n\n\n"
    "Orlix for Linux: its own Z80 core\nand Allegro. Runs the ZX81 ROM.";

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
        warn("Cannot load keyboard pic!", desktop.layout.scale);
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


