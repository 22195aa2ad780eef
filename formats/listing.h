// ZX81 BASIC listings as the community writes them: text files read into
// the codes the ZX81 keeps, and programs written out as such text.
//
// Three conventions for what a PC keyboard has no key for, in strings and
// REMs:
//   zxtext2p (the default), as ZXText2P writes it:
//     \ab    a block graphic: a is its left half, b its right, each one of
//            ' ' (empty), ' (top quarter), . (bottom quarter), : (both)
//     \##    the grey block; \,, its bottom half grey, \~~ its top half
//     \@@ \;; \!!   the inverse of those three
//     %X     X in inverse video
//     \"     the quote character, as "" gives it in a string
//     £      the pound sign
//   orlix: as zxtext2p, but written with %\## for the inverse greys and ""
//     for the quote character.
//   zmakebas, as zmakebas writes for the ZX81: a small letter is inverse
//     video, \ with a digit or symbol its inverse, \\ the pound sign and \@
//     its inverse, ` the quote character, \!: \!. \!' the greys and \|: \|.
//     \|' their inverses; block graphics as above.
// In every convention \{n} is the byte n as it stands (machine code in a
// REM, a keyword inside a string), \{=a,b,c,d,e} after a number the five
// bytes of its value when they are not what its digits give, # at the start
// of a line a comment, and \ at the end of a line joins the next to it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

enum class ListingStyle { zxtext2p, zmakebas, orlix };

// The style of a name ("zxtext2p", "zmakebas", "orlix"); none for another.
std::optional<ListingStyle> listing_style_named(std::string_view name);

// A numbered line of a listing as read from its file: continuations joined,
// and where each part of it came from, for messages.
struct ListingLine {
    std::string text;
    struct Part {
        size_t offset;  // where the part starts in `text`
        int line;       // its line in the file, from 1
        size_t column;  // the offset in that line where the part starts
    };
    std::vector<Part> parts;
};

// The lines of a listing's text: a UTF-8 byte-order mark skipped, CR LF
// ends taken, a Latin-1 pound sign (0xA3 that is no UTF-8) made UTF-8, blank
// lines and comments (# first) left out, lines ending in \ joined to the next
// with its leading blanks dropped.
std::vector<ListingLine> listing_lines(std::string_view text);

// "line L, column C" (in the file, the column counted in characters from 1)
// of an offset in a line.
std::string place_in_listing(const ListingLine& line, size_t offset);

// A line's value form written after its number (\{=...}), to be put in
// once the ROM has entered the line: the `ordinal`th number of the line,
// from 0.
struct HiddenNumber {
    size_t ordinal = 0;
    std::array<uint8_t, 5> form{};
};

// A listing line read into ZX81 codes: its number and what follows it
// (numbers as their digits: the ROM adds their value when it enters the
// line).
struct BasicLine {
    int number = 0;
    std::vector<uint8_t> codes;
    std::vector<HiddenNumber> hidden;
    // Where a keyword could have been read the other way (as the letters of
    // a name, or a name as a keyword): offsets in the text, for the readings
    // to try when the ZX81 refuses this one.
    std::vector<size_t> choices;
    std::string error;    // why it cannot be read; empty when it can
    size_t error_at = 0;  // the offset in the text the error is at
};

// Reads one line. Outside strings and REMs, keywords are read as the ZX81
// keeps them: the first word of a statement is its keyword; elsewhere a
// keyword is read wherever one can start (after another keyword, a symbol,
// a digit or a space), spaces around it optional (PRINTAT, RANDUSR16514,
// THENGOTO20), except that one followed directly by a letter starts a name
// instead (TOTAL, COST, REMAINDER). `flipped` holds offsets (from `choices`)
// where the other reading is taken. Small letters are capitals there, GO TO
// and GO SUB may have their space, ** <= >= <> are their tokens.
BasicLine read_basic_line(std::string_view text, ListingStyle style = ListingStyle::zxtext2p,
                          const std::set<size_t>& flipped = {});

// Whether five value bytes are what the ROM's line entry makes of a
// number's codes.
using NumberCheck = std::function<bool(const std::vector<uint8_t>& literal, const std::array<uint8_t, 5>& form)>;

// A program's lines (the program area, 0x407D up to D_FILE) as a listing in
// the style: keywords as words with spaces around them, numbers as typed (a
// value the digits do not give written after them), graphics, inverse
// characters and REM machine code as escapes, so that reading it back gives
// the same codes. Lines that are not well formed end the listing; where, in
// `problem` (see program_lines).
std::string list_program(const std::vector<uint8_t>& area, ListingStyle style, const NumberCheck& agrees,
                         std::string* problem = nullptr);
