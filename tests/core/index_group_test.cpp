// DD/FD-prefixed instructions, the indexed bit group, and their reports.
#include "core_fixture.h"

namespace {

using IndexGroup = CoreTest;

TEST_F(IndexGroup, ResultsFlagsAndCosts) {
    run_cases({
        {"LD IX,nn", {0xDD, 0x21, 0x34, 0x12}, {}, {}, {.ix = 0x1234}, 14, 0x4004, {}},
        {"LD IY,nn", {0xFD, 0x21, 0x34, 0x12}, {}, {}, {.iy = 0x1234}, 14, 0x4004, {}},
        {"LD (IX+d),n", {0xDD, 0x36, 0xFE, 0x55}, {.ix = 0x1000}, {}, {.ix = 0x1000}, 19, 0x4004,
         {{0x0FFE, 0x55}}},
        {"INC (IX+d)", {0xDD, 0x34, 0x05}, {.af = 0x0001, .ix = 0x1000}, {{0x1005, 0x7F}},
         {.af = 0x0095, .ix = 0x1000}, 23, 0x4003, {{0x1005, 0x80}}},
        {"DEC (IX-5)", {0xDD, 0x35, 0xFB}, {.ix = 0x1000}, {{0x0FFB, 0x80}},
         {.af = 0x0016, .ix = 0x1000}, 23, 0x4003, {{0x0FFB, 0x7F}}},
        {"INC (IX+d) wraps", {0xDD, 0x34, 0x05}, {.ix = 0xFFFE}, {{0x0003, 0x41}},
         {.af = 0x0000, .ix = 0xFFFE}, 23, 0x4003, {{0x0003, 0x42}}},
        {"LD H,(IX+d) is the real H", {0xDD, 0x66, 0x01}, {.hl = 0x5678, .ix = 0x1234},
         {{0x1235, 0xAB}}, {.hl = 0xAB78, .ix = 0x1234}, 9, 0x4003, {}},
        {"LD (IX+d),H", {0xDD, 0x74, 0x01}, {.hl = 0x5678, .ix = 0x1234}, {},
         {.hl = 0x5678, .ix = 0x1234}, 19, 0x4003, {{0x1235, 0x56}}},
        {"LD IXh,n", {0xDD, 0x26, 0x99}, {.ix = 0x1234}, {}, {.ix = 0x9934}, 9, 0x4003, {}},
        {"LD IXh,IXh", {0xDD, 0x64}, {.ix = 0x1234}, {}, {.ix = 0x1234}, 9, 0x4002, {}},
        {"LD IYl,A", {0xFD, 0x6F}, {.af = 0x5500, .iy = 0x1234}, {}, {.af = 0x5500, .iy = 0x1255},
         9, 0x4002, {}},
        {"ADD A,IXl", {0xDD, 0x85}, {.af = 0x0100, .ix = 0x007F}, {}, {.af = 0x8094, .ix = 0x007F},
         9, 0x4002, {}},
        {"INC IYh", {0xFD, 0x24}, {.iy = 0x7F00}, {}, {.af = 0x0094, .iy = 0x8000}, 9, 0x4002, {}},
        {"CP (IY+d)", {0xFD, 0xBE, 0x80}, {.af = 0x0000, .iy = 0x1080}, {{0x1000, 0x01}},
         {.af = 0x0093, .iy = 0x1080}, 19, 0x4003, {}},
        {"ADD IX,BC keeps S Z P 3 5", {0xDD, 0x09}, {.af = 0x00FF, .bc = 0x1000, .ix = 0x1000},
         {}, {.af = 0x00EC, .bc = 0x1000, .ix = 0x2000}, 15, 0x4002, {}},
        {"ADD IX,IX", {0xDD, 0x29}, {.ix = 0x8000}, {}, {.af = 0x0001, .ix = 0x0000}, 15, 0x4002,
         {}},
        {"EX DE,HL leaves IX", {0xDD, 0xEB}, {.de = 0x9ABC, .hl = 0x5678, .ix = 0x1111}, {},
         {.de = 0x5678, .hl = 0x9ABC, .ix = 0x1111}, 0, 0x4002, {}},
        {"NOP costs 0", {0xDD, 0x00}, {}, {}, {}, 0, 0x4002, {}},
        {"JP (IX)", {0xDD, 0xE9}, {.ix = 0x1234}, {}, {.ix = 0x1234}, 8, 0x1234, {}},
        {"LD SP,IY", {0xFD, 0xF9}, {.iy = 0x1234}, {}, {.iy = 0x1234, .sp = 0x1234}, 10, 0x4002,
         {}},
        {"PUSH IX", {0xDD, 0xE5}, {.ix = 0xABCD, .sp = 0x5000}, {}, {.ix = 0xABCD, .sp = 0x4FFE},
         15, 0x4002, {{0x4FFF, 0xAB}, {0x4FFE, 0xCD}}},
        {"POP IY", {0xFD, 0xE1}, {.sp = 0x5000}, {{0x5000, 0xCD}, {0x5001, 0xAB}},
         {.iy = 0xABCD, .sp = 0x5002}, 14, 0x4002, {}},
        {"LD (nn),IX", {0xDD, 0x22, 0x00, 0x50}, {.ix = 0xBEEF}, {}, {.ix = 0xBEEF}, 20, 0x4004,
         {{0x5000, 0xEF}, {0x5001, 0xBE}}},
        {"LD IY,(nn)", {0xFD, 0x2A, 0x00, 0x50}, {}, {{0x5000, 0xEF}, {0x5001, 0xBE}},
         {.iy = 0xBEEF}, 20, 0x4004, {}},
        {"INC IX", {0xDD, 0x23}, {.ix = 0xFFFF}, {}, {.ix = 0x0000}, 10, 0x4002, {}},
        {"DEC IY", {0xFD, 0x2B}, {.iy = 0x0000}, {}, {.iy = 0xFFFF}, 10, 0x4002, {}},
        {"JR NZ taken costs nothing", {0xDD, 0x20, 0x10}, {}, {}, {}, 0, 0x4013, {}},
        {"CALL Z not taken", {0xDD, 0xCC, 0x34, 0x12}, {}, {}, {}, 0, 0x4004, {}},
        {"DD FD 21 loads IY", {0xDD, 0xFD, 0x21, 0x34, 0x12}, {}, {}, {}, 0, 0x4001, {}},
    });
}

TEST_F(IndexGroup, TrafficOrder) {
    const std::vector<TrafficCase> cases = {
        {"INC (IX+d) reads d twice", {0xDD, 0x34, 0x05}, {.ix = 0x1000},
         {rd(0x4000, 0xDD), rd(0x4001, 0x34), rd(0x4002, 0x05), rd(0x1005, 0x00),
          rd(0x4002, 0x05), wr(0x1005, 0x01)}},
        {"LD (IX+d),n", {0xDD, 0x36, 0xFE, 0x55}, {.ix = 0x1000},
         {rd(0x4000, 0xDD), rd(0x4001, 0x36), rd(0x4002, 0xFE), rd(0x4003, 0x55),
          wr(0x0FFE, 0x55)}},
        {"EX (SP),IX", {0xDD, 0xE3}, {.ix = 0x1000, .sp = 0x8000},
         {rd(0x4000, 0xDD), rd(0x4001, 0xE3), rd(0x8000, 0x11), wr(0x8000, 0x00),
          rd(0x8001, 0x22), wr(0x8001, 0x10)}},
        {"JP (IX) reads no memory", {0xDD, 0xE9}, {.ix = 0x1234},
         {rd(0x4000, 0xDD), rd(0x4001, 0xE9)}},
        {"CALL Z not taken skips unread", {0xDD, 0xCC, 0x34, 0x12}, {},
         {rd(0x4000, 0xDD), rd(0x4001, 0xCC)}},
        {"DD CB: d, y, read, write", {0xDD, 0xCB, 0x05, 0x06}, {.ix = 0x1000},
         {rd(0x4000, 0xDD), rd(0x4001, 0xCB), rd(0x4002, 0x05), rd(0x4003, 0x06),
          rd(0x1005, 0x00), wr(0x1005, 0x00)}},
        {"FD CB BIT reads only", {0xFD, 0xCB, 0xFF, 0x46}, {.iy = 0x1000},
         {rd(0x4000, 0xFD), rd(0x4001, 0xCB), rd(0x4002, 0xFF), rd(0x4003, 0x46),
          rd(0x0FFF, 0x00)}},
        {"DD CB register form reads d and y only", {0xDD, 0xCB, 0x05, 0x00}, {.ix = 0x1000},
         {rd(0x4000, 0xDD), rd(0x4001, 0xCB), rd(0x4002, 0x05), rd(0x4003, 0x00)}},
    };
    run_traffic_cases(cases);
    EXPECT_EQ(s.IX.w, 0x1000);
}

TEST_F(IndexGroup, ExchangeStackWithIndex) {
    set_regs({.ix = 0x1000, .sp = 0x8000});
    test_bus::load(0x8000, {0x11, 0x22});
    test_bus::load(0x4000, {0xDD, 0xE3});
    EXPECT_EQ(run_one(&s), 23);
    EXPECT_EQ(s.IX.w, 0x2211);
    EXPECT_EQ(s.SP.w, 0x8000);
    EXPECT_EQ(test_bus::memory[0x8000], 0x00);
    EXPECT_EQ(test_bus::memory[0x8001], 0x10);
}

TEST_F(IndexGroup, PrefixedJumpAcrossPageAndHalt) {
    s.PC.w = 0x3FFF;
    test_bus::load(0x3FFF, {0xDD, 0x20, 0x10});
    EXPECT_EQ(run_one(&s), 0);
    EXPECT_EQ(s.PC.w, 0x4012);

    SetUp();
    s.PC.w = 0x3FFF;
    s.IFF = IFF1 | IFF_IM1;
    s.SP.w = 0x5000;
    test_bus::load(0x3FFF, {0xDD, 0x76});
    s.cycles_left = 100;
    int calls = 0;
    test_bus::loop_handler = [&](Z80State*) -> uint16_t { return ++calls == 1 ? 0x38 : IRQ_STOP; };
    test_bus::load(0x0038, {0x76});
    z80_run(&s);
    EXPECT_EQ(test_bus::loop_cycles.front(), 0);  // HALT's 0 overrides the 19
    EXPECT_EQ(test_bus::memory[0x4FFF], 0x40);
    EXPECT_EQ(test_bus::memory[0x4FFE], 0x01);  // pushed past the 0x76 byte
}

TEST_F(IndexGroup, SecondPrefixTakesOver) {
    for (uint8_t second : {uint8_t{0xDD}, uint8_t{0xFD}}) {
        SetUp();
        set_regs({.af = 0x1234, .ix = 0x5555, .iy = 0x6666});
        test_bus::load(0x4000, {0xDD, second});
        EXPECT_EQ(run_one(&s), 0);
        EXPECT_EQ(s.PC.w, 0x4001);
        expect_regs({.af = 0x1234, .ix = 0x5555, .iy = 0x6666}, "second prefix");
    }
}

TEST_F(IndexGroup, IndexedBitWorkedResults) {
    run_cases({
        {"RLC (IX+5)", {0xDD, 0xCB, 0x05, 0x06}, {.ix = 0x1000}, {{0x1005, 0x81}},
         {.af = 0x0005, .ix = 0x1000}, 23, 0x4004, {{0x1005, 0x03}}},
        {"RLC of 0xFF writes it back", {0xDD, 0xCB, 0x05, 0x06}, {.ix = 0x1000}, {{0x1005, 0xFF}},
         {.af = 0x0085, .ix = 0x1000}, 23, 0x4004, {{0x1005, 0xFF}}},
        {"BIT 7 via 7E", {0xDD, 0xCB, 0x05, 0x7E}, {.af = 0x00A5, .ix = 0x1000}, {{0x1005, 0x7F}},
         {.af = 0x00F5, .ix = 0x1000}, 20, 0x4004, {}},
        {"BIT 7 via 78", {0xDD, 0xCB, 0x05, 0x78}, {.af = 0x00A5, .ix = 0x1000}, {{0x1005, 0x7F}},
         {.af = 0x00F5, .ix = 0x1000}, 20, 0x4004, {}},
        {"BIT 0,(IY-1)", {0xFD, 0xCB, 0xFF, 0x46}, {.af = 0x00FF, .iy = 0x1000}, {{0x0FFF, 0x01}},
         {.af = 0x00BD, .iy = 0x1000}, 20, 0x4004, {}},
        {"SLL (IX+5)", {0xDD, 0xCB, 0x05, 0x36}, {.ix = 0x1000}, {{0x1005, 0x80}},
         {.af = 0x0001, .ix = 0x1000}, 23, 0x4004, {{0x1005, 0x01}}},
        {"RL (IX+5) with carry", {0xDD, 0xCB, 0x05, 0x16}, {.af = 0x0001, .ix = 0x1000},
         {{0x1005, 0x00}}, {.af = 0x0000, .ix = 0x1000}, 23, 0x4004, {{0x1005, 0x01}}},
        {"SRA (IY+5)", {0xFD, 0xCB, 0x05, 0x2E}, {.iy = 0x1000}, {{0x1005, 0x80}},
         {.af = 0x0084, .iy = 0x1000}, 23, 0x4004, {{0x1005, 0xC0}}},
        {"RES 0 keeps F", {0xDD, 0xCB, 0x05, 0x86}, {.af = 0x00D7, .ix = 0x1000}, {{0x1005, 0xFF}},
         {.af = 0x00D7, .ix = 0x1000}, 23, 0x4004, {{0x1005, 0xFE}}},
        {"SET 7", {0xFD, 0xCB, 0x05, 0xFE}, {.iy = 0x1000}, {{0x1005, 0x00}}, {.iy = 0x1000}, 23,
         0x4004, {{0x1005, 0x80}}},
        {"SET 0 wraps", {0xDD, 0xCB, 0x05, 0xC6}, {.ix = 0xFFFF}, {{0x0004, 0x00}}, {.ix = 0xFFFF},
         23, 0x4004, {{0x0004, 0x01}}},
        {"register form does nothing", {0xDD, 0xCB, 0x05, 0x00}, {.af = 0x12FF, .ix = 0x1000},
         {{0x1005, 0x81}}, {.af = 0x12FF, .ix = 0x1000}, 0, 0x4004, {{0x1005, 0x81}}},
        {"y = FF does nothing", {0xFD, 0xCB, 0x05, 0xFF}, {.iy = 0x1000}, {{0x1005, 0x00}},
         {.iy = 0x1000}, 0, 0x4004, {{0x1005, 0x00}}},
    });
}

TEST_F(IndexGroup, IndexedBitRecognisedForms) {
    int recognised = 0;
    for (int y = 0; y < 256; ++y) {
        SetUp();
        s.IX.w = 0x1000;
        test_bus::memory[0x1005] = 0x5A;
        test_bus::load(0x4000, {0xDD, 0xCB, 0x05, static_cast<uint8_t>(y)});
        const int cost = run_one(&s);
        if (cost != 0) ++recognised;
        const bool bit = y >= 0x40 && y <= 0x7F;
        EXPECT_EQ(cost, bit ? 20 : ((y & 7) == 6 ? 23 : 0)) << std::hex << y;
        EXPECT_EQ(s.PC.w, 0x4004);
    }
    EXPECT_EQ(recognised, 256 - 168);
}

struct ReportCase {
    const char* name;
    std::vector<uint8_t> code;
    uint8_t report;
    const char* expected;
    size_t reads;  // the instruction's own bytes, plus what a report reads again
};

TEST_F(IndexGroup, UnrecognisedReports) {
    const ReportCase cases[] = {
        {"DD ED silent", {0xDD, 0xED}, 0, "", 2},
        {"DD ED reported", {0xDD, 0xED}, 1,
         "[Z80 ABC] Unrecognized instruction: DD ED at PC=3FFF\n", 3},
        {"FD ED always reported", {0xFD, 0xED}, 0, "Unrecognized instruction: FD ED at PC=3FFF\n",
         3},
        {"FD ED reported", {0xFD, 0xED}, 1, "Unrecognized instruction: FD ED at PC=3FFF\n", 3},
        {"DD CB silent", {0xDD, 0xCB, 0x05, 0x00}, 0, "", 4},
        {"DD CB reported", {0xDD, 0xCB, 0x05, 0x00}, 1,
         "[Z80 ABC] Unrecognized instruction: DD CB 05 00 at PC=3FFF\n", 6},
        {"FD CB reported", {0xFD, 0xCB, 0x05, 0xC0}, 1,
         "[Z80 ABC] Unrecognized instruction: FD CB 05 C0 at PC=3FFF\n", 6},
        {"FD CB silent", {0xFD, 0xCB, 0x05, 0xC0}, 0, "", 4},
    };
    for (const ReportCase& c : cases) {
        SetUp();
        s.report_unrecognized = c.report;
        s.cpu_id = 0xABC;
        s.PC.w = 0x3FFF;
        uint16_t at = 0x3FFF;
        for (uint8_t b : c.code) test_bus::memory[at++] = b;
        testing::internal::CaptureStdout();
        EXPECT_EQ(run_one(&s), 0) << c.name;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.expected) << c.name;
        EXPECT_EQ(s.PC.w, at) << c.name;
        EXPECT_EQ(traffic().size(), c.reads) << c.name;
    }
}

TEST_F(IndexGroup, ReportAddressWrapsAtTheTopOfMemory) {
    s.PC.w = 0xFFFF;
    test_bus::memory[0xFFFF] = 0xFD;
    test_bus::memory[0x0000] = 0xED;
    testing::internal::CaptureStdout();
    run_one(&s);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Unrecognized instruction: FD ED at PC=FFFF\n");

    SetUp();
    s.report_unrecognized = 1;
    s.PC.w = 0xFFFF;
    test_bus::memory[0xFFFF] = 0xDD;
    test_bus::load(0x0000, {0xCB, 0x05, 0x01});
    testing::internal::CaptureStdout();
    run_one(&s);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[Z80 0] Unrecognized instruction: DD CB 05 01 at PC=FFFF\n");
}

TEST_F(IndexGroup, EdAfterPrefixStartsANewInstruction) {
    // DD ED 4A: the empty pair, then 4A runs as LD C,D.
    set_regs({.de = 0x7700});
    test_bus::load(0x4000, {0xDD, 0xED, 0x4A});
    s.cycles_left = 4;
    z80_run(&s);
    EXPECT_EQ(s.BC.b.l, 0x77);
    EXPECT_EQ(test_bus::loop_cycles, std::vector<int32_t>{0});
}

}  // namespace
