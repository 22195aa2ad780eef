// Memory map, write protection, RAM sizes, the keyboard and tape input read
// through ports, and the end of a period, as the processor's bus gives them.
#include <gtest/gtest.h>

#include <vector>

#include "zx81_harness.h"

namespace {

using Keyboard = MachineTest;
using MemoryBus = MachineTest;

TEST_F(MemoryBus, PowerUpProtectionAndReset) {
    start_machine();
    const Memory& memory = zx81.memory;
    for (int a = 0x4000; a < 0x10000; ++a) ASSERT_EQ(memory[a], 0xFF) << a;
    const uint8_t rom_1fff = memory[0x1FFF];
    poke(zx81, 0x1FFF, static_cast<uint8_t>(~rom_1fff));
    EXPECT_EQ(peek(zx81, 0x1FFF), rom_1fff);
    poke(zx81, 0x0000, 0x12);
    EXPECT_NE(peek(zx81, 0x0000), 0x12);
    const uint8_t rom_0 = memory[0x0000];
    poke(zx81, 0x2000, static_cast<uint8_t>(~rom_0));
    EXPECT_EQ(peek(zx81, 0x2000), rom_0) << "the ROM's echo: writes change nothing";
    EXPECT_EQ(peek(zx81, 0x0000), rom_0);
    poke(zx81, 0x5000, 0x00);
    reset(zx81);
    EXPECT_EQ(peek(zx81, 0x2000), rom_0);
    EXPECT_EQ(peek(zx81, 0x5000), 0xFF);
    EXPECT_EQ(memory[0x0000], 0xD3);  // the ROM itself is still there: OUT (n),A
}

TEST_F(MemoryBus, OutputChangesNothing) {
    start_machine();
    // OUT (C),A to every port, counting BC down from 0, then JR $.
    const uint8_t program[] = {0x01, 0x00, 0x00, 0xED, 0x79, 0x0B, 0x78, 0xB1, 0x20, 0xF9, 0x18, 0xFE};
    for (size_t i = 0; i < sizeof program; ++i) poke(zx81, static_cast<uint16_t>(0x4100 + i), program[i]);
    zx81.cpu.PC.w = 0x4100;
    const Memory before = zx81.memory;
    const KeyMatrix keys = zx81.keys;
    run_periods(80);
    EXPECT_EQ(zx81.cpu.PC.w, 0x410A) << "every port written";
    EXPECT_EQ(zx81.memory, before);
    EXPECT_EQ(zx81.keys, keys);
}

TEST_F(MemoryBus, EachPeriodEndsTheRunAndCountsItsCycles) {
    start_machine();
    for (int period = 0; period < 3; ++period) {
        const uint64_t before = zx81.cycles_run;
        run_period(zx81);
        // A period and the overshoot of its last instruction.
        EXPECT_GE(zx81.cycles_run, before + 32500);
        EXPECT_LT(zx81.cycles_run, before + 32500 + 23);
        EXPECT_EQ(zx81.cpu.cycles_left, 32500);  // a fresh period waits
    }
}

// Each RAM size as its chips decode it, and where the ROM's own memory check
// puts RAMTOP on it. The hardware model has the real machine's echoes above
// 0x7FFF; the simple model keeps plain memory there.
TEST_F(MemoryBus, RamSizesDecodeAndMirrorAsTheMachineDoes) {
    struct RamCase {
        int kb;
        uint16_t ramtop;
        std::vector<uint16_t> mirrors;  // below 0x8000, where a byte written at 0x4000 reads back
        bool upper_half;                // 0x8000-0xBFFF is RAM in the hardware model (else the ROM)
    };
    const RamCase cases[] = {
        {1, 0x4400, {0x4400, 0x4800, 0x7C00}, false},
        {2, 0x4800, {0x4800, 0x7800}, false},
        {16, 0x8000, {}, false},
        {32, 0x8000, {}, true},
    };
    for (Model model : {Model::simple, Model::hardware}) {
        for (const RamCase& c : cases) {
            SCOPED_TRACE(std::to_string(c.kb) + " KB, " + model_name(model));
            const bool hardware = model == Model::hardware;
            start_machine(model, false, c.kb);
            boot();
            EXPECT_EQ(word_at(zx81.memory, sysvar::ramtop), c.ramtop);
            EXPECT_TRUE(shows_k_prompt(zx81.memory)) << screen_dump();
            std::vector<uint16_t> mirrors = c.mirrors;
            if (hardware) mirrors.push_back(0xC000);
            poke(zx81, 0x4000, 0x5A);
            for (uint16_t a : mirrors) EXPECT_EQ(peek(zx81, a), 0x5A) << a;
            EXPECT_EQ(peek(zx81, 0xC000) == 0x5A, hardware) << "the echo of the display file";
            if (!mirrors.empty()) {
                poke(zx81, static_cast<uint16_t>(mirrors.back() + 1), 0xA5);
                EXPECT_EQ(peek(zx81, 0x4001), 0xA5) << "written through a mirror";
            }
            if (c.kb < 16) {
                EXPECT_NE(peek(zx81, static_cast<uint16_t>(0x4000 + 1024 * c.kb - 1)), 0x5A);
            }
            const uint8_t rom_byte = zx81.memory[0x0100];
            poke(zx81, 0x8100, static_cast<uint8_t>(~rom_byte));
            const bool ram_there = c.upper_half || !hardware;
            EXPECT_EQ(peek(zx81, 0x8100), ram_there ? static_cast<uint8_t>(~rom_byte) : rom_byte);
            EXPECT_EQ(zx81.memory[0x0100], rom_byte) << "the ROM stays";
        }
    }
}

struct PortCase {
    const char* name;
    std::vector<ZxKey> keys;
    uint16_t port;
    uint8_t expected;
};

TEST_F(Keyboard, PortSelectsRowsByTheHighAddressLinesAndBit7IsTheSilentTape) {
    using namespace zx_key;
    const PortCase cases[] = {
        {"nothing held", {}, 0xFEFE, 0x7F},
        {"shift", {shift}, 0xFEFE, 0x7E},
        {"shift and Z", {shift, z}, 0xFEFE, 0x7C},
        {"all rows: A and NEWLINE", {a, newline}, 0x00FE, 0x7E},
        {"odd port never answers", {shift, a}, 0xFEFF, 0xFF},
        {"no row selected", {shift}, 0xFFFE, 0x7F},
        {"two rows", {g, q}, 0xF9FE, 0x6E},
        {"row 7 B not seen on row 6", {b}, 0xBFFE, 0x7F},
    };
    for (const PortCase& c : cases) {
        KeyMatrix keys = no_keys_down;
        for (ZxKey k : c.keys) press_key(keys, k);
        EXPECT_EQ(read_keyboard(keys, c.port), c.expected) << c.name;
        for (uint8_t row : keys) EXPECT_EQ(row & 0xE0, 0xE0) << c.name;
    }
}

TEST_F(Keyboard, TheMachineReadsTheKeysLastSet) {
    start_machine();
    KeyMatrix keys = no_keys_down;
    press_key(keys, zx_key::m);
    set_keys(zx81, keys);
    EXPECT_EQ(read_port(zx81, 0x7FFE), 0x7B);
    set_keys(zx81, no_keys_down);
    EXPECT_EQ(read_port(zx81, 0x7FFE), 0x7F);
}

}  // namespace
