// Memory map, write protection, the keyboard read through ports, and the end
// of a period, as the processor's bus callbacks give them.
#include <gtest/gtest.h>

#include <vector>

#include "zx81_harness.h"

namespace {

TEST(MemoryBus, PowerUpProtectionAndReset) {
    harness::power_up();
    const Memory& memory = zx81.memory;
    for (int a = 0x4000; a < 0x10000; ++a) ASSERT_EQ(memory[a], 0xFF) << a;
    const uint8_t rom_1fff = memory[0x1FFF];
    mem_write(0x1FFF, static_cast<uint8_t>(~rom_1fff));
    EXPECT_EQ(mem_read(0x1FFF), rom_1fff);
    mem_write(0x0000, 0x12);
    EXPECT_NE(mem_read(0x0000), 0x12);
    const uint8_t rom_0 = memory[0x0000];
    mem_write(0x2000, static_cast<uint8_t>(~rom_0));
    EXPECT_EQ(mem_read(0x2000), static_cast<uint8_t>(~rom_0));
    EXPECT_EQ(mem_read(0x0000), rom_0);
    mem_write(0x5000, 0x00);
    reset(zx81);
    EXPECT_EQ(mem_read(0x2000), rom_0);
    EXPECT_EQ(mem_read(0x5000), 0xFF);
    EXPECT_EQ(memory[0x0000], 0xD3);  // the ROM itself is still there: OUT (n),A
}

TEST(MemoryBus, OutputChangesNothing) {
    harness::power_up();
    const Memory before = zx81.memory;
    const KeyMatrix keys = zx81.keys;
    for (int port = 0; port < 0x10000; port += 0x101) port_out(static_cast<uint16_t>(port), 0x00);
    ed_trap(&zx81.cpu);
    EXPECT_EQ(zx81.memory, before);
    EXPECT_EQ(zx81.keys, keys);
}

TEST(MemoryBus, EachPeriodEndsTheRunAndCountsItsCycles) {
    harness::power_up();
    const uint64_t before = zx81.cycles_run.load();
    zx81.cpu.cycles_left = -8;  // the overshoot of the period's last instruction
    EXPECT_EQ(machine_loop(&zx81.cpu), IRQ_STOP);
    EXPECT_EQ(zx81.cycles_run.load(), before + 32008);
    run_period(zx81);
    EXPECT_GE(zx81.cycles_run.load(), before + 32008 + 32000);
    EXPECT_EQ(zx81.cpu.cycles_left, 32000);  // a fresh period waits
}

struct PortCase {
    const char* name;
    std::vector<ZxKey> keys;
    uint16_t port;
    uint8_t expected;
};

TEST(Keyboard, PortSelectsRowsByTheHighAddressLines) {
    using namespace zx_key;
    const PortCase cases[] = {
        {"nothing held", {}, 0xFEFE, 0xFF},
        {"shift", {shift}, 0xFEFE, 0xFE},
        {"shift and Z", {shift, z}, 0xFEFE, 0xFC},
        {"all rows: A and NEWLINE", {a, newline}, 0x00FE, 0xFE},
        {"odd port never answers", {shift, a}, 0xFEFF, 0xFF},
        {"no row selected", {shift}, 0xFFFE, 0xFF},
        {"two rows", {g, q}, 0xF9FE, 0xEE},
        {"row 7 B not seen on row 6", {b}, 0xBFFE, 0xFF},
    };
    for (const PortCase& c : cases) {
        KeyMatrix keys = no_keys_down;
        for (ZxKey k : c.keys) press_key(keys, k);
        EXPECT_EQ(read_keyboard(keys, c.port), c.expected) << c.name;
        for (uint8_t row : keys) EXPECT_EQ(row & 0xE0, 0xE0) << c.name;
    }
}

TEST(Keyboard, TheMachineReadsTheKeysLastSet) {
    harness::power_up();
    KeyMatrix keys = no_keys_down;
    press_key(keys, zx_key::m);
    set_keys(zx81, keys);
    EXPECT_EQ(port_in(0x7FFE), 0xFB);
    set_keys(zx81, no_keys_down);
    EXPECT_EQ(port_in(0x7FFE), 0xFF);
}

}  // namespace
