// The emulator's sixteen colours, as the picture, its PNGs, the settings and
// the pictures made at build time have them.
#pragma once

#include <array>
#include <cstdint>

// The sixteen colours, as red, green and blue: normal intensity is 210,
// bright 255. In 8-bit screen modes they live in palette entries 100-115, and
// the pictures use those entries too.
struct Rgb {
    uint8_t r, g, b;
};
inline constexpr std::array<Rgb, 16> colour_table = {{
    {0, 0, 0},   {0, 0, 210},   {210, 0, 0},   {210, 0, 210},
    {0, 210, 0}, {0, 210, 210}, {210, 210, 0}, {210, 210, 210},
    {0, 0, 0},   {0, 0, 255},   {255, 0, 0},   {255, 0, 255},
    {0, 255, 0}, {0, 255, 255}, {255, 255, 0}, {255, 255, 255},
}};
constexpr int first_palette_entry = 100;

// Two colours of the table that look the same (black and bright black):
// ink and paper so would hide the screen.
constexpr bool colours_look_alike(int a, int b) {
    const Rgb& x = colour_table[static_cast<size_t>(a & 15)];
    const Rgb& y = colour_table[static_cast<size_t>(b & 15)];
    return x.r == y.r && x.g == y.g && x.b == y.b;
}

// The colour after `colour` in the table, going round, that does not look
// like `other`.
constexpr int next_colour(int colour, int other) {
    int next = (colour + 1) % 16;
    while (colours_look_alike(next, other)) next = (next + 1) % 16;
    return next;
}
