// CB-prefixed rotates, shifts, BIT, RES and SET.
#include "core_fixture.h"

namespace {

using CbGroup = CoreTest;

TEST_F(CbGroup, WorkedResults) {
    run_cases({
        {"RLC B", {0xCB, 0x00}, {.af = 0x00FF, .bc = 0x8100}, {}, {.af = 0x0005, .bc = 0x0300},
         8, 0x4002, {}},
        {"RR A", {0xCB, 0x1F}, {.af = 0x0100}, {}, {.af = 0x0045}, 8, 0x4002, {}},
        {"SRA (HL)", {0xCB, 0x2E}, {.hl = 0x5000}, {{0x5000, 0x80}}, {.af = 0x0084, .hl = 0x5000},
         15, 0x4002, {{0x5000, 0xC0}}},
        {"SLL A of 0x80", {0xCB, 0x37}, {.af = 0x80FF}, {}, {.af = 0x0101}, 8, 0x4002, {}},
        {"SLL A of 0x00", {0xCB, 0x37}, {.af = 0x00FF}, {}, {.af = 0x0100}, 8, 0x4002, {}},
        {"BIT 7,H keeps S", {0xCB, 0x7C}, {.af = 0x00A5, .hl = 0x7F00}, {},
         {.af = 0x00F5, .hl = 0x7F00}, 8, 0x4002, {}},
        {"BIT 0,(HL)", {0xCB, 0x46}, {.af = 0x00FF, .hl = 0x5000}, {{0x5000, 0x01}},
         {.af = 0x00BD, .hl = 0x5000}, 12, 0x4002, {}},
        {"RL with carry in", {0xCB, 0x10}, {.af = 0x0001, .bc = 0x0000}, {},
         {.af = 0x0000, .bc = 0x0100}, 8, 0x4002, {}},
        {"RRC C", {0xCB, 0x09}, {.bc = 0x0001}, {}, {.af = 0x0081, .bc = 0x0080}, 8, 0x4002, {}},
        {"SLA D", {0xCB, 0x22}, {.de = 0x8100}, {}, {.af = 0x0001, .de = 0x0200}, 8, 0x4002, {}},
        {"SRL E", {0xCB, 0x3B}, {.de = 0x0081}, {}, {.af = 0x0001, .de = 0x0040}, 8, 0x4002, {}},
        {"RES 7,(HL) keeps F", {0xCB, 0xBE}, {.af = 0x00D7, .hl = 0x5000}, {{0x5000, 0xFF}},
         {.af = 0x00D7, .hl = 0x5000}, 15, 0x4002, {{0x5000, 0x7F}}},
        {"SET 0,L keeps F", {0xCB, 0xC5}, {.af = 0x0000, .hl = 0x0000}, {},
         {.af = 0x0000, .hl = 0x0001}, 8, 0x4002, {}},
        {"SET 5,A", {0xCB, 0xEF}, {.af = 0x0000}, {}, {.af = 0x2000}, 8, 0x4002, {}},
    });
}

// BIT b,r for every bit: Z is the inverse of the bit, S, P/V, C, 3 and 5 kept.
TEST_F(CbGroup, BitTestsEveryBitNumber) {
    for (int b = 0; b < 8; ++b) {
        for (uint8_t f_before : {uint8_t{0x00}, uint8_t{0xFF}}) {
            SetUp();
            s.BC.b.h = static_cast<uint8_t>(1 << b);  // only bit b set
            s.AF.b.l = f_before;
            test_bus::load(0x4000, {0xCB, static_cast<uint8_t>(0x40 + 8 * b)});
            run_one(&s);
            EXPECT_EQ(s.AF.b.l, (f_before & 0xAD) | FLAG_H) << "bit " << b;
            SetUp();
            s.BC.b.h = static_cast<uint8_t>(~(1 << b));
            s.AF.b.l = f_before;
            test_bus::load(0x4000, {0xCB, static_cast<uint8_t>(0x40 + 8 * b)});
            run_one(&s);
            EXPECT_EQ(s.AF.b.l, (f_before & 0xAD) | FLAG_H | FLAG_Z) << "bit " << b;
        }
    }
}

TEST_F(CbGroup, MemoryOperandTrafficAndCost) {
    struct Case {
        uint8_t op;
        int cost;
        bool writes;
    };
    for (const Case c : {Case{0x06, 15, true}, Case{0x46, 12, false}, Case{0x86, 15, true},
                         Case{0xC6, 15, true}, Case{0x7E, 12, false}}) {
        SetUp();
        s.HL.w = 0x5000;
        test_bus::memory[0x5000] = 0xFF;
        test_bus::load(0x4000, {0xCB, c.op});
        EXPECT_EQ(run_one(&s), c.cost);
        std::vector<BusEvent> expected = {rd(0x4000, 0xCB), rd(0x4001, c.op), rd(0x5000, 0xFF)};
        // RLC of 0xFF writes 0xFF back: unchanged bytes are written too.
        if (c.writes) expected.push_back(wr(0x5000, test_bus::memory[0x5000]));
        EXPECT_EQ(traffic(), expected) << std::hex << int(c.op);
    }
}

TEST_F(CbGroup, PrefixAtTheTopOfMemoryWraps) {
    s.PC.w = 0xFFFF;
    test_bus::memory[0xFFFF] = 0xCB;
    test_bus::memory[0x0000] = 0xC7;  // SET 0,A
    EXPECT_EQ(run_one(&s), 8);
    EXPECT_EQ(s.PC.w, 0x0001);
    EXPECT_EQ(s.AF.b.h, 0x01);
}

}  // namespace
