#include "display_file.h"

#include <algorithm>

#include "rom_addresses.h"

namespace {

constexpr uint8_t newline = 0x76;
constexpr int columns = 32;
constexpr int lines = 24;

uint8_t byte_at(const Memory& memory, int address) {
    return memory[static_cast<uint16_t>(address)];
}

// One line of the display file: where it starts, how many codes it shows
// and where the next one starts.
struct DisplayLine {
    uint16_t start;
    int length;
    uint16_t next;
};

DisplayLine display_line(const Memory& memory, uint16_t start) {
    for (int k = 0; k <= columns; ++k)
        if (byte_at(memory, start + k) == newline)
            return {start, k, static_cast<uint16_t>(start + k + 1)};
    return {start, columns, static_cast<uint16_t>(start + columns + 1)};
}

// The first line, just past the display file's leading NEWLINE.
uint16_t first_display_line(const Memory& memory) {
    return static_cast<uint16_t>((byte_at(memory, sysvar::d_file) | (byte_at(memory, sysvar::d_file + 1) << 8)) + 1);
}

// The eight pixel rows of a code: its character, inverted for 128-191; blank
// for the codes that are no characters.
void glyph_rows(const Memory& memory, uint8_t code, uint8_t rows[8]) {
    const bool character = (code & 0x40) == 0;
    const uint8_t invert = (code & 0x80) ? 0xFF : 0x00;
    for (int y = 0; y < 8; ++y)
        rows[y] = character ? static_cast<uint8_t>(byte_at(memory, rom::character_set + 8 * (code & 0x3F) + y) ^ invert)
                            : 0;
}

}  // namespace

void colour_whole_frame(Frame& frame, int colour) {
    frame.colours.fill(static_cast<uint8_t>((colour & 15) << 4 | (colour & 15)));
    frame.coloured = true;
}

void decode_display_file(const Memory& memory, Frame& frame,
                         const std::function<CellRow(uint16_t address, uint8_t code, uint8_t row)>& rows) {
    frame.pixels.fill(0);
    uint16_t address = first_display_line(memory);
    for (int line = 0; line < lines; ++line) {
        const DisplayLine shown = display_line(memory, address);
        for (int k = 0; k < std::min(columns, shown.length); ++k) {
            const uint16_t at = static_cast<uint16_t>(address + k);
            if (byte_at(memory, at) & 0x40) continue;  // no character: blank
            for (int y = 0; y < 8; ++y) {
                const CellRow row = rows(static_cast<uint16_t>(at | 0x8000), byte_at(memory, at), static_cast<uint8_t>(y));
                const size_t cell = static_cast<size_t>((border_height + 8 * line + y) * frame_row_bytes + border_width / 8 + k);
                frame.pixels[cell] = row.pixels;
                if (row.coloured) frame.colours[cell] = row.colour;
            }
        }
        address = shown.next;
    }
}

void decode_display_file(const Memory& memory, Frame& frame) {
    frame.pixels.fill(0);
    frame.coloured = false;
    uint16_t address = first_display_line(memory);
    for (int line = 0; line < lines; ++line) {
        const DisplayLine shown = display_line(memory, address);
        for (int k = 0; k < columns; ++k) {
            uint8_t rows[8];
            glyph_rows(memory, k < shown.length ? byte_at(memory, address + k) : 0, rows);
            for (int y = 0; y < 8; ++y) {
                const int row = border_height + 8 * line + y;
                frame.pixels[static_cast<size_t>(row * frame_row_bytes + border_width / 8 + k)] = rows[y];
            }
        }
        address = shown.next;
    }
}

bool display_file_made(const Memory& memory) {
    const uint16_t d_file = static_cast<uint16_t>(byte_at(memory, sysvar::d_file) | byte_at(memory, sysvar::d_file + 1) << 8);
    return d_file >= rom_size && byte_at(memory, d_file) == newline;
}

uint8_t display_code(const Memory& memory, int column, int line) {
    uint16_t address = first_display_line(memory);
    for (int l = 0; l < line; ++l) address = display_line(memory, address).next;
    const DisplayLine shown = display_line(memory, address);
    return column < shown.length ? byte_at(memory, address + column) : 0;
}

bool shows_k_prompt(const Memory& memory) {
    constexpr uint8_t inverse_k = 0xB0;
    return display_code(memory, 0, lines - 1) == inverse_k;
}
