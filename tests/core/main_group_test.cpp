// Unprefixed instructions: results, flags, costs and bus traffic.
#include "core_fixture.h"
#include "z80_tables.h"

namespace {

using MainGroup = CoreTest;

TEST_F(MainGroup, ArithmeticAndLogicResultsAndFlags) {
    run_cases({
        {"ADD A,n overflow", {0xC6, 0x01}, {.af = 0x7F00}, {}, {.af = 0x8094}, 7, 0x4002, {}},
        {"ADD A,n carry", {0xC6, 0x01}, {.af = 0xFF00}, {}, {.af = 0x0051}, 7, 0x4002, {}},
        {"SUB n borrow", {0xD6, 0x01}, {.af = 0x0000}, {}, {.af = 0xFF93}, 7, 0x4002, {}},
        {"CP n keeps A", {0xFE, 0x01}, {.af = 0x0000}, {}, {.af = 0x0093}, 7, 0x4002, {}},
        {"SBC A,A carry set", {0x9F}, {.af = 0x3701}, {}, {.af = 0xFF93}, 4, 0x4001, {}},
        {"SBC A,A carry clear", {0x9F}, {.af = 0x3700}, {}, {.af = 0x0042}, 4, 0x4001, {}},
        {"AND n", {0xE6, 0x0F}, {.af = 0xF000}, {}, {.af = 0x0054}, 7, 0x4002, {}},
        {"SUB A", {0x97}, {.af = 0x55FF}, {}, {.af = 0x0042}, 4, 0x4001, {}},
        {"XOR A", {0xAF}, {.af = 0x55FF}, {}, {.af = 0x0044}, 4, 0x4001, {}},
        {"OR A", {0xB7}, {.af = 0x80FF}, {}, {.af = 0x8080}, 4, 0x4001, {}},
        {"AND A", {0xA7}, {.af = 0x0300}, {}, {.af = 0x0314}, 4, 0x4001, {}},
        {"CP A", {0xBF}, {.af = 0x12FF}, {}, {.af = 0x1242}, 4, 0x4001, {}},
        {"ADC A,B half carry", {0x88}, {.af = 0x0F01}, {}, {.af = 0x1010}, 4, 0x4001, {}},
        {"ADD A,(HL)", {0x86}, {.af = 0x0100, .hl = 0x5000}, {{0x5000, 0x7F}},
         {.af = 0x8094, .hl = 0x5000}, 7, 0x4001, {}},
        {"SUB (HL) overflow", {0x96}, {.af = 0x8000, .hl = 0x5000}, {{0x5000, 0x01}},
         {.af = 0x7F16, .hl = 0x5000}, 7, 0x4001, {}},
        {"XOR n clears 3 and 5", {0xEE, 0x28}, {.af = 0x00FF}, {}, {.af = 0x2804}, 7, 0x4002, {}},
    });
}

TEST_F(MainGroup, IncrementAndDecrement) {
    run_cases({
        {"INC B to 0x80", {0x04}, {.af = 0x0001, .bc = 0x7F00}, {}, {.af = 0x0095, .bc = 0x8000},
         4, 0x4001, {}},
        {"DEC B to 0x7F", {0x05}, {.af = 0x0000, .bc = 0x8000}, {}, {.af = 0x0016, .bc = 0x7F00},
         4, 0x4001, {}},
        {"INC A wraps, keeps C, clears 3/5", {0x3C}, {.af = 0xFFFF}, {}, {.af = 0x0051}, 4,
         0x4001, {}},
        {"DEC L to 0xFF", {0x2D}, {.af = 0x0000, .hl = 0x0000}, {}, {.af = 0x0092, .hl = 0x00FF},
         4, 0x4001, {}},
        {"INC (HL)", {0x34}, {.hl = 0x5000}, {{0x5000, 0x0F}}, {.af = 0x0010, .hl = 0x5000}, 11,
         0x4001, {{0x5000, 0x10}}},
        {"DEC (HL)", {0x35}, {.hl = 0x5000}, {{0x5000, 0x01}}, {.af = 0x0042, .hl = 0x5000}, 11,
         0x4001, {{0x5000, 0x00}}},
        {"INC BC wraps, flags alone", {0x03}, {.af = 0x00FF, .bc = 0xFFFF}, {},
         {.af = 0x00FF, .bc = 0x0000}, 6, 0x4001, {}},
        {"DEC SP wraps", {0x3B}, {.sp = 0x0000}, {}, {.sp = 0xFFFF}, 6, 0x4001, {}},
    });
}

TEST_F(MainGroup, SixteenBitAddAndAccumulatorOperations) {
    run_cases({
        {"ADD HL,DE bit 11 carry", {0x19}, {.de = 0x0001, .hl = 0x0FFF}, {},
         {.af = 0x0010, .de = 0x0001, .hl = 0x1000}, 11, 0x4001, {}},
        {"ADD HL,DE wraps, Z kept", {0x19}, {.af = 0x0040, .de = 0x0001, .hl = 0xFFFF}, {},
         {.af = 0x0051, .de = 0x0001, .hl = 0x0000}, 11, 0x4001, {}},
        {"ADD HL,HL doubles", {0x29}, {.af = 0x00FF, .hl = 0x8001}, {},
         {.af = 0x00ED, .hl = 0x0002}, 11, 0x4001, {}},
        {"ADD HL,SP", {0x39}, {.hl = 0x1000, .sp = 0x0234}, {}, {.hl = 0x1234, .sp = 0x0234}, 11,
         0x4001, {}},
        {"RLCA keeps S Z P 3 5", {0x07}, {.af = 0x81FF}, {}, {.af = 0x03ED}, 4, 0x4001, {}},
        {"RRCA", {0x0F}, {.af = 0x0100}, {}, {.af = 0x8001}, 4, 0x4001, {}},
        {"RLA", {0x17}, {.af = 0x8000}, {}, {.af = 0x0001}, 4, 0x4001, {}},
        {"RRA takes old carry", {0x1F}, {.af = 0x0101}, {}, {.af = 0x8001}, 4, 0x4001, {}},
        {"DAA after 09+01", {0x27}, {.af = 0x0A00}, {}, {.af = 0x1010}, 4, 0x4001, {}},
        {"DAA after subtraction", {0x27}, {.af = 0x0012}, {}, {.af = 0xFABE}, 4, 0x4001, {}},
        {"CPL", {0x2F}, {.af = 0x5500}, {}, {.af = 0xAA12}, 4, 0x4001, {}},
        {"SCF", {0x37}, {.af = 0x00FE}, {}, {.af = 0x00ED}, 4, 0x4001, {}},
        {"CCF with carry", {0x3F}, {.af = 0x0001}, {}, {.af = 0x0010}, 4, 0x4001, {}},
        {"CCF without carry", {0x3F}, {.af = 0x0028}, {}, {.af = 0x0029}, 4, 0x4001, {}},
    });
}

TEST_F(MainGroup, LoadsAndExchanges) {
    run_cases({
        {"LD B,n", {0x06, 0x42}, {}, {}, {.bc = 0x4200}, 7, 0x4002, {}},
        {"LD (HL),n", {0x36, 0x99}, {.hl = 0x5000}, {}, {.hl = 0x5000}, 10, 0x4002,
         {{0x5000, 0x99}}},
        {"LD A,(nn)", {0x3A, 0x00, 0x50}, {}, {{0x5000, 0x77}}, {.af = 0x7700}, 13, 0x4003, {}},
        {"LD (nn),A", {0x32, 0x00, 0x50}, {.af = 0x7700}, {}, {.af = 0x7700}, 13, 0x4003,
         {{0x5000, 0x77}}},
        {"LD A,(BC)", {0x0A}, {.bc = 0x5000}, {{0x5000, 0x12}}, {.af = 0x1200, .bc = 0x5000}, 7,
         0x4001, {}},
        {"LD (DE),A", {0x12}, {.af = 0x3400, .de = 0x5000}, {}, {.af = 0x3400, .de = 0x5000}, 7,
         0x4001, {{0x5000, 0x34}}},
        {"LD HL,(nn) wraps", {0x2A, 0xFF, 0xFF}, {}, {{0xFFFF, 0x34}, {0x0000, 0x12}},
         {.hl = 0x1234}, 16, 0x4003, {}},
        {"LD (nn),HL", {0x22, 0x00, 0x50}, {.hl = 0xBEEF}, {}, {.hl = 0xBEEF}, 16, 0x4003,
         {{0x5000, 0xEF}, {0x5001, 0xBE}}},
        {"LD SP,nn", {0x31, 0x34, 0x12}, {}, {}, {.sp = 0x1234}, 10, 0x4003, {}},
        {"LD SP,HL", {0xF9}, {.hl = 0x1234}, {}, {.hl = 0x1234, .sp = 0x1234}, 6, 0x4001, {}},
        {"PUSH BC across 0", {0xC5}, {.bc = 0x1234, .sp = 0x0001}, {},
         {.bc = 0x1234, .sp = 0xFFFF}, 11, 0x4001, {{0x0000, 0x12}, {0xFFFF, 0x34}}},
        {"POP AF", {0xF1}, {.sp = 0x5000}, {{0x5000, 0x01}, {0x5001, 0x02}},
         {.af = 0x0201, .sp = 0x5002}, 10, 0x4001, {}},
        {"EX DE,HL", {0xEB}, {.de = 0x1111, .hl = 0x2222}, {}, {.de = 0x2222, .hl = 0x1111}, 4,
         0x4001, {}},
    });
}

TEST_F(MainGroup, JumpsCallsAndReturns) {
    run_cases({
        {"JR back to itself", {0x18, 0xFE}, {}, {}, {}, 12, 0x4000, {}},
        {"JR NZ taken", {0x20, 0x10}, {}, {}, {}, 12, 0x4012, {}},
        {"JR NZ not taken", {0x20, 0x10}, {.af = 0x0040}, {}, {.af = 0x0040}, 7, 0x4002, {}},
        {"DJNZ to 0 falls through", {0x10, 0xFE}, {.bc = 0x0100}, {}, {.bc = 0x0000}, 8, 0x4002,
         {}},
        {"DJNZ from 0 jumps", {0x10, 0xFE}, {.bc = 0x0000}, {}, {.bc = 0xFF00}, 13, 0x4000, {}},
        {"JP nn", {0xC3, 0x34, 0x12}, {}, {}, {}, 10, 0x1234, {}},
        {"JP Z not taken", {0xCA, 0x34, 0x12}, {}, {}, {}, 10, 0x4003, {}},
        {"JP (HL)", {0xE9}, {.hl = 0x1234}, {}, {.hl = 0x1234}, 4, 0x1234, {}},
        {"CALL nn", {0xCD, 0x34, 0x12}, {.sp = 0x5000}, {}, {.sp = 0x4FFE}, 17, 0x1234,
         {{0x4FFF, 0x40}, {0x4FFE, 0x03}}},
        {"CALL NZ not taken", {0xC4, 0x34, 0x12}, {.af = 0x0040, .sp = 0x5000}, {},
         {.af = 0x0040, .sp = 0x5000}, 10, 0x4003, {}},
        {"CALL Z taken", {0xCC, 0x34, 0x12}, {.af = 0x0040, .sp = 0x5000}, {},
         {.af = 0x0040, .sp = 0x4FFE}, 17, 0x1234, {}},
        {"RET", {0xC9}, {.sp = 0x5000}, {{0x5000, 0x34}, {0x5001, 0x12}}, {.sp = 0x5002}, 10,
         0x1234, {}},
        {"RET Z taken", {0xC8}, {.af = 0x0040, .sp = 0x5000}, {{0x5000, 0x34}, {0x5001, 0x12}},
         {.af = 0x0040, .sp = 0x5002}, 11, 0x1234, {}},
        {"RET Z not taken", {0xC8}, {.sp = 0x5000}, {}, {.sp = 0x5000}, 5, 0x4001, {}},
        {"RST 38", {0xFF}, {.sp = 0x5000}, {}, {.sp = 0x4FFE}, 11, 0x0038,
         {{0x4FFF, 0x40}, {0x4FFE, 0x01}}},
        {"RST 08", {0xCF}, {.sp = 0x5000}, {}, {.sp = 0x4FFE}, 11, 0x0008, {}},
    });
}

// Each condition code tested against flags that make it hold and fail.
TEST_F(MainGroup, ConditionCodes) {
    struct Condition {
        const char* name;
        uint8_t holds_with;  // F value for which the condition holds
        uint8_t fails_with;
    };
    const Condition conditions[8] = {
        {"NZ", 0x00, FLAG_Z}, {"Z", FLAG_Z, 0x00},   {"NC", 0x00, FLAG_C}, {"C", FLAG_C, 0x00},
        {"PO", 0x00, FLAG_PV}, {"PE", FLAG_PV, 0x00}, {"P", 0x00, FLAG_S},  {"M", FLAG_S, 0x00},
    };
    for (int c = 0; c < 8; ++c) {
        for (bool holds : {true, false}) {
            SCOPED_TRACE(std::string(conditions[c].name) + (holds ? " holds" : " fails"));
            SetUp();
            s.AF.b.l = holds ? conditions[c].holds_with : conditions[c].fails_with;
            test_bus::load(0x4000, {static_cast<uint8_t>(0xC2 + 8 * c), 0x34, 0x12});
            EXPECT_EQ(run_one(&s), 10);
            EXPECT_EQ(s.PC.w, holds ? 0x1234 : 0x4003);
        }
    }
}

// LD r,r' for every pair of operands, (HL) included.
TEST_F(MainGroup, RegisterToRegisterLoads) {
    const uint8_t values[8] = {0x11, 0x22, 0x33, 0x44, 0x50, 0x00, 0x66, 0x77};
    for (int d = 0; d < 8; ++d) {
        for (int src = 0; src < 8; ++src) {
            if (d == 6 && src == 6) continue;  // that is HALT
            SCOPED_TRACE(testing::Message() << "LD " << d << "," << src);
            SetUp();
            set_regs({.af = 0x7700, .bc = 0x1122, .de = 0x3344, .hl = 0x5000});
            test_bus::memory[0x5000] = 0x66;
            test_bus::load(0x4000, {static_cast<uint8_t>(0x40 + 8 * d + src)});
            EXPECT_EQ(run_one(&s), (d == 6 || src == 6) ? 7 : 4);
            uint8_t got;
            switch (d) {
            case 0: got = s.BC.b.h; break;
            case 1: got = s.BC.b.l; break;
            case 2: got = s.DE.b.h; break;
            case 3: got = s.DE.b.l; break;
            case 4: got = s.HL.b.h; break;
            case 5: got = s.HL.b.l; break;
            case 6: got = test_bus::memory[0x5000]; break;
            default: got = s.AF.b.h; break;
            }
            EXPECT_EQ(got, values[src]);
            EXPECT_EQ(s.AF.b.l, 0x00);
        }
    }
}

TEST_F(MainGroup, BitsThreeAndFiveClearedAfterEightBitArithmetic) {
    // Every ALU opcode on B, from F = 0xFF and operands whose results have
    // bits 3 and 5 set.
    for (int op = 0x80; op < 0xC0; op += 8) {
        SetUp();
        set_regs({.af = 0x28FF, .bc = 0x0000});
        test_bus::load(0x4000, {static_cast<uint8_t>(op)});
        run_one(&s);
        EXPECT_EQ(s.AF.b.l & (FLAG_3 | FLAG_5), 0) << std::hex << op;
    }
}

TEST_F(MainGroup, MemoryTrafficOrder) {
    const std::vector<TrafficCase> cases = {
        {"INC (HL) reads once, writes once", {0x34}, {.hl = 0x5000},
         {rd(0x4000, 0x34), rd(0x5000, 0x00), wr(0x5000, 0x01)}},
        {"DEC (HL)", {0x35}, {.hl = 0x5000},
         {rd(0x4000, 0x35), rd(0x5000, 0x00), wr(0x5000, 0xFF)}},
        {"LD (HL),n reads n then writes", {0x36, 0xAB}, {.hl = 0x5000},
         {rd(0x4000, 0x36), rd(0x4001, 0xAB), wr(0x5000, 0xAB)}},
        {"JR NZ not taken skips e unread", {0x20, 0x05}, {.af = 0x0040}, {rd(0x4000, 0x20)}},
        {"CALL NZ not taken reads nothing more", {0xC4, 0x34, 0x12}, {.af = 0x0040},
         {rd(0x4000, 0xC4)}},
        {"PUSH high byte first", {0xC5}, {.bc = 0x1234, .sp = 0x0001},
         {rd(0x4000, 0xC5), wr(0x0000, 0x12), wr(0xFFFF, 0x34)}},
        {"POP low byte first", {0xC1}, {.sp = 0xFFFF},
         {rd(0x4000, 0xC1), rd(0xFFFF, 0x00), rd(0x0000, 0x00)}},
        {"EX (SP),HL", {0xE3}, {.hl = 0x1000, .sp = 0x5000},
         {rd(0x4000, 0xE3), rd(0x5000, 0x00), wr(0x5000, 0x00), rd(0x5001, 0x00),
          wr(0x5001, 0x10)}},
        {"LD (nn),HL low then high", {0x22, 0xFF, 0xFF}, {.hl = 0x1234},
         {rd(0x4000, 0x22), rd(0x4001, 0xFF), rd(0x4002, 0xFF), wr(0xFFFF, 0x34),
          wr(0x0000, 0x12)}},
        {"IN A,(n) puts A on the high lines", {0xDB, 0xFE}, {.af = 0xFE00},
         {rd(0x4000, 0xDB), rd(0x4001, 0xFE), in(0xFEFE, 0xFF)}},
        {"OUT (n),A sends A and n", {0xD3, 0xFD}, {.af = 0x4200},
         {rd(0x4000, 0xD3), rd(0x4001, 0xFD), out(0x42FD, 0x42)}},
    };
    run_traffic_cases(cases);
}

TEST_F(MainGroup, ExchangeWithAlternateSets) {
    set_regs({.af = 0x1111, .bc = 0x2222, .de = 0x3333, .hl = 0x4444});
    s.AF_alt.w = 0xAAAA;
    s.BC_alt.w = 0xBBBB;
    s.DE_alt.w = 0xCCCC;
    s.HL_alt.w = 0xDDDD;
    test_bus::load(0x4000, {0x08});
    EXPECT_EQ(run_one(&s), 4);
    EXPECT_EQ(s.AF.w, 0xAAAA);
    EXPECT_EQ(s.AF_alt.w, 0x1111);
    test_bus::load(0x4001, {0xD9});
    EXPECT_EQ(run_one(&s), 4);
    EXPECT_EQ(s.BC.w, 0xBBBB);
    EXPECT_EQ(s.DE.w, 0xCCCC);
    EXPECT_EQ(s.HL.w, 0xDDDD);
    EXPECT_EQ(s.BC_alt.w, 0x2222);
    EXPECT_EQ(s.DE_alt.w, 0x3333);
    EXPECT_EQ(s.HL_alt.w, 0x4444);
    EXPECT_EQ(s.AF.w, 0xAAAA);
}

TEST_F(MainGroup, HaltStaysOnItsOpcodeAndEndsThePeriod) {
    test_bus::load(0x4000, {0x76});
    s.cycles_left = 1000;
    z80_run(&s);
    EXPECT_EQ(test_bus::loop_cycles, std::vector<int32_t>{0});
    EXPECT_EQ(s.PC.w, 0x4000);
    EXPECT_TRUE(s.IFF & IFF_HALTED);
}

TEST_F(MainGroup, DiAndEiTouchOnlyIff1) {
    s.IFF = IFF2 | IFF_IM1;
    test_bus::load(0x4000, {0xFB, 0xF3});
    run_one(&s);
    EXPECT_EQ(s.IFF, IFF1 | IFF2 | IFF_IM1);
    run_one(&s);
    EXPECT_EQ(s.IFF, IFF2 | IFF_IM1);
}

}  // namespace
