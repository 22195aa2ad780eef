// The ZX81 picture as the display file in memory describes it: 24 lines of 32
// characters, each drawn from the ROM's character set.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "memory_map.h"

// The ZX81's picture, and the television's picture around it: the border as
// much as a television shows of it, where programs that time their own
// display lines put pixels too.
constexpr int picture_width = 256;
constexpr int picture_height = 192;
constexpr int border_width = 32;   // left and right
constexpr int border_height = 24;  // above and below
constexpr int frame_width = picture_width + 2 * border_width;     // 320
constexpr int frame_height = picture_height + 2 * border_height;  // 240
constexpr int frame_row_bytes = frame_width / 8;

// A television picture of ZX81 pixels, ink or paper: each byte eight pixels,
// bit 7 the leftmost, 1 for ink. The ZX81's own picture starts at
// (border_width, border_height). A colour board colours it: then each byte
// of pixels has a colour byte, paper in the high nibble and ink in the low
// one (I G R B, as colours.h numbers them); else the user's ink and paper.
struct Frame {
    std::array<uint8_t, frame_row_bytes * frame_height> pixels{};
    std::array<uint8_t, frame_row_bytes * frame_height> colours{};
    bool coloured = false;
};

// Every colour byte of the frame the border's: paper and ink `colour`.
void colour_whole_frame(Frame& frame, int colour);

// Ink at (x, y) of the ZX81's picture; negative and larger coordinates reach
// into the border.
inline bool ink_at(const Frame& frame, int x, int y) {
    x += border_width;
    y += border_height;
    return (frame.pixels[static_cast<size_t>(y * frame_row_bytes + x / 8)] >> (7 - x % 8)) & 1;
}

// The byte of eight pixels at `column` (0-31) of row `y` of the ZX81's picture.
inline uint8_t picture_byte(const Frame& frame, int column, int y) {
    return frame.pixels[static_cast<size_t>((y + border_height) * frame_row_bytes + column + border_width / 8)];
}

// Draws the display file (found through D_FILE) into the frame, with a blank
// border. Codes 0-63 are the characters at 0x1E00, 128-191 the same
// inverted, all others blank.
// A line ends at its NEWLINE; a line with none in its 33 bytes shows 32 codes
// and the next starts 33 bytes on.
void decode_display_file(const Memory& memory, Frame& frame);

// A character row as a board shows it: its eight pixels (inversion made)
// and its colour byte (with `coloured`).
struct CellRow {
    uint8_t pixels;
    uint8_t colour;
    bool coloured;
};
// The same, each character's rows given by `rows` from the display-file
// byte's address (where the display runs it: above 0x7FFF), its code and
// the glyph row. Cells past a line's NEWLINE keep the frame's colour.
void decode_display_file(const Memory& memory, Frame& frame,
                         const std::function<CellRow(uint16_t address, uint8_t code, uint8_t row)>& rows);

// The ROM has made a display file: D_FILE points past the ROM at a NEWLINE.
// Until then (power-up, a reset) D_FILE holds what RAM held, and what it
// points at is no picture.
bool display_file_made(const Memory& memory);

// The character code shown at (column, line); 0 (space) beyond a short line.
uint8_t display_code(const Memory& memory, int column, int line);

// The ROM has started and waits at its K prompt: the inverse K cursor stands
// at the start of the bottom line.
bool shows_k_prompt(const Memory& memory);
