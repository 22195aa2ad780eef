#include "reporters.h"

#include <allegro.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "allegro_glue.h"
#include "host_keys.h"

namespace {

constexpr int glyph = 8;        // Allegro's built-in font is 8x8
constexpr int line_gap = 2;     // between lines, which would touch otherwise
constexpr int margin = 6;
constexpr int caption_height = 12;
constexpr int button_width = 40;
constexpr int button_height = 14;
constexpr int icon_space = 24;  // room left of the text for the stop sign

void draw_stop_sign(BITMAP* box, int x, int y) {
    circlefill(box, x + 8, y + 8, 8, makecol(200, 0, 0));
    rectfill(box, x + 3, y + 7, x + 13, y + 9, makecol(255, 255, 255));
}

// Draws the whole box into a bitmap of its own, its button labelled `button`.
BITMAP* render_box(const std::string& caption, const std::vector<std::string>& lines, bool stop_sign,
                   const char* button) {
    size_t widest = caption.size() + 2;
    for (const std::string& line : lines) widest = std::max(widest, line.size());
    const int text_left = margin + (stop_sign ? icon_space : 0);
    const int width = std::max<int>(text_left + static_cast<int>(widest) * glyph + margin,
                                    button_width + 2 * margin);
    const int height = caption_height + margin + static_cast<int>(lines.size()) * (glyph + line_gap) +
                       margin + button_height + margin;
    BITMAP* box = create_bitmap(width, height);
    if (!box) return nullptr;

    const int face = makecol(224, 224, 224);
    const int ink = makecol(0, 0, 0);
    const int title = makecol(0, 0, 128);
    const int white = makecol(255, 255, 255);
    clear_to_color(box, face);
    rect(box, 0, 0, width - 1, height - 1, ink);
    rectfill(box, 1, 1, width - 2, caption_height - 1, title);
    textout_ex(box, font, caption.c_str(), margin, 2, white, -1);
    if (stop_sign) draw_stop_sign(box, margin, caption_height + margin);
    int y = caption_height + margin;
    for (const std::string& line : lines) {
        textout_ex(box, font, line.c_str(), text_left, y, ink, -1);
        y += glyph + line_gap;
    }
    const int bx = (width - button_width) / 2;
    const int by = height - margin - button_height;
    rectfill(box, bx, by, bx + button_width - 1, by + button_height - 1, white);
    rect(box, bx, by, bx + button_width - 1, by + button_height - 1, ink);
    textout_centre_ex(box, font, button, bx + button_width / 2, by + 3, ink, -1);
    return box;
}

bool closing_key(int scancode) {
    return scancode == KEY_ENTER || scancode == KEY_ENTER_PAD || scancode == KEY_SPACE ||
           scancode == KEY_ESC;
}

// Waits, without spinning, until the user closes the box. True when that
// was Escape, which closes every page at once, or when the program is asked
// to quit (the window's close button, SIGTERM), which closes it too.
bool wait_for_close() {
    clear_keybuf();
    while ((mouse_b & 1) && !quit_requested()) rest(10);  // a click that opened the box does not close it
    bool escape = false;
    for (;;) {
        if (quit_requested()) return true;
        if (keypressed()) {
            const int pressed = readkey() >> 8;
            escape = pressed == KEY_ESC;
            if (closing_key(pressed)) break;
        }
        if (mouse_b & 1) {
            while (mouse_b & 1) rest(10);
            break;
        }
        rest(10);
    }
    // The closing key must not reach the emulated keyboard as well.
    for (int k : {KEY_ENTER, KEY_ENTER_PAD, KEY_SPACE, KEY_ESC}) key[k] = 0;
    forget_key_events();
    return escape;
}

// Shows one box over the screen until it is closed; true after Escape.
bool show_box(BITMAP* box, int scale) {
    // Drawn at the view's scale; a box still larger than the screen is shown
    // scaled down to fit.
    int w = box->w * scale;
    int h = box->h * scale;
    if (w > screen->w || h > screen->h) {
        const double fit = std::min(static_cast<double>(screen->w) / w, static_cast<double>(screen->h) / h);
        w = std::max(1, static_cast<int>(w * fit));
        h = std::max(1, static_cast<int>(h * fit));
    }
    const int x = (screen->w - w) / 2;
    const int y = (screen->h - h) / 2;

    show_mouse(nullptr);
    BITMAP* under = create_bitmap(w, h);
    if (under) blit(screen, under, x, y, 0, 0, w, h);
    acquire_screen();
    stretch_blit(box, screen, 0, 0, box->w, box->h, x, y, w, h);
    release_screen();
    if (mouse_driver) show_mouse(screen);

    const bool escape = wait_for_close();

    show_mouse(nullptr);
    if (under) {
        blit(under, screen, 0, 0, x, y, w, h);
        destroy_bitmap(under);
    }
    return escape;
}

// A box with its text at the view's scale, so that it is as large as the
// ZX81's characters. Text longer than the screen holds is shown a page at a
// time: "More" goes on, Escape closes.
void message_box(const std::string& caption, const std::string& text, bool stop_sign, int box_scale) {
    const InputThreadRuns input;  // the box waits on Allegro's own key and mouse state
    if (!screen) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return;
    }
    const int scale = std::max(1, box_scale);
    const int columns =
        std::max(8, (screen->w / scale - 2 * margin - (stop_sign ? icon_space : 0)) / glyph - 1);
    const std::vector<std::string> lines = message_lines(text, static_cast<size_t>(columns));
    const int chrome = caption_height + 3 * margin + button_height;
    const size_t page = static_cast<size_t>(std::max(4, (screen->h / scale - chrome) / (glyph + line_gap)));
    for (size_t first = 0; first < lines.size() || first == 0; first += page) {
        const size_t last = std::min(lines.size(), first + page);
        const std::vector<std::string> shown(lines.begin() + static_cast<std::ptrdiff_t>(first),
                                             lines.begin() + static_cast<std::ptrdiff_t>(last));
        BITMAP* box = render_box(caption, shown, stop_sign, last < lines.size() ? "More" : "OK");
        if (!box) return;
        const bool escape = show_box(box, scale);
        destroy_bitmap(box);
        if (escape || last >= lines.size()) break;
    }
}

}  // namespace

std::vector<std::string> message_lines(const std::string& text, size_t columns) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        while (line.size() > columns) {
            size_t cut = line.rfind(' ', columns);
            if (cut == std::string::npos || cut == 0) cut = columns;
            lines.push_back(line.substr(0, cut));
            line.erase(0, line[cut] == ' ' ? cut + 1 : cut);
        }
        lines.push_back(line);
        if (end == text.size()) break;
        start = end + 1;
    }
    // A final line break ends the last line; it does not start an empty one.
    if (!text.empty() && text.back() == '\n') lines.pop_back();
    return lines;
}

void warn(const std::string& text, int scale) {
    message_box("Mensaje", text, false, scale);
}

void fatal_error(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    if (screen) message_box("Error", text, true, 1);
    release_input_thread();
    remove_keyboard();
    allegro_exit();
    std::exit(-1);
}
