// The ZX81 picture as the display file in memory describes it: 24 lines of 32
// characters, each drawn from the ROM's character set.
#pragma once

#include <array>
#include <cstdint>

#include "memory_map.h"

constexpr int frame_width = 256;
constexpr int frame_height = 192;
constexpr int frame_row_bytes = frame_width / 8;

// A picture of ZX81 pixels, ink or paper: each byte eight pixels, bit 7 the
// leftmost, 1 for ink.
struct Frame {
    std::array<uint8_t, frame_row_bytes * frame_height> pixels{};
};

inline bool ink_at(const Frame& frame, int x, int y) {
    return (frame.pixels[static_cast<size_t>(y * frame_row_bytes + x / 8)] >> (7 - x % 8)) & 1;
}

// Draws the display file (found through D_FILE) into the frame. Codes 0-63
// are the characters at 0x1E00, 128-191 the same inverted, all others blank.
// A line ends at its NEWLINE; a line with none in its 33 bytes shows 32 codes
// and the next starts 33 bytes on.
void decode_display_file(const Memory& memory, Frame& frame);

// The character code shown at (column, line); 0 (space) beyond a short line.
uint8_t display_code(const Memory& memory, int column, int line);

// The ROM has started and waits at its K prompt: the inverse K cursor stands
// at the start of the bottom line.
bool shows_k_prompt(const Memory& memory);
