// The host keyboard read into the ZX81's key matrix: every key, the arrows,
// Backspace as RUBOUT, and what the ZX81 then reads through its ports.
#include <gtest/gtest.h>

#include <vector>

#include "headless.h"
#include "host_keys.h"

namespace {

struct PortCase {
    const char* name;
    std::vector<int> keys;  // Allegro keys held
    uint16_t port;
    uint8_t expected;
};

TEST(Keyboard, PortReadsForKeyCombinations) {
    const PortCase cases[] = {
        {"nothing held", {}, 0xFEFE, 0xFF},
        {"left shift", {KEY_LSHIFT}, 0xFEFE, 0xFE},
        {"right shift", {KEY_RSHIFT}, 0xFEFE, 0xFE},
        {"shift and Z", {KEY_LSHIFT, KEY_Z}, 0xFEFE, 0xFC},
        {"V", {KEY_V}, 0xFEFE, 0xEF},
        {"all rows: A and NEWLINE", {KEY_A, KEY_ENTER}, 0x00FE, 0xFE},
        {"odd port never answers", {KEY_LSHIFT, KEY_A}, 0xFEFF, 0xFF},
        {"no row selected", {KEY_LSHIFT}, 0xFFFE, 0xFF},
        {"row 1 G", {KEY_G}, 0xFDFE, 0xEF},
        {"row 2 Q", {KEY_Q}, 0xFBFE, 0xFE},
        {"row 3 5", {KEY_5}, 0xF7FE, 0xEF},
        {"row 4 0 and 6", {KEY_0, KEY_6}, 0xEFFE, 0xEE},
        {"row 5 Y", {KEY_Y}, 0xDFFE, 0xEF},
        {"row 6 H", {KEY_H}, 0xBFFE, 0xEF},
        {"row 7 space and dot", {KEY_SPACE, KEY_SEMICOLON}, 0x7FFE, 0xFC},
        {"row 7 B not seen on row 6", {KEY_B}, 0xBFFE, 0xFF},
        {"left arrow is 5, no shift", {KEY_LEFT}, 0xF7FE, 0xEF},
        {"left arrow leaves shift up", {KEY_LEFT}, 0xFEFE, 0xFF},
        {"right arrow is 8", {KEY_RIGHT}, 0xEFFE, 0xFB},
        {"up arrow is 7", {KEY_UP}, 0xEFFE, 0xF7},
        {"down arrow is 6", {KEY_DOWN}, 0xEFFE, 0xEF},
        {"backspace is shift", {KEY_BACKSPACE}, 0xFEFE, 0xFE},
        {"backspace is 0", {KEY_BACKSPACE}, 0xEFFE, 0xFE},
        {"backspace hides X", {KEY_BACKSPACE, KEY_X}, 0xFEFE, 0xFE},
        {"backspace hides 9", {KEY_BACKSPACE, KEY_9}, 0xEFFE, 0xFE},
        {"backspace keeps other rows", {KEY_BACKSPACE, KEY_A}, 0xFDFE, 0xFE},
        {"unmapped keys do nothing", {KEY_TAB, KEY_F1, KEY_ALT, KEY_ESC}, 0x00FE, 0xFF},
    };
    headless::start();
    for (const PortCase& c : cases) {
        for (int k = 0; k < KEY_MAX; ++k) key[k] = 0;
        for (int k : c.keys) key[k] = 1;
        set_keys(zx81, scan_host_keys());
        EXPECT_EQ(port_in(c.port), c.expected) << c.name;
        for (int row = 0; row < 8; ++row) EXPECT_EQ(zx81.keys[row] & 0xE0, 0xE0) << c.name;
    }
    for (int k = 0; k < KEY_MAX; ++k) key[k] = 0;
}

TEST(Keyboard, EveryLetterAndDigitLandsOnItsMatrixPosition) {
    // The ZX81 keyboard, row by row, bit 0 first.
    const int layout[8][5] = {
        {KEY_LSHIFT, KEY_Z, KEY_X, KEY_C, KEY_V}, {KEY_A, KEY_S, KEY_D, KEY_F, KEY_G},
        {KEY_Q, KEY_W, KEY_E, KEY_R, KEY_T},      {KEY_1, KEY_2, KEY_3, KEY_4, KEY_5},
        {KEY_0, KEY_9, KEY_8, KEY_7, KEY_6},      {KEY_P, KEY_O, KEY_I, KEY_U, KEY_Y},
        {KEY_ENTER, KEY_L, KEY_K, KEY_J, KEY_H},  {KEY_SPACE, KEY_SEMICOLON, KEY_M, KEY_N, KEY_B},
    };
    headless::start();
    for (int row = 0; row < 8; ++row) {
        for (int bit = 0; bit < 5; ++bit) {
            key[layout[row][bit]] = 1;
            const KeyMatrix keys = scan_host_keys();
            key[layout[row][bit]] = 0;
            for (int r = 0; r < 8; ++r)
                EXPECT_EQ(keys[r], r == row ? (0xFF & ~(1 << bit)) : 0xFF)
                    << "row " << row << " bit " << bit;
        }
    }
}

}  // namespace
