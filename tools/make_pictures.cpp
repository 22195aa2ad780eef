// Draws the program's pictures into the folder given: zxtool.pcx (the toolbar
// button column and its corner piece), zx81key.pcx and zx81keys.pcx (the ZX81
// keyboard, 565x250 and 297x208), and the program's icon for desktop menus:
// orlix-N.png at each size of the desktop's icon theme and orlix.svg.
#include <allegro.h>
#include <png.h>

#include <csetjmp>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "icon_art.h"
#include "colours.h"
#include "toolbar_layout.h"

namespace {

// The sizes of the hicolor icon theme the icon is drawn at.
constexpr int icon_sizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

PALETTE palette;

// The pictures use the emulator's 16 colours in the palette entries where the
// program keeps them (100-115), so they look the same through the screen
// palette at 8 bits and converted at 15 or 16 bits.
constexpr int black = first_palette_entry + 0, blue = first_palette_entry + 1,
              red = first_palette_entry + 2, green = first_palette_entry + 4,
              grey = first_palette_entry + 7, dark = first_palette_entry + 8,
              yellow = first_palette_entry + 14, white = first_palette_entry + 15;

void set_colours() {
    for (int i = 0; i < 256; ++i) palette[i] = {0, 0, 0, 0};
    for (int i = 0; i < 16; ++i)
        palette[first_palette_entry + i] = {static_cast<unsigned char>(colour_table[i].r >> 2),
                                            static_cast<unsigned char>(colour_table[i].g >> 2),
                                            static_cast<unsigned char>(colour_table[i].b >> 2), 0};
}

// A button with its outline over the columns where the program takes clicks.
void button(BITMAP* b, const toolbar::Rows& rows, int left, int right, const char* label,
            int face, int outline) {
    rectfill(b, left, rows.top, right, rows.bottom, face);
    rect(b, left, rows.top, right, rows.bottom, outline);
    textout_centre_ex(b, font, label, (left + right + 1) / 2, rows.top + 6,
                      face == white || face == yellow ? black : white, -1);
}

void button(BITMAP* b, const toolbar::Rows& rows, const char* label, int face) {
    button(b, rows, toolbar::button_left, toolbar::button_right, label, face, white);
    hline(b, toolbar::button_left + 1, rows.bottom, toolbar::button_right, dark);
    vline(b, toolbar::button_right, rows.top + 1, rows.bottom, dark);
}

BITMAP* toolbar_picture() {
    BITMAP* b = create_bitmap(toolbar::width, toolbar::picture_height);
    clear_to_color(b, black);
    button(b, toolbar::reset, "R", red);
    button(b, toolbar::load, "L", blue);
    button(b, toolbar::save, "S", blue);
    button(b, toolbar::screen_mode, "M", grey);
    button(b, toolbar::keyboard, "K", grey);
    button(b, toolbar::colours, toolbar::button_left, toolbar::ink_right, "I", black, white);
    button(b, toolbar::colours, toolbar::ink_right + 1, toolbar::button_right, "P", white, grey);
    button(b, toolbar::help, "?", green);
    rectfill(b, 0, toolbar::corner_top, toolbar::width - 1, toolbar::picture_height - 1, dark);
    textout_centre_ex(b, font, "81", toolbar::width / 2, toolbar::corner_top + 9, yellow, -1);
    return b;
}

struct Key {
    const char* top;      // shifted symbol
    const char* main;     // the letter or digit
    const char* keyword;  // the keyword in K mode
};

constexpr Key keys[4][10] = {
    {{"EDIT", "1", ""}, {"AND", "2", ""}, {"THEN", "3", ""}, {"TO", "4", ""}, {"<-", "5", ""},
     {"v", "6", ""}, {"^", "7", ""}, {"->", "8", ""}, {"GRAPH", "9", ""}, {"RUB", "0", ""}},
    {{"\"\"", "Q", "PLOT"}, {"OR", "W", "UNPLOT"}, {"STEP", "E", "REM"}, {"<=", "R", "RUN"},
     {"<>", "T", "RAND"}, {">=", "Y", "RETURN"}, {"$", "U", "IF"}, {"(", "I", "INPUT"},
     {")", "O", "POKE"}, {"\"", "P", "PRINT"}},
    {{"STOP", "A", "NEW"}, {"LPRINT", "S", "SAVE"}, {"SLOW", "D", "DIM"}, {"FAST", "F", "FOR"},
     {"LLIST", "G", "GOTO"}, {"**", "H", "GOSUB"}, {"-", "J", "LOAD"}, {"+", "K", "LIST"},
     {"=", "L", "LET"}, {"FUNC", "NL", ""}},
    {{"", "SH", ""}, {":", "Z", "COPY"}, {";", "X", "CLEAR"}, {"?", "C", "CONT"},
     {"/", "V", "CLS"}, {"*", "B", "SCROLL"}, {"<", "N", "NEXT"}, {">", "M", "PAUSE"},
     {",", ".", ""}, {"BREAK", "SP", ""}},
};

// A font of 3x5 pixels for the small keyboard picture, each glyph 15 bits,
// the top row first, the left pixel of a row its highest bit.
struct MiniGlyph {
    char c;
    uint16_t rows;
};
constexpr MiniGlyph mini_font[] = {
    {'A', 0x2BED},
    {'B', 0x6BAE},
    {'C', 0x3923},
    {'D', 0x6B6E},
    {'E', 0x79A7},
    {'F', 0x79A4},
    {'G', 0x396B},
    {'H', 0x5BED},
    {'I', 0x7497},
    {'J', 0x126A},
    {'K', 0x5BAD},
    {'L', 0x4927},
    {'M', 0x5FED},
    {'N', 0x5FFD},
    {'O', 0x2B6A},
    {'P', 0x6BA4},
    {'Q', 0x2B73},
    {'R', 0x6BAD},
    {'S', 0x388E},
    {'T', 0x7492},
    {'U', 0x5B6F},
    {'V', 0x5B6A},
    {'W', 0x5BFD},
    {'X', 0x5AAD},
    {'Y', 0x5A92},
    {'Z', 0x72A7},
    {'0', 0x2B6A},
    {'1', 0x2C97},
    {'2', 0x62A7},
    {'3', 0x628E},
    {'4', 0x5BC9},
    {'5', 0x798E},
    {'6', 0x39AA},
    {'7', 0x7292},
    {'8', 0x2AAA},
    {'9', 0x2ACE},
    {'"', 0x5A00},
    {'$', 0x3C9E},
    {'(', 0x1491},
    {')', 0x4494},
    {'*', 0x0AA8},
    {'+', 0x05D0},
    {',', 0x0014},
    {'-', 0x01C0},
    {'.', 0x0002},
    {'/', 0x12A4},
    {':', 0x0410},
    {';', 0x0414},
    {'<', 0x1511},
    {'=', 0x0E38},
    {'>', 0x4454},
    {'?', 0x6282},
    {'^', 0x2E92},
    {'v', 0x24BA},
    {' ', 0x0000},
};

int mini_width(const char* text) {
    const int n = static_cast<int>(std::strlen(text));
    return n ? 4 * n - 1 : 0;
}

// Draws text in the small font centred on x.
void mini_text_centre(BITMAP* b, const char* text, int x, int y, int colour) {
    x -= mini_width(text) / 2;
    for (const char* p = text; *p; ++p, x += 4) {
        for (const MiniGlyph& g : mini_font) {
            if (g.c != *p) continue;
            for (int row = 0; row < 5; ++row)
                for (int col = 0; col < 3; ++col)
                    if (g.rows & (1 << (14 - 3 * row - col))) putpixel(b, x + col, y + row, colour);
        }
    }
}

// How a keyboard picture is laid out: the same keys, labels and order at
// two sizes, the large one in the 8-pixel font with the letters doubled,
// the small one in the 3x5 font for windows too small for the other.
struct KeyboardLayout {
    int width, height;
    int key_w, key_h, gap, left, top;
    bool small;
};
constexpr KeyboardLayout large_keyboard{keyboard_picture_width, keyboard_picture_height, 51, 52, 4, 8, 22, false};
constexpr KeyboardLayout small_keyboard{small_keyboard_width, small_keyboard_height, 27, 46, 2, 4, 14, true};

void label(BITMAP* b, const KeyboardLayout& l, const char* text, int x, int y, int colour) {
    if (l.small)
        mini_text_centre(b, text, x, y, colour);
    else
        textout_centre_ex(b, font, text, x, y, colour, -1);
}

BITMAP* keyboard_picture(const KeyboardLayout& l) {
    BITMAP* b = create_bitmap(l.width, l.height);
    clear_to_color(b, dark);
    textout_ex(b, font, "SINCLAIR ZX81", l.small ? 4 : 10, l.small ? 3 : 6, white, -1);
    if (l.small)
        mini_text_centre(b, "PRESS ANY KEY TO GO BACK", l.width - 4 - mini_width("PRESS ANY KEY TO GO BACK") / 2, 5, grey);
    else
        textout_ex(b, font, "press any key to go back", 355, 6, grey, -1);
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 10; ++col) {
            const int x = l.left + col * (l.key_w + l.gap);
            const int y = l.top + row * (l.key_h + l.gap);
            const Key& k = keys[row][col];
            rectfill(b, x, y, x + l.key_w - 1, y + l.key_h - 1, black);
            rect(b, x, y, x + l.key_w - 1, y + l.key_h - 1, grey);
            label(b, l, k.top, x + l.key_w / 2, y + (l.small ? 4 : 4), red);
            if (l.small) {
                textout_centre_ex(b, font, k.main, x + l.key_w / 2, y + 17, white, -1);
            } else {
                // The letter drawn twice as large.
                BITMAP* letter = create_bitmap(16, 8);
                clear_to_color(letter, black);
                textout_centre_ex(letter, font, k.main, 8, 0, white, -1);
                stretch_blit(letter, b, 0, 0, 16, 8, x + l.key_w / 2 - 16, y + 16, 32, 16);
                destroy_bitmap(letter);
            }
            label(b, l, k.keyword, x + l.key_w / 2, y + (l.small ? 34 : 38), white);
        }
    }
    return b;
}

bool save(const std::string& path, BITMAP* b) {
    if (save_pcx(path.c_str(), b, palette) != 0) {
        std::fprintf(stderr, "make_pictures: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// The icon drawn n pixels square, as an RGBA PNG written with libpng.
bool save_icon_png(const std::string& path, int n) {
    FILE* file = std::fopen(path.c_str(), "wb");
    png_structp png = file ? png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr) : nullptr;
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = info != nullptr;
    std::vector<png_byte> row(static_cast<size_t>(4 * n));
    if (ok && setjmp(png_jmpbuf(png))) ok = false;  // libpng's own error path
    if (ok) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(n), static_cast<png_uint_32>(n), 8, PNG_COLOR_TYPE_RGBA,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < n; ++y) {
            for (int x = 0; x < n; ++x) {
                const uint32_t argb = icon_art::argb(x, y, n);
                png_byte* p = &row[static_cast<size_t>(4 * x)];
                p[0] = static_cast<png_byte>(argb >> 16);
                p[1] = static_cast<png_byte>(argb >> 8);
                p[2] = static_cast<png_byte>(argb);
                p[3] = static_cast<png_byte>(argb >> 24);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    if (file && std::fclose(file) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "make_pictures: cannot write %s\n", path.c_str());
    return ok;
}

// The icon as an SVG of its pixels, each run of one colour in a row a
// rectangle, drawn with crisp edges at any size.
bool save_icon_svg(const std::string& path) {
    std::ofstream out(path);
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << icon_art::size << "\" height=\""
        << icon_art::size << "\" viewBox=\"0 0 " << icon_art::size << ' ' << icon_art::size
        << "\" shape-rendering=\"crispEdges\">\n";
    for (int y = 0; y < icon_art::size; ++y) {
        for (int x = 0; x < icon_art::size;) {
            const char key = icon_art::pixel(x, y);
            int end = x;
            while (end < icon_art::size && icon_art::pixel(end, y) == key) ++end;
            for (const icon_art::Colour& c : icon_art::colours) {
                if (c.key != key) continue;
                char colour[8];
                std::snprintf(colour, sizeof colour, "#%02x%02x%02x", c.r, c.g, c.b);
                out << "  <rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << end - x
                    << "\" height=\"1\" fill=\"" << colour << "\"/>\n";
            }
            x = end;
        }
    }
    out << "</svg>\n";
    if (!out) std::fprintf(stderr, "make_pictures: cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    set_color_depth(8);
    set_colours();
    set_palette(palette);
    BITMAP* tool = toolbar_picture();
    BITMAP* board = keyboard_picture(large_keyboard);
    BITMAP* small_board = keyboard_picture(small_keyboard);
    bool ok = save(folder + "/zxtool.pcx", tool) && save(folder + "/zx81key.pcx", board) &&
                    save(folder + "/zx81keys.pcx", small_board) && save_icon_svg(folder + "/orlix.svg");
    for (int n : icon_sizes) ok = ok && save_icon_png(folder + "/orlix-" + std::to_string(n) + ".png", n);
    destroy_bitmap(tool);
    destroy_bitmap(board);
    destroy_bitmap(small_board);
    return ok ? 0 : 1;
}
END_OF_MAIN()
