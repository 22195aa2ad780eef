// The ZX81's BASIC as the machine keeps it (program lines, numbers as the
// ROM converts them), and two machines running side by side.
#include <gtest/gtest.h>

#include <memory>

#include "basic_text.h"
#include "zx81_harness.h"

namespace {

using BasicText = MachineTest;
using TwoMachines = MachineTest;

// The ROM's own conversion of a number's digits: integers against values
// worked out by hand in the ZX81's form (exponent + 128, then the mantissa
// with its top bit the sign), and every number against what the ROM's line
// entry puts after it (.5 and .1 are not exact on a ZX81). The machine is
// left as it was.
TEST_F(BasicText, NumbersAsTheROMConvertsThem) {
    start_machine();
    boot();
    struct NumberCase {
        std::vector<uint8_t> digits;
        std::array<uint8_t, 5> form;  // all 0xFF: not worked out by hand
    };
    constexpr std::array<uint8_t, 5> by_the_rom = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const NumberCase cases[] = {
        {{0x1C}, {0x00, 0x00, 0x00, 0x00, 0x00}},                          // 0
        {{0x1D}, {0x81, 0x00, 0x00, 0x00, 0x00}},                          // 1
        {{0x23}, {0x83, 0x60, 0x00, 0x00, 0x00}},                          // 7
        {{0x1D, 0x1C}, {0x84, 0x20, 0x00, 0x00, 0x00}},                    // 10
        {{0x1D, 0x22, 0x21, 0x1D, 0x20}, {0x8F, 0x01, 0x04, 0x00, 0x00}},  // 16514
        {{0x1D, 0x2A, 0x1F}, {0x8A, 0x7A, 0x00, 0x00, 0x00}},              // 1E3
        {{0x1B, 0x21}, by_the_rom},                                        // .5
        {{0x1C, 0x1B, 0x1D}, by_the_rom},                                  // 0.1
        {{0x1F, 0x1B, 0x1D, 0x20, 0x1D, 0x21, 0x24}, by_the_rom},          // 3.14158
    };
    for (const NumberCase& c : cases) {
        const Memory before = zx81.memory;
        const uint16_t pc = zx81.cpu.PC.w;
        std::array<uint8_t, 5> form{};
        ASSERT_TRUE(rom_number_form(zx81, c.digits, form));
        EXPECT_EQ(zx81.memory, before);
        EXPECT_EQ(zx81.cpu.PC.w, pc);
        if (c.form != by_the_rom) {
            EXPECT_EQ(form, c.form) << c.digits.size();
        }
        // 1 PRINT <number>, entered: its value follows the digits.
        std::vector<uint8_t> line = {0x1D, 0xF5};
        for (uint8_t digit : c.digits) line.push_back(digit);
        ASSERT_TRUE(put_in_edit_line(zx81, line));
        press({zx_key::newline});
        run_periods(30);
        const uint16_t value = static_cast<uint16_t>(0x407D + 4 + 1 + c.digits.size());
        ASSERT_EQ(zx81.memory[value], 0x7E);
        EXPECT_TRUE(std::equal(form.begin(), form.end(), zx81.memory.begin() + value + 1)) << c.digits.size();
    }
}

// Two machines in one process: each runs on its own bus, so keys and memory
// of one never reach the other, in either model.
TEST_F(TwoMachines, RunSideBySideWithoutTouchingEachOther) {
    const RomImage rom = harness::rom();
    for (Model other : {Model::simple, Model::hardware}) {
        auto first = std::make_unique<Zx81>();
        auto second = std::make_unique<Zx81>();
        second->model = other;
        power_up(*first, rom);
        power_up(*second, rom);
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
