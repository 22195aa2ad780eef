#include "presenter.h"

#include <allegro.h>

#include <algorithm>
#include <cstring>

#include "desktop.h"
#include "allegro_glue.h"
#include "reporters.h"
#include "colours.h"
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

// The same for a frame a colour board colours: each byte of pixels in its
// own ink and paper.
void paint_coloured_row(const Desktop& desktop, const uint8_t* in, const uint8_t* colours, uint8_t* out) {
    const int scale = scale_of(desktop);
    const bool wide = pixel_bytes(desktop) == 2;
    for (int k = 0; k < frame_row_bytes; ++k) {
        const int ink = desktop.colours[colours[k] & 15], paper = desktop.colours[colours[k] >> 4];
        for (int x = 0; x < 8 * scale; ++x) {
            const int colour = (in[k] & (0x80 >> (x / scale))) ? ink : paper;
            if (wide) {
                const uint16_t pixel = static_cast<uint16_t>(colour);
                std::memcpy(out, &pixel, 2);
                out += 2;
            } else {
                *out++ = static_cast<uint8_t>(colour);
            }
        }
    }
}

// The frame painted, for the next to be compared with: its colours only
// when it has them (a copy of a frame's pixels costs half as much).
void keep_as_last(Desktop& desktop, const Frame& frame) {
    desktop.last_frame.pixels = frame.pixels;
    desktop.last_frame.coloured = frame.coloured;
    if (frame.coloured) desktop.last_frame.colours = frame.colours;
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
    const bool whole = desktop.picture_stale || frame.coloured != desktop.last_frame.coloured;
    desktop.picture_stale = false;
    if (!desktop.picture) {
        keep_as_last(desktop, frame);
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
        if (!whole && std::memcmp(&frame.pixels[at], &desktop.last_frame.pixels[at], frame_row_bytes) == 0 &&
            (!frame.coloured || std::memcmp(&frame.colours[at], &desktop.last_frame.colours[at], frame_row_bytes) == 0))
            continue;
        uint8_t* out = desktop.picture->line[y * scale];
        if (frame.coloured)
            paint_coloured_row(desktop, &frame.pixels[at], &frame.colours[at], out);
        else
            paint_row(desktop, &frame.pixels[at], out, desktop.pattern_size);
        for (int copy = 1; copy < scale; ++copy) std::memcpy(desktop.picture->line[y * scale + copy], out, row_size);
        desktop.changed_first = std::min(desktop.changed_first, y);
        desktop.changed_last = std::max(desktop.changed_last, y);
    }
    keep_as_last(desktop, frame);
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

void warn_over_picture(Desktop& desktop, const std::string& text) {
    show_mouse(nullptr);
    warn(text, desktop.layout.scale);
    redraw_frame(desktop);
}

void load_toolbar(Desktop& desktop, const std::string& path) {
    PALETTE unused;  // the picture's palette is read but not applied
    desktop.toolbar_path = path;
    desktop.toolbar = load_pcx(path.c_str(), unused);
    if (!desktop.toolbar) warn("Cannot load toolbar gfx!", desktop.layout.scale);
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
    // The colour button shows the ink and paper it changes: a strip of each
    // along the foot of its halves.
    const int top = (toolbar::colours.bottom - 3) * scale, bottom = (toolbar::colours.bottom - 1) * scale - 1;
    rectfill(screen, left + (toolbar::button_left + 1) * scale, top, left + toolbar::ink_right * scale - 1, bottom,
             desktop.colours[desktop.ink]);
    rectfill(screen, left + (toolbar::ink_right + 2) * scale, top, left + toolbar::button_right * scale - 1, bottom,
             desktop.colours[desktop.paper]);
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

namespace {

// Changes the pointer only when it must: needless hide/show pairs flicker.
void show_pointer(bool shown) {
    if (shown != pointer_is_shown()) show_mouse(shown ? screen : nullptr);
}

}  // namespace

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
