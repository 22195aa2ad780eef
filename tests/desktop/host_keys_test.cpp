// The host keyboard read into the ZX81's key matrix: every key, the arrows,
// the character keys pressed as real key presses, Backspace as RUBOUT, and
// what the ZX81 then reads through its ports and types with its own ROM.
#include <gtest/gtest.h>

#include <vector>

#include "offscreen.h"
#include "host_keys.h"

namespace {

void release_all_keys() {
    for (int k = 0; k < KEY_MAX; ++k) key[k] = 0;
}

// The matrix once the keys held have settled (a character key needs a scan
// to lead in with its SHIFT).
KeyMatrix settled_matrix(const std::vector<int>& held) {
    release_all_keys();
    for (int k : held) key[k] = 1;
    HostKeyboard keyboard;
    scan_host_keys(keyboard);
    return scan_host_keys(keyboard);
}

struct PortCase {
    const char* name;
    std::vector<int> keys;  // Allegro keys held
    uint16_t port;
    uint8_t expected;       // bit 7, the tape input, reads 0
};

TEST(Keyboard, PortReadsForKeyCombinations) {
    const PortCase cases[] = {
        {"nothing held", {}, 0xFEFE, 0x7F},
        {"left shift", {KEY_LSHIFT}, 0xFEFE, 0x7E},
        {"right shift", {KEY_RSHIFT}, 0xFEFE, 0x7E},
        {"shift and Z", {KEY_LSHIFT, KEY_Z}, 0xFEFE, 0x7C},
        {"V", {KEY_V}, 0xFEFE, 0x6F},
        {"all rows: A and NEWLINE", {KEY_A, KEY_ENTER}, 0x00FE, 0x7E},
        {"odd port never answers", {KEY_LSHIFT, KEY_A}, 0xFEFF, 0xFF},
        {"no row selected", {KEY_LSHIFT}, 0xFFFE, 0x7F},
        {"row 1 G", {KEY_G}, 0xFDFE, 0x6F},
        {"row 2 Q", {KEY_Q}, 0xFBFE, 0x7E},
        {"row 3 5", {KEY_5}, 0xF7FE, 0x6F},
        {"row 4 0 and 6", {KEY_0, KEY_6}, 0xEFFE, 0x6E},
        {"row 5 Y", {KEY_Y}, 0xDFFE, 0x6F},
        {"row 6 H", {KEY_H}, 0xBFFE, 0x6F},
        {"row 7 space and the key right of L", {KEY_SPACE, KEY_COLON}, 0x7FFE, 0x7C},
        {"row 7 B not seen on row 6", {KEY_B}, 0xBFFE, 0x7F},
        {"left arrow is 5, no shift", {KEY_LEFT}, 0xF7FE, 0x6F},
        {"left arrow leaves shift up", {KEY_LEFT}, 0xFEFE, 0x7F},
        {"right arrow is 8", {KEY_RIGHT}, 0xEFFE, 0x7B},
        {"up arrow is 7", {KEY_UP}, 0xEFFE, 0x77},
        {"down arrow is 6", {KEY_DOWN}, 0xEFFE, 0x6F},
        {"backspace is shift", {KEY_BACKSPACE}, 0xFEFE, 0x7E},
        {"backspace is 0", {KEY_BACKSPACE}, 0xEFFE, 0x7E},
        {"backspace hides X", {KEY_BACKSPACE, KEY_X}, 0xFEFE, 0x7E},
        {"backspace hides 9", {KEY_BACKSPACE, KEY_9}, 0xEFFE, 0x7E},
        {"backspace keeps other rows", {KEY_BACKSPACE, KEY_A}, 0xFDFE, 0x7E},
        {"unmapped keys do nothing", {KEY_TAB, KEY_F1, KEY_ALT, KEY_ESC}, 0x00FE, 0x7F},
    };
    offscreen::start();
    for (const PortCase& c : cases) {
        set_keys(zx81, settled_matrix(c.keys));
        EXPECT_EQ(read_port(zx81, c.port), c.expected) << c.name;
        for (int row = 0; row < 8; ++row) EXPECT_EQ(zx81.keys[row] & 0xE0, 0xE0) << c.name;
    }
    release_all_keys();
}

TEST(Keyboard, EveryLetterAndDigitLandsOnItsMatrixPosition) {
    // The ZX81 keyboard, row by row, bit 0 first.
    const int layout[8][5] = {
        {KEY_LSHIFT, KEY_Z, KEY_X, KEY_C, KEY_V}, {KEY_A, KEY_S, KEY_D, KEY_F, KEY_G},
        {KEY_Q, KEY_W, KEY_E, KEY_R, KEY_T},      {KEY_1, KEY_2, KEY_3, KEY_4, KEY_5},
        {KEY_0, KEY_9, KEY_8, KEY_7, KEY_6},      {KEY_P, KEY_O, KEY_I, KEY_U, KEY_Y},
        {KEY_ENTER, KEY_L, KEY_K, KEY_J, KEY_H},  {KEY_SPACE, KEY_COLON, KEY_M, KEY_N, KEY_B},
    };
    offscreen::start();
    for (int row = 0; row < 8; ++row) {
        for (int bit = 0; bit < 5; ++bit) {
            const KeyMatrix keys = settled_matrix({layout[row][bit]});
            for (int r = 0; r < 8; ++r)
                EXPECT_EQ(keys[r], r == row ? (0xFF & ~(1 << bit)) : 0xFF)
                    << "row " << row << " bit " << bit;
        }
    }
    release_all_keys();
}

KeyMatrix matrix_of(std::initializer_list<ZxKey> down) {
    KeyMatrix keys = no_keys_down;
    for (ZxKey k : down) press_key(keys, k);
    return keys;
}

// A character key, scan by scan: SHIFT (or nothing) leads, the key is held
// with it for as long as the host key is, SHIFT trails; host Shift never adds
// a SHIFT of its own while the character is typed.
TEST(Keyboard, ACharacterKeyIsPressedAsARealKeyPress) {
    using namespace zx_key;
    struct Step {
        std::vector<int> held;
        KeyMatrix expected;
    };
    struct SequenceCase {
        const char* name;
        std::vector<Step> steps;
    };
    const KeyMatrix none = no_keys_down;
    const SequenceCase cases[] = {
        {"= is SHIFT+L",
         {{{KEY_EQUALS}, matrix_of({shift})},
          {{KEY_EQUALS}, matrix_of({shift, l})},
          {{KEY_EQUALS}, matrix_of({shift, l})},
          {{}, matrix_of({shift})},
          {{}, none}}},
        {"host Shift and = is + (SHIFT+K), released Shift first: no =",
         {{{KEY_LSHIFT}, matrix_of({shift})},
          {{KEY_LSHIFT, KEY_EQUALS}, matrix_of({shift})},
          {{KEY_LSHIFT, KEY_EQUALS}, matrix_of({shift, k})},
          {{KEY_EQUALS}, matrix_of({shift, k})},
          {{}, matrix_of({shift})},
          {{}, none}}},
        {". is the bare . key, host Shift let go first",
         {{{KEY_STOP}, none}, {{KEY_STOP}, matrix_of({dot})}, {{}, none}, {{}, none}}},
        {"keypad . under a held host Shift leaks no SHIFT",
         {{{KEY_RSHIFT, KEY_DEL_PAD}, none},
          {{KEY_RSHIFT, KEY_DEL_PAD}, matrix_of({dot})},
          {{KEY_RSHIFT}, none},
          {{KEY_RSHIFT}, matrix_of({shift})}}},
        {"a tap shorter than a scan still types",
         {{{KEY_COMMA}, matrix_of({shift})}, {{}, matrix_of({shift, dot})}, {{}, matrix_of({shift})},
          {{}, none}}},
        {"a second character waits for the first to end",
         {{{KEY_MINUS}, matrix_of({shift})},
          {{KEY_MINUS, KEY_SLASH}, matrix_of({shift, j})},
          {{KEY_SLASH}, matrix_of({shift})},
          {{KEY_SLASH}, matrix_of({shift})},
          {{KEY_SLASH}, matrix_of({shift, v})}}},
        {"' alone types nothing",
         {{{KEY_QUOTE}, none}, {{KEY_QUOTE}, none}}},
        {"position keys go on beside a character",
         {{{KEY_A, KEY_ASTERISK}, matrix_of({a, shift})}, {{KEY_A, KEY_ASTERISK}, matrix_of({a, shift, b})}}},
    };
    offscreen::start();
    for (const SequenceCase& c : cases) {
        HostKeyboard keyboard;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            release_all_keys();
            for (int k : c.steps[i].held) key[k] = 1;
            EXPECT_EQ(scan_host_keys(keyboard), c.steps[i].expected) << c.name << ", scan " << i;
        }
    }
    release_all_keys();
}

// Each character key, typed after PRINT on the real ROM, puts its ZX81
// character into the line being edited.
TEST(Keyboard, EveryCharacterKeyTypesWhatIsPrintedOnIt) {
    struct TypedCase {
        std::vector<int> held;
        uint8_t code;  // the ZX81 character
    };
    const TypedCase cases[] = {
        {{KEY_STOP}, 0x1B},           {{KEY_LSHIFT, KEY_STOP}, 0x12},   // . >
        {{KEY_COMMA}, 0x1A},          {{KEY_LSHIFT, KEY_COMMA}, 0x13},  // , <
        {{KEY_LSHIFT, KEY_QUOTE}, 0x0B},                                 // "
        {{KEY_EQUALS}, 0x14},         {{KEY_RSHIFT, KEY_EQUALS}, 0x15}, // = +
        {{KEY_MINUS}, 0x16},                                             // -
        {{KEY_SLASH}, 0x18},          {{KEY_LSHIFT, KEY_SLASH}, 0x0F},  // / ?
        {{KEY_ASTERISK}, 0x17},       {{KEY_PLUS_PAD}, 0x15},           // keypad * +
        {{KEY_MINUS_PAD}, 0x16},      {{KEY_SLASH_PAD}, 0x18},          // keypad - /
        {{KEY_DEL_PAD}, 0x1B},        {{KEY_7_PAD}, 0x23},              // keypad . 7
        {{KEY_COLON}, 0x1B},          {{KEY_LSHIFT, KEY_COLON}, 0x1A},  // right of L: . ,
    };
    offscreen::start();
    HostKeyboard keyboard;
    const auto hold = [&](const std::vector<int>& held, int periods) {
        for (int i = 0; i < periods; ++i) {
            release_all_keys();
            for (int k : held) key[k] = 1;
            set_keys(zx81, scan_host_keys(keyboard));
            run_period(zx81);
        }
    };
    for (int i = 0; i < 300 && !shows_k_prompt(zx81.memory); ++i) run_period(zx81);
    hold({}, 20);
    hold({KEY_P}, 10);  // PRINT, then the cursor is L
    hold({}, 10);
    for (const TypedCase& c : cases) {
        hold(c.held, 10);
        hold({}, 10);
        const uint16_t edit_line = word_at(zx81.memory, sysvar::e_line);
        EXPECT_EQ(zx81.memory[edit_line + 1], c.code) << "held " << c.held.back();
        hold({KEY_BACKSPACE}, 10);
        hold({}, 10);
        EXPECT_EQ(zx81.memory[edit_line + 1], 0x7F) << "rubbed out again: the cursor follows PRINT";
    }
    release_all_keys();
}

}  // namespace
