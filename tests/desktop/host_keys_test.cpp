// The host keyboard as the ZX81's: every key, the arrows, the character keys
// pressed as real key presses, Backspace as RUBOUT, and what the ZX81 then
// reads through its ports and types with its own ROM.
#include <gtest/gtest.h>

#include "data_files.h"
#include "zx81_harness.h"

#include <vector>

#include "host_keys.h"

namespace {

using Keyboard = MachineTest;

// The ZX81 keys pressed once the host keys are down, as a matrix.
KeyMatrix settled_matrix(const std::vector<int>& held) {
    HostKeyboard keyboard;
    KeyMatrix keys = no_keys_down;
    for (int k : held)
        for (const ZxKeyEvent& e : host_key_event(keyboard, k, true)) {
            if (e.down)
                press_key(keys, e.key);
            else
                keys[e.key.row] |= static_cast<uint8_t>(1 << e.key.bit);
        }
    return keys;
}

struct PortCase {
    const char* name;
    std::vector<int> keys;  // Allegro keys held
    uint16_t port;
    uint8_t expected;       // bit 7, the tape input, reads 0
};

TEST_F(Keyboard, PortReadsForKeyCombinations) {
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
    for (const PortCase& c : cases) {
        set_keys(zx81, settled_matrix(c.keys));
        EXPECT_EQ(read_port(zx81, c.port), c.expected) << c.name;
        for (int row = 0; row < 8; ++row) EXPECT_EQ(zx81.keys[row] & 0xE0, 0xE0) << c.name;
    }
}

TEST_F(Keyboard, EveryLetterAndDigitLandsOnItsMatrixPosition) {
    // The ZX81 keyboard, row by row, bit 0 first.
    const int layout[8][5] = {
        {KEY_LSHIFT, KEY_Z, KEY_X, KEY_C, KEY_V}, {KEY_A, KEY_S, KEY_D, KEY_F, KEY_G},
        {KEY_Q, KEY_W, KEY_E, KEY_R, KEY_T},      {KEY_1, KEY_2, KEY_3, KEY_4, KEY_5},
        {KEY_0, KEY_9, KEY_8, KEY_7, KEY_6},      {KEY_P, KEY_O, KEY_I, KEY_U, KEY_Y},
        {KEY_ENTER, KEY_L, KEY_K, KEY_J, KEY_H},  {KEY_SPACE, KEY_COLON, KEY_M, KEY_N, KEY_B},
    };
    for (int row = 0; row < 8; ++row) {
        for (int bit = 0; bit < 5; ++bit) {
            const KeyMatrix keys = settled_matrix({layout[row][bit]});
            for (int r = 0; r < 8; ++r)
                EXPECT_EQ(keys[r], r == row ? (0xFF & ~(1 << bit)) : 0xFF)
                    << "row " << row << " bit " << bit;
        }
    }
}

// A character key, event by event: SHIFT (or nothing) before the key, the
// key held with it for as long as the host key is, SHIFT after; host Shift
// never adds a SHIFT of its own while the character is typed.
TEST_F(Keyboard, ACharacterKeyIsPressedAsARealKeyPress) {
    using namespace zx_key;
    struct Step {
        int allegro_key;
        bool down;
        std::vector<ZxKeyEvent> expected;
    };
    struct SequenceCase {
        const char* name;
        std::vector<Step> steps;
    };
    const SequenceCase cases[] = {
        {"= is SHIFT+L",
         {{KEY_EQUALS, true, {{shift, true}, {l, true}}}, {KEY_EQUALS, false, {{l, false}, {shift, false}}}}},
        {"host Shift and = is + (SHIFT+K), released Shift first: no =",
         {{KEY_LSHIFT, true, {{shift, true}}},
          {KEY_EQUALS, true, {{k, true}}},
          {KEY_LSHIFT, false, {}},
          {KEY_EQUALS, false, {{k, false}, {shift, false}}}}},
        {". is the bare . key", {{KEY_STOP, true, {{dot, true}}}, {KEY_STOP, false, {{dot, false}}}}},
        {"keypad . under a held host Shift leaks no SHIFT",
         {{KEY_RSHIFT, true, {{shift, true}}},
          {KEY_DEL_PAD, true, {{shift, false}, {dot, true}}},
          {KEY_DEL_PAD, false, {{dot, false}, {shift, true}}}}},
        {"a second character waits for the first to end",
         {{KEY_MINUS, true, {{shift, true}, {j, true}}},
          {KEY_SLASH, true, {}},
          {KEY_MINUS, false, {{j, false}, {shift, false}}},
          {KEY_SLASH, false, {}}}},
        {"' alone types nothing", {{KEY_QUOTE, true, {}}, {KEY_QUOTE, false, {}}}},
        {"position keys go on beside a character",
         {{KEY_A, true, {{a, true}}}, {KEY_ASTERISK, true, {{shift, true}, {b, true}}},
          {KEY_ASTERISK, false, {{b, false}, {shift, false}}}, {KEY_A, false, {{a, false}}}}},
        {"a key the keyboard repeats is no new press", {{KEY_Q, true, {{q, true}}}, {KEY_Q, true, {}}}},
    };
    for (const SequenceCase& c : cases) {
        HostKeyboard keyboard;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const std::vector<ZxKeyEvent> got = host_key_event(keyboard, c.steps[i].allegro_key, c.steps[i].down);
            ASSERT_EQ(got.size(), c.steps[i].expected.size()) << c.name << ", step " << i;
            for (size_t e = 0; e < got.size(); ++e) {
                EXPECT_EQ(got[e].key.row, c.steps[i].expected[e].key.row) << c.name << ", step " << i;
                EXPECT_EQ(got[e].key.bit, c.steps[i].expected[e].key.bit) << c.name << ", step " << i;
                EXPECT_EQ(got[e].down, c.steps[i].expected[e].down) << c.name << ", step " << i;
            }
        }
    }
}

// Each character key, typed after PRINT on the real ROM, puts its ZX81
// character into the line being edited.
TEST_F(Keyboard, EveryCharacterKeyTypesWhatIsPrintedOnIt) {
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
    Zx81 machine;
    const RomFile rom = read_rom_file(std::string(ORLIX_SHARED_DIR) + "/roms/zx81.rom");
    ASSERT_TRUE(rom.ok);
    power_up(machine, rom.image);
    HostKeyboard keyboard;
    // Host keys tapped for a moment, as a person taps them: the feeder holds
    // each until the ROM has taken it.
    const auto tap = [&](const std::vector<int>& held) {
        for (int k : held)
            for (const ZxKeyEvent& e : host_key_event(keyboard, k, true)) type_key(machine, e.key, e.down);
        run_period(machine);
        for (auto k = held.rbegin(); k != held.rend(); ++k)
            for (const ZxKeyEvent& e : host_key_event(keyboard, *k, false)) type_key(machine, e.key, e.down);
        for (int i = 0; i < 3000 && feeder_busy(machine.key_feeder); ++i) run_period(machine);
        for (int i = 0; i < 10; ++i) run_period(machine);
    };
    for (int i = 0; i < 300 && !shows_k_prompt(machine.memory); ++i) run_period(machine);
    tap({KEY_P});  // PRINT, then the cursor is L
    for (const TypedCase& c : cases) {
        tap(c.held);
        const uint16_t edit_line = word_at(machine.memory, sysvar::e_line);
        EXPECT_EQ(machine.memory[edit_line + 1], c.code) << "held " << c.held.back();
        tap({KEY_BACKSPACE});
        EXPECT_EQ(machine.memory[edit_line + 1], 0x7F) << "rubbed out again: the cursor follows PRINT";
    }
    EXPECT_TRUE(machine.key_feeder.given_up.empty());
}

}  // namespace
