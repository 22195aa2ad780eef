// BASIC listings as the community writes them: lines read into ZX81 codes in
// each convention, keywords read as the ROM reads them, listing files split
// into lines, and programs written out and read back.
#include <gtest/gtest.h>

#include "basic_text.h"
#include "listing.h"
#include "zx81_harness.h"

namespace {

using Listing = MachineTest;

// ZX81 codes of plain text: letters, digits and the symbols used here.
std::vector<uint8_t> zx(std::string_view text) {
    std::vector<uint8_t> codes;
    for (char c : text) {
        if (c >= 'A' && c <= 'Z') codes.push_back(static_cast<uint8_t>(0x26 + c - 'A'));
        else if (c >= '0' && c <= '9') codes.push_back(static_cast<uint8_t>(0x1C + c - '0'));
        else if (c == '=') codes.push_back(0x14);
        else if (c == '"') codes.push_back(0x0B);
        else if (c == '$') codes.push_back(0x0D);
        else if (c == ' ') codes.push_back(0x00);
        else ADD_FAILURE() << "no code for " << c;
    }
    return codes;
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

constexpr uint8_t PRINT = 0xF5, LET = 0xF1, REM = 0xEA, AT = 0xC1, TAB = 0xC2, RAND = 0xF9, USR = 0xD4,
                  INKEY = 0x41, CODE = 0xC4, THEN = 0xDE, GOTO = 0xEC, IF = 0xFA, FOR = 0xEB, TO = 0xDF;

struct LineCase {
    ListingStyle style;
    const char* text;
    std::vector<uint8_t> codes;
    const char* error;  // part of the reason; empty when it reads
    size_t at = 0;      // where the error is, for one
};

constexpr ListingStyle zxtext2p = ListingStyle::zxtext2p, zmakebas = ListingStyle::zmakebas,
                       orlix = ListingStyle::orlix;

TEST_F(Listing, LinesBecomeTheZX81sCodes) {
    const LineCase cases[] = {
        {orlix, "10 PRINT 1.5", {PRINT, 0x1D, 0x1B, 0x21}, ""},
        {orlix, " 20 FORI=1TO10", {FOR, 0x2E, 0x14, 0x1D, TO, 0x1D, 0x1C}, ""},
        {orlix, "30 LET TOTAL=ATN 2", {LET, 0x39, 0x34, 0x39, 0x26, 0x31, 0x14, 0xCC, 0x1E}, ""},
        {orlix, "40 if a<>b then go to 5", {IF, 0x26, 0xDD, 0x27, THEN, GOTO, 0x21}, ""},
        {orlix, "50 PRINT \"A\"\"B\";X**2", {PRINT, 0x0B, 0x26, 0xC0, 0x27, 0x0B, 0x19, 0x3D, 0xD8, 0x1E}, ""},
        {orlix, "60 REM  HI \\..%A\\##", {REM, 0x00, 0x2D, 0x2E, 0x00, 0x83, 0xA6, 0x08}, ""},
        {orlix, "70 LET A$=STR$ PI+INKEY$", {LET, 0x26, 0x0D, 0x14, 0xD5, 0x42, 0x15, 0x41}, ""},
        {orlix, "80 PRINT \"\\':\\ .%\\,,£\"", {PRINT, 0x0B, 0x84, 0x87, 0x89, 0x0C, 0x0B}, ""},
        {orlix, "9999 PRINT AT 1,2;TAB 3", {PRINT, AT, 0x1D, 0x1A, 0x1E, 0x19, TAB, 0x1F}, ""},
        // ZXText2P: the inverse greys, the quote character, bytes as they stand.
        {zxtext2p, "1 REM \\@@\\;;\\!!\\##\\,,\\~~", {REM, 0x88, 0x89, 0x8A, 0x08, 0x09, 0x0A}, ""},
        {zxtext2p, "2 PRINT \"\\\"A\\\"\"", {PRINT, 0x0B, 0xC0, 0x26, 0xC0, 0x0B}, ""},
        {zxtext2p, "3 REM \\{0}\\{201}\\{0x76}\\{245}", {REM, 0x00, 0xC9, 0x76, 0xF5}, ""},
        // zmakebas: small letters inverse, \ with a digit or symbol its inverse.
        {zmakebas, "4 PRINT \"Hi\\1\\.\\\\\\@`\"", {PRINT, 0x0B, 0x2D, 0xAE, 0x9D, 0x9B, 0x0C, 0x8C, 0xC0, 0x0B}, ""},
        {zmakebas, "5 REM \\!:\\!.\\!'\\|:\\|.\\|'\\:.", {REM, 0x08, 0x09, 0x0A, 0x88, 0x89, 0x8A, 0x82}, ""},
        {zmakebas, "6 REM \\{62}\\{42}\\{201}", {REM, 0x3E, 0x2A, 0xC9}, ""},
        {zmakebas, "7 print \"%\"", {}, "'%' is a character the ZX81 has not", 9},
        // A number's value written after it.
        {zxtext2p, "8 PRINT 1\\{=129,0,0,0,1}", {PRINT, 0x1D}, ""},
        {zxtext2p, "9 PRINT \\{=129,0,0,0,1}", {}, "right after a number", 8},
        {zxtext2p, "9 PRINT 1\\{=129,0,0}", {}, "five bytes", 9},
        // Errors name the character and where it is.
        {orlix, "PRINT 1", {}, "no line number"},
        {orlix, "10000 PRINT 1", {}, "no line number"},
        {orlix, "10 PRINT \"ABC", {}, "not closed", 13},
        {orlix, "10 PRINT #1", {}, "'#' cannot be typed on a ZX81 outside a string", 9},
        {orlix, "10 PRINT \"%\\''\"", {}, "no inverse form", 10},
        {orlix, "10 PRINT \"a[b\"", {}, "'[' is a character the ZX81 has not", 11},
        {orlix, "10 PRINT \"a\tb\"", {}, "a tab is a character the ZX81 has not", 11},
        {orlix, "10 PRINT \"\xE2\x82\xAC\"", {}, "'\xE2\x82\xAC' (U+20AC) is a character", 10},
        {orlix, "10 PRINT \"\x01\"", {}, "the control character 0x01", 10},
        // Overlong forms and surrogates are no UTF-8: named as bytes, never
        // taken for the characters they would smuggle in.
        {orlix, "10 PRINT \"\xE0\x80\xAF\"", {}, "the byte 0xE0 (not UTF-8)", 10},
        {orlix, "10 PRINT \"\xC0\xAF\"", {}, "the byte 0xC0 (not UTF-8)", 10},
        {orlix, "10 PRINT \"\xED\xA0\x80\"", {}, "the byte 0xED (not UTF-8)", 10},
        {orlix, "10 PRINT \"\xF4\x90\x80\x80\"", {}, "the byte 0xF4 (not UTF-8)", 10},
        {orlix, "10 PRINT \"\xF0\x82\x82\xAC\"", {}, "the byte 0xF0 (not UTF-8)", 10},
        {zmakebas, "10 REM `", {REM, 0xC0}, ""},
        {orlix, "10 REM \\q", {}, "\\q is no escape", 7},
        {zxtext2p, "10 REM \\{256}", {}, "is no byte", 7},
    };
    for (const LineCase& c : cases) {
        const BasicLine line = read_basic_line(c.text, c.style);
        if (*c.error) {
            EXPECT_NE(line.error.find(c.error), std::string::npos) << c.text << ": " << line.error;
            EXPECT_EQ(line.error_at, c.at) << c.text;
            continue;
        }
        EXPECT_EQ(line.error, "") << c.text;
        EXPECT_EQ(line.codes, c.codes) << c.text;
    }
    const BasicLine valued = read_basic_line("8 PRINT 1+2\\{=130,0,0,0,1}");
    ASSERT_EQ(valued.hidden.size(), 1u);
    EXPECT_EQ(valued.hidden[0].ordinal, 1u) << "the second number's";
    EXPECT_EQ(valued.hidden[0].form, (std::array<uint8_t, 5>{130, 0, 0, 0, 1}));
}

// Keywords as the ROM reads them: a keyword followed by a letter starts a
// name, keywords written together are keywords; the other reading of a
// choice is what the typist tries when the ZX81 refuses the first.
TEST_F(Listing, KeywordsAsTheROMReadsThem) {
    struct KeywordCase {
        const char* text;
        std::vector<uint8_t> codes;    // as read first
        std::vector<uint8_t> flipped;  // with the first choice read the other way; empty: none tried
    };
    const KeywordCase cases[] = {
        {"1 LET REMAINDER=7", std::vector<uint8_t>{LET} + zx("REMAINDER=7"), std::vector<uint8_t>{LET, REM} + zx("AINDER=7")},
        {"2 LET LENGTH=VALUE", std::vector<uint8_t>{LET} + zx("LENGTH=VALUE"), {}},
        {"3 PRINT COST", std::vector<uint8_t>{PRINT} + zx("COST"), {PRINT, 0xC8, 0x39}},
        {"4 LET NOTE=STEPS+RUNS", std::vector<uint8_t>{LET} + zx("NOTE=STEPS") + std::vector<uint8_t>{0x15} + zx("RUNS"), {}},
        {"5 LET PRINTER=1", std::vector<uint8_t>{LET} + zx("PRINTER=1"), {}},
        {"6 PRINTAT 0,0;\"X\"", {PRINT, AT, 0x1C, 0x1A, 0x1C, 0x19, 0x0B, 0x3D, 0x0B}, {}},
        {"7 RANDUSR16514", std::vector<uint8_t>{RAND, USR} + zx("16514"), {}},
        {"8 PRINTTAB5", {PRINT, TAB, 0x21}, {}},
        {"9 PRINTINKEY$", {PRINT, INKEY}, {}},
        {"10 PRINTCODE\"A\"", std::vector<uint8_t>{PRINT, CODE} + zx("\"A\""), {}},
        {"11 IF A=1THENGOTO20", std::vector<uint8_t>{IF} + zx("A=1THENGOTO20"),
         std::vector<uint8_t>{IF} + zx("A=1") + std::vector<uint8_t>{THEN, GOTO} + zx("20")},
        {"12 PRINT PI", {PRINT, 0x42}, {PRINT, 0x35, 0x2E}},
        {"13 PRINT \\{53}I", {PRINT, 0x35, 0x2E}, {}},  // a name like a keyword, written to stay a name
    };
    for (const KeywordCase& c : cases) {
        const BasicLine line = read_basic_line(c.text);
        EXPECT_EQ(line.error, "") << c.text;
        EXPECT_EQ(line.codes, c.codes) << c.text;
        if (c.flipped.empty()) continue;
        ASSERT_FALSE(line.choices.empty()) << c.text;
        EXPECT_EQ(read_basic_line(c.text, zxtext2p, {line.choices[0]}).codes, c.flipped) << c.text;
    }
}

// Every character the ZX81 has, written as --screen-text writes it and read
// back inside a string, is the same character.
TEST_F(Listing, EveryCharacterReadsBackFromItsScreenText) {
    for (int code = 0; code < 256; ++code) {
        if ((code & 0x7F) >= 64 || code == 0x0B) continue;  // no character; the quote closes the string
        const std::string text = zx81_text(static_cast<uint8_t>(code));
        const BasicLine line = read_basic_line("1 PRINT \"" + text + "\"", orlix);
        EXPECT_EQ(line.codes, (std::vector<uint8_t>{PRINT, 0x0B, static_cast<uint8_t>(code), 0x0B}))
            << code << " as " << text << ": " << line.error;
    }
}

// The block graphics are those of the ROM's character set.
TEST_F(Listing, BlockGraphicsAreTheROMsGlyphs) {
    start_machine();
    for (const auto& [escape, quarters] : {std::pair<const char*, int>{"\\' ", 1}, {"\\ '", 2}, {"\\. ", 4},
                                           {"\\ .", 8}, {"\\:.", 13}, {"\\::", 15}, {"\\  ", 0}}) {
        const BasicLine line = read_basic_line(std::string("1 REM ") + escape);
        ASSERT_EQ(line.codes.size(), 2u) << escape;
        const uint8_t code = line.codes[1];
        const uint8_t* glyph = &zx81.memory[0x1E00 + 8 * (code & 0x3F)];
        const uint8_t invert = (code & 0x80) ? 0xFF : 0x00;
        const int shown = ((glyph[0] ^ invert) & 0xF0 ? 1 : 0) | ((glyph[0] ^ invert) & 0x0F ? 2 : 0) |
                          ((glyph[7] ^ invert) & 0xF0 ? 4 : 0) | ((glyph[7] ^ invert) & 0x0F ? 8 : 0);
        EXPECT_EQ(shown, quarters) << escape;
    }
}

// A listing file into lines: the byte-order mark, CR LF, comments, blank
// lines, continuations and a Latin-1 pound sign; and where a place in a
// joined line came from.
TEST_F(Listing, FilesSplitIntoLines) {
    const std::string text = "\xEF\xBB\xBF# a comment\r\n"
                             "10 PRINT \"\xA3\"\r\n"
                             "\n"
                             "   # indented comment\n"
                             "20 PRINT \"A\\\n"
                             "     B\"\n"
                             "30 REM \\\\\n"
                             "40 REM x";
    const std::vector<ListingLine> lines = listing_lines(text);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, "10 PRINT \"\xC2\xA3\"");
    EXPECT_EQ(lines[1].text, "20 PRINT \"AB\"");
    EXPECT_EQ(lines[2].text, "30 REM \\\\") << "an even number of \\ ends no line";
    EXPECT_EQ(lines[3].text, "40 REM x");
    EXPECT_EQ(place_in_listing(lines[0], 10), "line 2, column 11");
    EXPECT_EQ(place_in_listing(lines[1], 11), "line 6, column 6") << "B, on the joined line";
    EXPECT_EQ(read_basic_line(lines[0].text).codes, (std::vector<uint8_t>{PRINT, 0x0B, 0x0C, 0x0B}));
}

// A program area of lines in the ZX81's own form.
std::vector<uint8_t> program(const std::vector<std::pair<int, std::vector<uint8_t>>>& lines) {
    std::vector<uint8_t> area;
    for (const auto& [number, codes] : lines) {
        const size_t length = codes.size() + 1;
        area.insert(area.end(), {static_cast<uint8_t>(number >> 8), static_cast<uint8_t>(number),
                                 static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8)});
        area.insert(area.end(), codes.begin(), codes.end());
        area.push_back(0x76);
    }
    return area;
}

// What typing a listing line gives, with the values of numbers as the fake
// ROM below makes them, and any value written after a number put in.
std::vector<uint8_t> entered(const BasicLine& line, const std::array<uint8_t, 5>& made) {
    std::vector<uint8_t> codes;
    size_t ordinal = 0;
    bool in_string = false;
    const auto is_digit = [](uint8_t c) { return c >= 0x1C && c <= 0x25; };
    for (size_t i = 0; i < line.codes.size(); ++i) {
        codes.push_back(line.codes[i]);
        if (line.codes[i] == 0x0B) in_string = !in_string;
        const bool ends = i + 1 == line.codes.size() || !is_digit(line.codes[i + 1]);
        if (is_digit(line.codes[i]) && ends && !in_string && line.codes[0] != REM) {
            codes.push_back(0x7E);
            std::array<uint8_t, 5> form = made;
            for (const HiddenNumber& h : line.hidden)
                if (h.ordinal == ordinal) form = h.form;
            codes.insert(codes.end(), form.begin(), form.end());
            ++ordinal;
        }
    }
    return codes;
}

// A program written out in each style reads back to the same codes: every
// code in a REM and in a string, names like keywords, a stored space, and a
// number whose value is not what its digits give.
TEST_F(Listing, ProgramsListAndReadBack) {
    std::vector<uint8_t> every_code = {REM};
    for (int code = 0; code < 256; ++code)
        if (code != 0x76) every_code.push_back(static_cast<uint8_t>(code));
    std::vector<uint8_t> string_codes = {PRINT, 0x0B};
    for (int code = 0; code < 256; ++code)
        if (code != 0x0B && code != 0x76) string_codes.push_back(static_cast<uint8_t>(code));
    string_codes.push_back(0x0B);
    const std::array<uint8_t, 5> made = {0x81, 0, 0, 0, 0};  // what the fake ROM makes of any digits
    const std::vector<uint8_t> value_ok = {0x7E, 0x81, 0, 0, 0, 0}, value_odd = {0x7E, 0x84, 0x20, 0, 0, 0};
    const std::vector<uint8_t> area = program({
        {1, every_code},
        {2, string_codes},
        {3, std::vector<uint8_t>{LET} + zx("PI=1") + value_ok},
        {4, std::vector<uint8_t>{PRINT} + zx("1") + value_odd + std::vector<uint8_t>{0x15} + zx("2") + value_ok},
        {5, std::vector<uint8_t>{PRINT} + zx("A B")},
        {9999, std::vector<uint8_t>{REM, 0x76, 0x7E, 0x1B, 0x1B, 0x0E}},
    });
    const NumberCheck agrees = [&](const std::vector<uint8_t>&, const std::array<uint8_t, 5>& form) {
        return form == made;
    };
    for (ListingStyle style : {zxtext2p, zmakebas, orlix}) {
        const std::string listing = list_program(area, style, agrees);
        const std::vector<ListingLine> lines = listing_lines(listing);
        const std::vector<ProgramLine> originals = program_lines(area);
        ASSERT_EQ(lines.size(), originals.size()) << listing;
        for (size_t i = 0; i < lines.size(); ++i) {
            const BasicLine line = read_basic_line(lines[i].text, style);
            ASSERT_EQ(line.error, "") << lines[i].text;
            EXPECT_EQ(line.number, originals[i].number);
            std::vector<uint8_t> body = entered(line, made);
            body.push_back(0x76);
            EXPECT_EQ(body, originals[i].body) << static_cast<int>(style) << ": " << lines[i].text;
        }
    }
    const std::string zxtext2p_listing = list_program(area, zxtext2p, agrees);
    EXPECT_NE(zxtext2p_listing.find("4 PRINT 1\\{=132,32,0,0,0}+2\n"), std::string::npos) << zxtext2p_listing;
    EXPECT_NE(zxtext2p_listing.find("3 LET \\{53}I=1\n"), std::string::npos) << zxtext2p_listing;
}

}  // namespace
