#include "display.h"

#include <cstdint>

#include "memory_bus.h"
#include "overlays.h"

std::array<int, 16> colours;
int ink = 0;
int paper = 7;
int screen_mode = 0;
int true_colour = 0;
BITMAP* picture = nullptr;

namespace {

std::array<BITMAP*, 256> glyphs{};

constexpr uint16_t character_set = 0x1E00;
constexpr uint16_t d_file = 0x400C;  // system variable: address of the display file
constexpr uint8_t newline = 0x76;
constexpr int columns = 32;
constexpr int lines = 24;

struct Rect {
    int x1, y1, x2, y2;  // both corners inclusive
};
// Top, bottom, left and right borders of each mode.
constexpr Rect borders[3][4] = {
    {{0, 0, 272, 7}, {0, 199, 272, 208}, {0, 0, 6, 248}, {263, 0, 272, 208}},
    {{0, 0, 528, 6}, {0, 391, 528, 400}, {0, 0, 6, 400}, {519, 0, 528, 400}},
    {{0, 0, 319, 22}, {0, 215, 319, 239}, {0, 0, 30, 239}, {287, 0, 319, 239}},
};

}  // namespace

void setup_colours() {
    if (!true_colour) {
        PALETTE palette;
        get_palette(palette);
        for (int i = 0; i < 16; ++i) {
            // Allegro palettes hold 6-bit components.
            palette[first_palette_entry + i].r = static_cast<unsigned char>(colour_table[i].r >> 2);
            palette[first_palette_entry + i].g = static_cast<unsigned char>(colour_table[i].g >> 2);
            palette[first_palette_entry + i].b = static_cast<unsigned char>(colour_table[i].b >> 2);
            colours[i] = first_palette_entry + i;
        }
        set_palette(palette);
    } else {
        for (int i = 0; i < 16; ++i)
            colours[i] = makecol(colour_table[i].r, colour_table[i].g, colour_table[i].b);
    }
}

void destroy_glyphs() {
    for (BITMAP*& g : glyphs) {
        if (g) destroy_bitmap(g);
        g = nullptr;
    }
}

void build_glyphs() {
    destroy_glyphs();
    const int paper_colour = colours[paper];
    const int ink_colour = colours[ink];
    for (BITMAP*& g : glyphs) {
        g = create_bitmap(8, 8);
        clear_to_color(g, paper_colour);
    }
    // Codes 0-63 are the ROM's characters, 128-191 the same inverted; the
    // rest stay blank paper squares.
    for (int c = 0; c < 64; ++c) {
        clear_to_color(glyphs[c], paper_colour);
        clear_to_color(glyphs[c + 128], ink_colour);
        for (int y = 0; y < 8; ++y) {
            const uint8_t row = mem_read(static_cast<uint16_t>(character_set + 8 * c + y));
            for (int x = 0; x < 8; ++x) {
                if (row & (0x80 >> x)) {
                    putpixel(glyphs[c], x, y, ink_colour);
                    putpixel(glyphs[c + 128], x, y, paper_colour);
                }
            }
        }
    }
}

namespace {

// One line of the display file: where it starts, how many codes it shows
// and where the next one starts. A line ends at its NEWLINE: short lines (a
// collapsed display file) show paper beyond it. A line with no NEWLINE in its
// 33 bytes shows 32 codes and the next starts 33 bytes on.
struct DisplayLine {
    uint16_t start;
    int length;
    uint16_t next;
};

DisplayLine display_line(uint16_t start) {
    for (int k = 0; k <= columns; ++k)
        if (mem_read(static_cast<uint16_t>(start + k)) == newline)
            return {start, k, static_cast<uint16_t>(start + k + 1)};
    return {start, columns, static_cast<uint16_t>(start + columns + 1)};
}

// The first line, just past the display file's leading NEWLINE.
uint16_t first_display_line() {
    return static_cast<uint16_t>((mem_read(d_file) | (mem_read(d_file + 1) << 8)) + 1);
}

}  // namespace

void render_display() {
    if (!picture || !glyphs[0]) return;
    uint16_t address = first_display_line();
    for (int line = 0; line < lines; ++line) {
        const DisplayLine shown = display_line(address);
        for (int k = 0; k < columns; ++k) {
            const uint8_t code =
                k < shown.length ? mem_read(static_cast<uint16_t>(address + k)) : 0;
            blit(glyphs[code], picture, 0, 0, 8 * k, 8 * line, 8, 8);
        }
        address = shown.next;
    }
}

uint8_t display_code(int column, int line) {
    uint16_t address = first_display_line();
    for (int l = 0; l < line; ++l) address = display_line(address).next;
    const DisplayLine shown = display_line(address);
    return column < shown.length ? mem_read(static_cast<uint16_t>(address + column)) : 0;
}

bool shows_k_prompt() {
    constexpr uint8_t inverse_k = 0xB0;
    return display_code(0, lines - 1) == inverse_k;
}

void present_picture() {
    if (!screen || !picture) return;
    const Placement& at = picture_placement[screen_mode];
    acquire_screen();
    if (at.scale == 1)
        blit(picture, screen, 0, 0, at.x, at.y, picture->w, picture->h);
    else
        stretch_blit(picture, screen, 0, 0, picture->w, picture->h, at.x, at.y,
                     picture->w * at.scale, picture->h * at.scale);
    release_screen();
}

void redraw_frame() {
    if (!screen) return;
    show_mouse(nullptr);
    acquire_screen();
    for (const Rect& r : borders[screen_mode])
        rectfill(screen, r.x1, r.y1, r.x2, r.y2, colours[paper]);
    if (screen_mode != 2) draw_toolbar();
    release_screen();
    if (screen_mode != 2 && mouse_driver) show_mouse(screen);
}
