// BASIC listings read into ZX81 codes, the ZX81's characters as text, and two
// machines running side by side.
#include <gtest/gtest.h>

#include <memory>

#include "basic_text.h"
#include "zx81_harness.h"

namespace {

struct LineCase {
    const char* text;
    int number;
    std::vector<uint8_t> codes;
    const char* error;  // part of the reason; empty when it reads
};

TEST(BasicText, ListingLinesBecomeTheZX81sCodes) {
    const LineCase cases[] = {
        {"10 PRINT 1.5", 10, {0xF5, 0x1D, 0x1B, 0x21}, ""},
        {" 20 FORI=1TO10", 20, {0xEB, 0x2E, 0x14, 0x1D, 0xDF, 0x1D, 0x1C}, ""},
        {"30 LET TOTAL=ATN 2", 30, {0xF1, 0x39, 0x34, 0x39, 0x26, 0x31, 0x14, 0xCC, 0x1E}, ""},
        {"40 if a<>b then go to 5", 40, {0xFA, 0x26, 0xDD, 0x27, 0xDE, 0xEC, 0x21}, ""},
        {"50 PRINT \"A\"\"B\";X**2", 50, {0xF5, 0x0B, 0x26, 0xC0, 0x27, 0x0B, 0x19, 0x3D, 0xD8, 0x1E}, ""},
        {"60 REM  HI \\..%A\\##", 60, {0xEA, 0x00, 0x2D, 0x2E, 0x00, 0x83, 0xA6, 0x08}, ""},
        {"70 LET A$=STR$ PI+INKEY$", 70, {0xF1, 0x26, 0x0D, 0x14, 0xD5, 0x42, 0x15, 0x41}, ""},
        {"80 PRINT \"\\':\\ .%\\,,£\"", 80, {0xF5, 0x0B, 0x84, 0x87, 0x89, 0x0C, 0x0B}, ""},
        {"9999 PRINT AT 1,2;TAB 3", 9999, {0xF5, 0xC1, 0x1D, 0x1A, 0x1E, 0x19, 0xC2, 0x1F}, ""},
        {"PRINT 1", 0, {}, "no line number"},
        {"10000 PRINT 1", 0, {}, "no line number"},
        {"10 PRINT \"ABC", 0, {}, "not closed"},
        {"10 PRINT #1", 0, {}, "'#' cannot be typed"},
        {"10 PRINT \"%\\''\"", 0, {}, "a character the ZX81 has not"},
        {"10 PRINT \"a[b\"", 0, {}, "column 12"},
    };
    for (const LineCase& c : cases) {
        const BasicLine line = read_basic_line(c.text);
        if (*c.error) {
            EXPECT_NE(line.error.find(c.error), std::string::npos) << c.text << ": " << line.error;
            continue;
        }
        EXPECT_EQ(line.error, "") << c.text;
        EXPECT_EQ(line.number, c.number) << c.text;
        EXPECT_EQ(line.codes, c.codes) << c.text;
    }
}

// Every character the ZX81 has, written as text and read back inside a
// string, is the same character: the two conventions agree.
TEST(BasicText, EveryCharacterReadsBackFromItsText) {
    for (int code = 0; code < 256; ++code) {
        if ((code & 0x7F) >= 64 || code == 0x0B) continue;  // no character; the quote closes the string
        const std::string text = zx81_text(static_cast<uint8_t>(code));
        const BasicLine line = read_basic_line("1 PRINT \"" + text + "\"");
        EXPECT_EQ(line.codes, (std::vector<uint8_t>{0xF5, 0x0B, static_cast<uint8_t>(code), 0x0B}))
            << code << " as " << text << ": " << line.error;
    }
    EXPECT_EQ(zx81_text(0x26), "A");
    EXPECT_EQ(zx81_text(0xA6), "%A");
    EXPECT_EQ(zx81_text(0x80), "\u2588");
    EXPECT_EQ(zx81_text(0x01), "\u2598");
    EXPECT_EQ(zx81_text(0x88), "%\u2592");
    EXPECT_EQ(zx81_text(0x40), "?");
}

// The block graphics are those of the ROM's character set.
TEST(BasicText, BlockGraphicsAreTheROMsGlyphs) {
    harness::power_up();
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

// Two machines in one process: each runs on its own bus, so keys and memory
// of one never reach the other, in either model.
TEST(TwoMachines, RunSideBySideWithoutTouchingEachOther) {
    const RomFile rom = read_rom_file(harness::shared_path("roms/zx81.rom"));
    ASSERT_TRUE(rom.ok);
    for (Model other : {Model::simple, Model::hardware}) {
        auto first = std::make_unique<Zx81>();
        auto second = std::make_unique<Zx81>();
        second->model = other;
        power_up(*first, rom.image);
        power_up(*second, rom.image);
        const auto both = [&](int periods) {
            for (int i = 0; i < periods; ++i) {
                run_period(*first);
                run_period(*second);
            }
        };
        both(400);
        ASSERT_TRUE(shows_k_prompt(first->memory));
        ASSERT_TRUE(shows_k_prompt(second->memory));
        KeyMatrix p = no_keys_down;
        press_key(p, zx_key::p);
        set_keys(*first, p);
        both(10);
        set_keys(*first, no_keys_down);
        both(20);
        EXPECT_EQ(first->memory[word_at(first->memory, sysvar::e_line)], 0xF5) << "PRINT typed";
        EXPECT_TRUE(edit_line_empty(*second)) << model_name(other);
        EXPECT_TRUE(shows_k_prompt(second->memory));
    }
}

}  // namespace
