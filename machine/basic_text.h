// ZX81 BASIC as the machine keeps it: the character codes and keyword
// tokens as text, the screen read as text, lines put into the ROM's own
// line entry, the program's lines in memory, and numbers converted by the
// ROM itself. Listings as people write them (their conventions, keywords
// read from text) are the host's (listing.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "display_file.h"
#include "memory_map.h"

struct Zx81;

// ZX81 codes a listing deals with.
namespace zx81_code {
constexpr uint8_t space = 0x00;
constexpr uint8_t quote = 0x0B;
constexpr uint8_t pound = 0x0C;
constexpr uint8_t dollar = 0x0D;
constexpr uint8_t plus = 0x15, minus = 0x16;
constexpr uint8_t dot = 0x1B;
constexpr uint8_t digit_0 = 0x1C, digit_9 = 0x25;
constexpr uint8_t letter_a = 0x26, letter_e = 0x2A, letter_z = 0x3F;
constexpr uint8_t inverse = 0x80;           // the bit that makes a character inverse
constexpr uint8_t newline = 0x76;
constexpr uint8_t number_mark = 0x7E;       // five bytes of a number's value follow
constexpr uint8_t cursor = 0x7F;
constexpr uint8_t quote_image = 0xC0;       // "" inside a string: the quote character
constexpr uint8_t then_token = 0xDE;
constexpr uint8_t rem_token = 0xEA;
}  // namespace zx81_code

// The program's lines start after the system variables.
constexpr uint16_t program_lines_start = 0x407D;

// A keyword token (0x40-0x42, 0xC1-0xFF) as the ROM lists it ("PRINT",
// "INKEY$", "**"); empty for a code that is none. 0xC0 gives "\"\"", the
// quote character's own form in a listing.
std::string_view token_text(uint8_t code);

// A ZX81 character code as text: inverse characters with %, block graphics
// as Unicode quadrant blocks (U+2580-259F), the grey ones as medium shades
// (U+2592, U+1FB8E-F); "?" for codes that are no characters.
std::string zx81_text(uint8_t code);

// The ZX81 character (0x00-0x3F) that is this ASCII character (capitals,
// digits, space and the symbols the ZX81 has); -1 for none.
int zx81_code_of(char c);

// The ASCII character of a plain ZX81 code (space, 0x0B-0x3F); 0 for none.
char ascii_of(uint8_t code);

// The screen as text, 24 lines (trailing spaces dropped): in the simple
// model from the display file, in the hardware model from the picture, each
// 8x8 cell matched against the ROM's characters ("?" where none matches).
std::vector<std::string> screen_text(Zx81& machine);

// Puts codes into the line being edited, before the cursor, as typing them
// would; the processor and the rest of memory move up as the ROM moves them.
// False when there is no room.
bool put_in_edit_line(Zx81& machine, const std::vector<uint8_t>& codes);

// Puts a line into the program as the ROM's line entry leaves it: `body`
// (the codes after the line's length, NEWLINE last) as line `number`, in its
// place by number, replacing a line of that number; an empty body deletes
// it. What follows moves up or down, and so do the system variables that
// point past the change (D_FILE to STKEND), as the ROM's own MAKE-ROOM and
// RECLAIM move them. For lines the line editor cannot take as they stand:
// longer than its room, or with bytes it treats as its own. False when
// there is no room.
bool put_program_line(Zx81& machine, int number, const std::vector<uint8_t>& body);

// Whether the line being edited is empty: the ROM has taken the last one.
bool edit_line_empty(const Zx81& machine);

// A line of a program: its number and its body (the codes after the line's
// length, the last of them NEWLINE).
struct ProgramLine {
    int number = 0;
    std::vector<uint8_t> body;
};

// The lines of a program area (what lies from 0x407D up to D_FILE), as far
// as they are well formed; a number past 16383 (the end mark some programs
// put before the display file) ends them. Where they stop being well formed
// (a line that runs past the end, one that does not end in NEWLINE, bytes
// that are no line) is said in `problem`, with the line's number and
// address; it stays empty when every byte belongs to a line.
std::vector<ProgramLine> program_lines(const std::vector<uint8_t>& area, std::string* problem = nullptr);

// The five bytes the ROM's line entry puts after a number's digits: the
// ROM's own conversion run on `literal` (the number's codes: digits, '.',
// E and its sign), on a machine in the simple model at rest (the K prompt),
// which is left as it was. False when it cannot be run there.
bool rom_number_form(Zx81& machine, const std::vector<uint8_t>& literal, std::array<uint8_t, 5>& form);
