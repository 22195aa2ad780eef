// The program's icon, 32x32 pixels: a ZX81 seen from above, black case, white
// keyboard rows and a red stripe. The window's icons and the installed ones
// are all drawn from this, at other sizes by taking the nearest pixel.
#pragma once

#include <array>
#include <cstdint>

namespace icon_art {

constexpr int size = 32;

struct Colour {
    char key;  // as in the picture below; ' ' is transparent
    uint8_t r, g, b;
};
inline constexpr std::array<Colour, 3> colours = {{
    {'.', 0x10, 0x10, 0x10},  // the case
    {'w', 0xE0, 0xE0, 0xE0},  // the keys
    {'r', 0xD0, 0x00, 0x00},  // the stripe
}};

// The key of the pixel at (x, y).
constexpr char pixel(int x, int y) {
    const bool body = x >= 1 && x <= 30 && y >= 6 && y <= 25;
    if (!body) return ' ';
    if (y >= 9 && y <= 10 && x >= 3 && x <= 28) return 'r';
    const bool key_row = (y >= 13 && y <= 23) && ((y - 13) % 3 != 2);
    if (key_row && x >= 3 && x <= 28 && (x - 3) % 3 != 2) return 'w';
    return '.';
}

// The pixel at (x, y) of the icon drawn `n` pixels square, as 0xAARRGGBB
// (0 where it is transparent).
constexpr uint32_t argb(int x, int y, int n) {
    const char key = pixel(x * size / n, y * size / n);
    for (const Colour& c : colours)
        if (c.key == key) return 0xFF000000u | (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
    return 0;
}

}  // namespace icon_art
