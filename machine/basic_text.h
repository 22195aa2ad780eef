// ZX81 BASIC as text: listing lines turned into the codes the ZX81 keeps
// (characters and keyword tokens), the ZX81's characters turned back into
// text, and the screen read as text.
//
// The text convention, for what a keyboard has no key for:
//   \ab   a block graphic: a is its left half, b its right, each one of
//         ' ' (empty), ' (top quarter), . (bottom quarter), : (both)
//   \##   the grey block, \~~ its top half grey, \,, its bottom half grey
//   %X    X in inverse video (a character, or one of the grey blocks)
//   £     the pound sign
// They stand in strings and REMs, where the ZX81 keeps such characters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "display_file.h"

struct Zx81;

// A line of a listing read into ZX81 codes: its number and the codes of
// what follows it (numbers as their digits: the ROM adds their 5-byte form
// when it enters the line).
struct BasicLine {
    int number = 0;
    std::vector<uint8_t> codes;
    std::string error;  // why it cannot be; empty when it can
};

// Reads one line of a listing. Keywords are taken longest first wherever a
// word starts, spaces around them optional; a keyword of two letters (TO,
// OR, AT, IF, LN, PI) only when no letter follows, so that TOTAL stays a
// variable. A statement's first word is always its keyword, as on the ZX81,
// so FORI=1TO10 reads as FOR I=1 TO 10. Letters may be small; ** <= >= <>
// are their tokens, "" inside a string the quote character.
BasicLine read_basic_line(std::string_view text);

// A ZX81 character code as text in the convention above: inverse characters
// with %, block graphics as Unicode quadrant blocks (U+2580-259F), the grey
// ones as medium shades (U+2592, U+1FB8E-F); "?" for codes that are no
// characters.
std::string zx81_text(uint8_t code);

// The screen as text, 24 lines (trailing spaces dropped): in the simple
// model from the display file, in the hardware model from the picture, each
// 8x8 cell matched against the ROM's characters ("?" where none matches).
std::vector<std::string> screen_text(Zx81& machine);

// Puts codes into the line being edited, before the cursor, as typing them
// would; the processor and the rest of memory move up as the ROM moves them.
// False when there is no room.
bool put_in_edit_line(Zx81& machine, const std::vector<uint8_t>& codes);

// Whether the line being edited is empty: the ROM has taken the last one.
bool edit_line_empty(const Zx81& machine);
