#include "overlays.h"

#include "data_files.h"
#include "display.h"
#include "reporters.h"

BITMAP* toolbar = nullptr;

const std::string help_text =
    "Orlix Mini Help\n\nOrlix - Freeware Sinclair ZX81 Emulator\n\nF1: Help\nF2: Save zx81 "
    "File\nF3; Load zx81 file\nF4: Cycle Screen Modes\nF5: Reset\nF6: Cycle Foreground "
    "Color\nF7: Cycle Background Color\nF8: Show Keyboard\n\nALT-F4 Exit\n\n\n"
    "Orlix for Linux: its own Z80 core\nand Allegro. Runs the ZX81 ROM.";

void load_toolbar(const std::string& path) {
    PALETTE unused;  // the picture's palette is read but not applied
    toolbar = load_pcx(path.c_str(), unused);
    if (!toolbar) warn("Cannot load toolbar gfx!");
}

void draw_toolbar() {
    if (!screen) return;
    const int w = screen->w;
    const int h = screen->h;
    rectfill(screen, w - toolbar_width, 0, w, h, colours[0]);
    if (!toolbar) return;
    blit(toolbar, screen, 0, 0, w - toolbar_width, 0, toolbar_width, toolbar_column_height);
    blit(toolbar, screen, 0, toolbar_corner_top, w - toolbar_width, h - toolbar_corner_size,
         toolbar_width, toolbar_corner_size);
}

void show_keyboard_picture() {
    PALETTE unused;
    BITMAP* keyboard = load_pcx(find_data_file("zx81key.pcx").path.c_str(), unused);
    if (!keyboard) {
        warn("Cannot load keyboard pic!");
        return;
    }
    show_mouse(nullptr);
    acquire_screen();
    stretch_blit(keyboard, screen, 0, 0, 565, 250, 0, 0, screen->w, screen->h);
    destroy_bitmap(keyboard);
    release_screen();

    // A key pressed before (still in the buffer) does not end the picture.
    clear_keybuf();
    while (!keypressed()) rest(10);
    const int pressed = readkey() >> 8;
    key[pressed] = 0;  // the key that closed the picture is not typed on the ZX81
    redraw_frame();
}
