// The constant tables, checked against values worked out by hand and against
// the cost each instruction actually charges.
#include "core_fixture.h"
#include "z80_tables.h"

namespace {

TEST(Tables, FlagTables) {
    EXPECT_EQ(flags_zsp[0x00], 0x44);
    EXPECT_EQ(flags_zsp[0x80], 0x80);
    EXPECT_EQ(flags_zsp[0xFF], 0x84);
    EXPECT_EQ(flags_zsp[0x03], 0x04);
    EXPECT_EQ(flags_zsp[0x01], 0x00);
    EXPECT_EQ(flags_zs[0x00], 0x40);
    EXPECT_EQ(flags_zs[0xFF], 0x80);
    EXPECT_EQ(flags_zs[0x7F], 0x00);
    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(flags_zs[v] & ~(FLAG_S | FLAG_Z), 0);
        EXPECT_EQ(flags_zsp[v] & ~(FLAG_S | FLAG_Z | FLAG_PV), 0);
        EXPECT_EQ(flags_zsp[v] & ~FLAG_PV, flags_zs[v]);
    }
}

TEST(Tables, DaaEntries) {
    struct Entry {
        int index;
        uint16_t af;
    };
    for (const Entry e : {Entry{0x09A, 0x0055}, Entry{0x600, 0xFABE}, Entry{0x00A, 0x1010},
                          Entry{0x099, 0x998C}, Entry{0x100, 0x6025}, Entry{0x415, 0x1502},
                          Entry{0x70F, 0xA9AF}, Entry{0x000, 0x0044}})
        EXPECT_EQ(daa_table[e.index], e.af) << std::hex << e.index;
}

TEST(Tables, RuleBasedCycleTables) {
    EXPECT_EQ(cycles_cb[0x00], 8);
    EXPECT_EQ(cycles_cb[0x06], 15);
    EXPECT_EQ(cycles_cb[0x46], 12);
    EXPECT_EQ(cycles_cb[0x7E], 12);
    EXPECT_EQ(cycles_cb[0x86], 15);
    EXPECT_EQ(cycles_cb[0xFE], 15);
    EXPECT_EQ(cycles_cb[0xFF], 8);
    EXPECT_EQ(cycles_index_cb[0x40], 20);
    EXPECT_EQ(cycles_index_cb[0x7F], 20);
    EXPECT_EQ(cycles_index_cb[0x06], 23);
    EXPECT_EQ(cycles_index_cb[0xFE], 23);
    EXPECT_EQ(cycles_index_cb[0x00], 0);
    EXPECT_EQ(cycles_index_cb[0xFF], 0);
    for (int prefix : {0xCB, 0xDD, 0xED, 0xFD}) EXPECT_EQ(cycles_main[prefix], 0);
}

// Each unprefixed opcode, run with every condition failing, charges exactly
// its table entry (HALT ends the period at once and is left out).
TEST(Tables, UnprefixedOpcodesChargeTheirTableCost) {
    for (int op = 0; op < 256; ++op) {
        if (op == 0x76 || op == 0xCB || op == 0xDD || op == 0xED || op == 0xFD) continue;
        test_bus::reset();
        Z80State s{};
        s.period_cycles = 1000;
        z80_reset(&s);
        s.PC.w = 0x4000;
        s.AF.b.l = FLAG_Z | FLAG_C | FLAG_PV | FLAG_S;  // NZ, NC, PO, P fail
        s.BC.b.h = 1;                                   // DJNZ falls through
        test_bus::memory[0x4000] = static_cast<uint8_t>(op);
        const bool inverse_conditions = (op & 0xC7) == 0xC0 || (op & 0xC7) == 0xC2 ||
                                        (op & 0xC7) == 0xC4 || (op >= 0x20 && op <= 0x38 && (op & 7) == 0);
        if (inverse_conditions && ((op >> 3) & 1)) s.AF.b.l = 0;  // Z, C, PE, M fail
        const int cost = run_one(&s);
        EXPECT_EQ(cost, cycles_main[op]) << std::hex << op;
    }
}

}  // namespace
