// Draws the program's pictures into the folder given: zxtool.pcx (the toolbar
// button column and its corner piece), zx81key.pcx (the ZX81 keyboard,
// 565x250) and orlix.png (the program's icon, for desktop menus).
#include <allegro.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "icon_art.h"
#include "toolbar_layout.h"

namespace {

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

BITMAP* keyboard_picture() {
    BITMAP* b = create_bitmap(keyboard_picture_width, keyboard_picture_height);
    clear_to_color(b, dark);
    textout_ex(b, font, "SINCLAIR ZX81", 10, 6, white, -1);
    textout_ex(b, font, "press any key to go back", 355, 6, grey, -1);
    constexpr int key_w = 51, key_h = 52, gap = 4, left = 8, top = 22;
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 10; ++col) {
            const int x = left + col * (key_w + gap);
            const int y = top + row * (key_h + gap);
            const Key& k = keys[row][col];
            rectfill(b, x, y, x + key_w - 1, y + key_h - 1, black);
            rect(b, x, y, x + key_w - 1, y + key_h - 1, grey);
            textout_centre_ex(b, font, k.top, x + key_w / 2, y + 4, red, -1);
            // The letter drawn twice as large.
            BITMAP* letter = create_bitmap(16, 8);
            clear_to_color(letter, black);
            textout_centre_ex(letter, font, k.main, 8, 0, white, -1);
            stretch_blit(letter, b, 0, 0, 16, 8, x + key_w / 2 - 16, y + 16, 32, 16);
            destroy_bitmap(letter);
            textout_centre_ex(b, font, k.keyword, x + key_w / 2, y + 38, white, -1);
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

// PNG, as little of it as a desktop needs: RGBA pixels in zlib "stored"
// blocks, without compression.
uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    put32(png, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    put32(png, crc32(body.data(), body.size()));
}

bool save_icon_png(const std::string& path) {
    constexpr int n = icon_art::size;
    std::vector<uint8_t> raw;  // each row: filter type 0, then RGBA pixels
    for (int y = 0; y < n; ++y) {
        raw.push_back(0);
        for (int x = 0; x < n; ++x) {
            uint8_t rgba[4] = {0, 0, 0, 0};
            for (const icon_art::Colour& c : icon_art::colours)
                if (c.key == icon_art::pixel(x, y)) rgba[0] = c.r, rgba[1] = c.g, rgba[2] = c.b, rgba[3] = 255;
            raw.insert(raw.end(), rgba, rgba + 4);
        }
    }
    std::vector<uint8_t> zlib = {0x78, 0x01, 0x01};  // one final stored block
    const uint16_t length = static_cast<uint16_t>(raw.size());
    zlib.insert(zlib.end(), {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                             static_cast<uint8_t>(~length), static_cast<uint8_t>(~length >> 8)});
    zlib.insert(zlib.end(), raw.begin(), raw.end());
    uint32_t a = 1, b = 0;  // Adler-32
    for (uint8_t byte : raw) a = (a + byte) % 65521, b = (b + a) % 65521;
    put32(zlib, (b << 16) | a);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put32(header, n);
    put32(header, n);
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, no interlace
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", zlib);
    chunk(png, "IEND", {});
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
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
    BITMAP* board = keyboard_picture();
    const bool ok = save(folder + "/zxtool.pcx", tool) && save(folder + "/zx81key.pcx", board) &&
                    save_icon_png(folder + "/orlix.png");
    destroy_bitmap(tool);
    destroy_bitmap(board);
    return ok ? 0 : 1;
}
END_OF_MAIN()
