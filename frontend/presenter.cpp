#include "presenter.h"

#include <allegro.h>

#include <cstring>

#include "desktop.h"
#include "overlays.h"
#include "screen_modes.h"
#include "toolbar_layout.h"

void setup_colours(Desktop& desktop) {
    if (!desktop.true_colour) {
        PALETTE palette;
        get_palette(palette);
        for (int i = 0; i < 16; ++i) {
            // Allegro palettes hold 6-bit components.
            palette[first_palette_entry + i].r = static_cast<unsigned char>(colour_table[i].r >> 2);
            palette[first_palette_entry + i].g = static_cast<unsigned char>(colour_table[i].g >> 2);
            palette[first_palette_entry + i].b = static_cast<unsigned char>(colour_table[i].b >> 2);
            desktop.colours[i] = first_palette_entry + i;
        }
        set_palette(palette);
    } else {
        for (int i = 0; i < 16; ++i)
            desktop.colours[i] = makecol(colour_table[i].r, colour_table[i].g, colour_table[i].b);
    }
    build_pixel_patterns(desktop);
}

namespace {

// Two bytes a pixel (15 and 16 bits) rather than one.
bool wide_pixels(const Desktop& desktop) {
    return desktop.picture ? bitmap_color_depth(desktop.picture) != 8 : desktop.true_colour;
}

}  // namespace

void build_pixel_patterns(Desktop& desktop) {
    const bool wide = wide_pixels(desktop);
    const int ink = desktop.colours[desktop.ink];
    const int paper = desktop.colours[desktop.paper];
    for (int byte = 0; byte < 256; ++byte) {
        std::array<uint8_t, 16>& pattern = desktop.pixel_patterns[byte];
        for (int x = 0; x < 8; ++x) {
            const int colour = (byte & (0x80 >> x)) ? ink : paper;
            if (wide) {
                const uint16_t pixel = static_cast<uint16_t>(colour);
                std::memcpy(&pattern[2 * x], &pixel, 2);
            } else {
                pattern[x] = static_cast<uint8_t>(colour);
            }
        }
    }
}

namespace {

template <int BytesPerPixel>
void paint_rows(const Desktop& desktop, const Frame& frame) {
    for (int y = 0; y < frame_height; ++y) {
        uint8_t* out = desktop.picture->line[y];
        const uint8_t* in = &frame.pixels[static_cast<size_t>(y * frame_row_bytes)];
        for (int k = 0; k < frame_row_bytes; ++k, out += 8 * BytesPerPixel)
            std::memcpy(out, desktop.pixel_patterns[in[k]].data(), 8 * BytesPerPixel);
    }
}

}  // namespace

void paint_frame(Desktop& desktop, const Frame& frame) {
    if (!desktop.picture) return;
    if (wide_pixels(desktop))
        paint_rows<2>(desktop, frame);
    else
        paint_rows<1>(desktop, frame);
}

void present_picture(const Desktop& desktop) {
    if (!screen || !desktop.picture) return;
    const ScreenMode& mode = screen_modes[desktop.screen_mode];
    BITMAP* picture = desktop.picture;
    acquire_screen();
    if (mode.scale == 1)
        blit(picture, screen, 0, 0, mode.picture_x, mode.picture_y, picture->w, picture->h);
    else
        stretch_blit(picture, screen, 0, 0, picture->w, picture->h, mode.picture_x, mode.picture_y,
                     picture->w * mode.scale, picture->h * mode.scale);
    release_screen();
}

void redraw_frame(const Desktop& desktop) {
    if (!screen) return;
    const ScreenMode& mode = screen_modes[desktop.screen_mode];
    show_mouse(nullptr);
    acquire_screen();
    for (const Rect& r : mode.borders) rectfill(screen, r.x1, r.y1, r.x2, r.y2, desktop.colours[desktop.paper]);
    if (!mode.full_screen) draw_toolbar(desktop);
    release_screen();
    if (!mode.full_screen && mouse_driver) show_mouse(screen);
}
