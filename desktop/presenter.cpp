#include "presenter.h"

#include <allegro.h>

#include <algorithm>
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

// Bytes a pixel of the picture: 1 at 8 bits, 2 at 15 or 16.
int pixel_bytes(const Desktop& desktop) {
    if (desktop.picture) return bitmap_color_depth(desktop.picture) == 8 ? 1 : 2;
    return desktop.true_colour ? 2 : 1;
}

int scale_of(const Desktop& desktop) {
    return std::max(1, desktop.layout.scale);
}

// One row of the frame into one row of the picture, every pixel `scale`
// wide, from the patterns of its bytes.
void paint_row(const Desktop& desktop, const uint8_t* in, uint8_t* out, size_t pattern_size) {
    const uint8_t* patterns = desktop.pixel_patterns.data();
    for (int k = 0; k < frame_row_bytes; ++k, out += pattern_size)
        std::memcpy(out, patterns + in[k] * pattern_size, pattern_size);
}

}  // namespace

void build_pixel_patterns(Desktop& desktop) {
    const int bytes = pixel_bytes(desktop);
    const int scale = scale_of(desktop);
    const size_t pattern_size = static_cast<size_t>(8 * scale * bytes);
    desktop.pattern_size = pattern_size;
    desktop.pixel_patterns.assign(256 * pattern_size, 0);
    const int ink = desktop.colours[desktop.ink];
    const int paper = desktop.colours[desktop.paper];
    for (int byte = 0; byte < 256; ++byte) {
        uint8_t* pattern = &desktop.pixel_patterns[byte * pattern_size];
        for (int x = 0; x < 8 * scale; ++x) {
            const int colour = (byte & (0x80 >> (x / scale))) ? ink : paper;
            if (bytes == 2) {
                const uint16_t pixel = static_cast<uint16_t>(colour);
                std::memcpy(pattern + 2 * x, &pixel, 2);
            } else {
                pattern[x] = static_cast<uint8_t>(colour);
            }
        }
    }
}

void make_picture(Desktop& desktop) {
    desktop.picture_stale = true;
    if (desktop.picture) destroy_bitmap(desktop.picture);
    const int scale = scale_of(desktop);
    desktop.picture = create_bitmap(frame_width * scale, frame_height * scale);
    // The colours and pixel patterns hold values of the old depth and scale.
    setup_colours(desktop);
}

bool paint_frame(Desktop& desktop, const Frame& frame) {
    const bool whole = desktop.picture_stale;
    desktop.picture_stale = false;
    if (!desktop.picture) {
        desktop.last_frame = frame;
        return false;
    }
    const Layout& layout = desktop.layout;
    const int scale = scale_of(desktop);
    const size_t row_size = desktop.pattern_size * frame_row_bytes;
    // Only the rows the view shows, and of them only those that changed
    // since the frame painted last.
    const int first = std::clamp(layout.frame_y, 0, frame_height);
    const int last = std::clamp(layout.frame_y + (layout.area_height + scale - 1) / scale, first, frame_height);
    for (int y = first; y < last; ++y) {
        const size_t at = static_cast<size_t>(y * frame_row_bytes);
        if (!whole && std::memcmp(&frame.pixels[at], &desktop.last_frame.pixels[at], frame_row_bytes) == 0) continue;
        uint8_t* out = desktop.picture->line[y * scale];
        paint_row(desktop, &frame.pixels[at], out, desktop.pattern_size);
        for (int copy = 1; copy < scale; ++copy) std::memcpy(desktop.picture->line[y * scale + copy], out, row_size);
        desktop.changed_first = std::min(desktop.changed_first, y);
        desktop.changed_last = std::max(desktop.changed_last, y);
    }
    desktop.last_frame = frame;
    return desktop.changed_first <= desktop.changed_last;
}

void present_picture(Desktop& desktop) {
    const int first_row = desktop.changed_first, last_row = desktop.changed_last;
    desktop.changed_first = frame_height;
    desktop.changed_last = -1;
    if (!screen || !desktop.picture || first_row > last_row) return;
    const Layout& layout = desktop.layout;
    const int scale = scale_of(desktop);
    // The changed rows, in the picture and then on the screen.
    const int top = layout.frame_y * scale;
    const int from = std::max(first_row * scale, top);
    const int to = std::min((last_row + 1) * scale, top + layout.area_height);
    if (from >= to) return;
    acquire_screen();
    blit(desktop.picture, screen, layout.frame_x * scale, from, layout.area_x, layout.area_y + from - top,
         layout.area_width, to - from);
    release_screen();
}

void redraw_frame(Desktop& desktop) {
    if (!screen) return;
    const Layout& layout = desktop.layout;
    show_mouse(nullptr);
    acquire_screen();
    // Paper where the picture area leaves room (full screen on a larger display).
    const int paper = desktop.colours[desktop.paper];
    const int right = layout.area_x + layout.area_width;
    const int bottom = layout.area_y + layout.area_height;
    const int strip_left = layout.full_screen ? layout.width : toolbar::left(layout.width, layout.toolbar_scale);
    if (layout.area_y > 0) rectfill(screen, 0, 0, strip_left - 1, layout.area_y - 1, paper);
    if (bottom < layout.height) rectfill(screen, 0, bottom, strip_left - 1, layout.height - 1, paper);
    if (layout.area_x > 0) rectfill(screen, 0, 0, layout.area_x - 1, layout.height - 1, paper);
    if (right < strip_left) rectfill(screen, right, 0, strip_left - 1, layout.height - 1, paper);
    release_screen();
    desktop.picture_stale = true;
    paint_frame(desktop, desktop.last_frame);
    present_picture(desktop);
    if (!layout.full_screen) draw_toolbar(desktop);
    draw_note(desktop);
    if (!layout.full_screen && mouse_driver) show_mouse(screen);
}
