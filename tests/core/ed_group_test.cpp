// ED-prefixed instructions, the block instructions across period ends, and
// the unrecognised-opcode report.
#include "core_fixture.h"
#include "z80_tables.h"

namespace {

using EdGroup = CoreTest;

TEST_F(EdGroup, ResultsAndFlags) {
    run_cases({
        {"ADC HL,DE overflow", {0xED, 0x5A}, {.af = 0x0001, .de = 0x0000, .hl = 0x7FFF}, {},
         {.af = 0x0094, .de = 0x0000, .hl = 0x8000}, 15, 0x4002, {}},
        {"ADC HL,BC carry", {0xED, 0x4A}, {.af = 0x0000, .bc = 0x0001, .hl = 0xFFFF}, {},
         {.af = 0x0051, .bc = 0x0001, .hl = 0x0000}, 15, 0x4002, {}},
        {"SBC HL,BC overflow", {0xED, 0x42}, {.bc = 0x0001, .hl = 0x8000}, {},
         {.af = 0x0016, .bc = 0x0001, .hl = 0x7FFF}, 15, 0x4002, {}},
        {"SBC HL,DE equal", {0xED, 0x52}, {.de = 0x1234, .hl = 0x1234}, {},
         {.af = 0x0042, .de = 0x1234, .hl = 0x0000}, 15, 0x4002, {}},
        {"SBC HL,HL carry set", {0xED, 0x62}, {.af = 0x0001, .hl = 0x1234}, {},
         {.af = 0x0093, .hl = 0xFFFF}, 15, 0x4002, {}},
        {"ADC HL,SP", {0xED, 0x7A}, {.hl = 0x0800, .sp = 0x0800}, {},
         {.af = 0x0010, .hl = 0x1000, .sp = 0x0800}, 15, 0x4002, {}},
        {"NEG of 0", {0xED, 0x44}, {.af = 0x00FF}, {}, {.af = 0x0042}, 8, 0x4002, {}},
        {"NEG of 0x80", {0xED, 0x44}, {.af = 0x8000}, {}, {.af = 0x8087}, 8, 0x4002, {}},
        {"NEG of 1", {0xED, 0x44}, {.af = 0x0100}, {}, {.af = 0xFF93}, 8, 0x4002, {}},
        {"LD (nn),SP wraps", {0xED, 0x73, 0xFF, 0xFF}, {.sp = 0x1234}, {}, {.sp = 0x1234}, 20,
         0x4004, {{0xFFFF, 0x34}, {0x0000, 0x12}}},
        {"LD BC,(nn) wraps", {0xED, 0x4B, 0xFF, 0xFF}, {}, {{0xFFFF, 0x34}, {0x0000, 0x12}},
         {.bc = 0x1234}, 20, 0x4004, {}},
        {"LD (nn),DE", {0xED, 0x53, 0x00, 0x50}, {.de = 0xBEEF}, {}, {.de = 0xBEEF}, 20, 0x4004,
         {{0x5000, 0xEF}, {0x5001, 0xBE}}},
        {"RRD", {0xED, 0x67}, {.af = 0x8400, .hl = 0x5000}, {{0x5000, 0x20}},
         {.af = 0x8080, .hl = 0x5000}, 18, 0x4002, {{0x5000, 0x42}}},
        {"RLD", {0xED, 0x6F}, {.af = 0x7A00, .hl = 0x5000}, {{0x5000, 0x31}},
         {.af = 0x7300, .hl = 0x5000}, 18, 0x4002, {{0x5000, 0x1A}}},
        {"RLD keeps C", {0xED, 0x6F}, {.af = 0x0001, .hl = 0x5000}, {{0x5000, 0x00}},
         {.af = 0x0045, .hl = 0x5000}, 18, 0x4002, {}},
        {"LDI", {0xED, 0xA0}, {.af = 0x00FF, .bc = 0x0002, .de = 0x6000, .hl = 0x5000},
         {{0x5000, 0x99}}, {.af = 0x00ED, .bc = 0x0001, .de = 0x6001, .hl = 0x5001}, 16, 0x4002,
         {{0x6000, 0x99}}},
        {"LDD to BC 0", {0xED, 0xA8}, {.af = 0x00FF, .bc = 0x0001, .de = 0x6000, .hl = 0x5000},
         {}, {.af = 0x00E9, .bc = 0x0000, .de = 0x5FFF, .hl = 0x4FFF}, 16, 0x4002, {}},
        {"CPI match", {0xED, 0xA1}, {.af = 0x4201, .bc = 0x0005, .hl = 0x5000}, {{0x5000, 0x42}},
         {.af = 0x4247, .bc = 0x0004, .hl = 0x5001}, 16, 0x4002, {}},
        {"CPD no match", {0xED, 0xA9}, {.af = 0x1000, .bc = 0x0001, .hl = 0x5000},
         {{0x5000, 0x01}}, {.af = 0x1012, .bc = 0x0000, .hl = 0x4FFF}, 16, 0x4002, {}},
    });
}

TEST_F(EdGroup, PortInputAndOutputThroughC) {
    test_bus::port_reader = [](uint16_t) { return uint8_t{0x00}; };
    set_regs({.af = 0xFF01, .bc = 0x7FFE});
    test_bus::load(0x4000, {0xED, 0x78, 0xED, 0x79, 0xED, 0x70, 0xED, 0x71});
    EXPECT_EQ(run_one(&s), 12);
    EXPECT_EQ(s.AF.w, 0x0045);  // IN A,(C) of 0 with C set
    EXPECT_EQ(run_one(&s), 12);
    test_bus::port_reader = [](uint16_t) { return uint8_t{0x80}; };
    EXPECT_EQ(run_one(&s), 12);  // IN F,(C): flags only
    EXPECT_EQ(s.AF.w, 0x0081);
    EXPECT_EQ(run_one(&s), 0);   // ED 71 is not implemented
    EXPECT_EQ(traffic(),
              (std::vector<BusEvent>{rd(0x4000, 0xED), rd(0x4001, 0x78), in(0x7FFE, 0x00),
                                     rd(0x4002, 0xED), rd(0x4003, 0x79), out(0x7FFE, 0x00),
                                     rd(0x4004, 0xED), rd(0x4005, 0x70), in(0x7FFE, 0x80),
                                     rd(0x4006, 0xED), rd(0x4007, 0x71)}));
}

TEST_F(EdGroup, InterruptBitsAndSpecialRegisters) {
    struct Case {
        const char* name;
        uint8_t op;
        uint8_t iff_before;
        uint8_t iff_after;
    };
    const Case cases[] = {
        {"IM 2", 0x5E, 0x43, 0x45}, {"IM 0", 0x46, 0xFF, 0xF9}, {"IM 1", 0x56, 0x04, 0x02},
        {"RETN from IFF2", 0x45, IFF2, IFF2 | IFF1}, {"RETN clears", 0x45, IFF1, 0x00},
        {"RETI leaves IFF", 0x4D, IFF1, IFF1},
    };
    for (const Case& c : cases) {
        SetUp();
        s.IFF = c.iff_before;
        s.SP.w = 0xFFFF;
        test_bus::load(0x4000, {0xED, c.op});
        s.PC.w = 0x4001;
        z80_exec_ed(&s);
        EXPECT_EQ(s.IFF, c.iff_after) << c.name;
    }
    // A pop from 0xFFFF wraps to 0x0000.
    SetUp();
    s.SP.w = 0xFFFF;
    test_bus::memory[0xFFFF] = 0x34;
    test_bus::memory[0x0000] = 0x12;
    test_bus::load(0x4000, {0xED, 0x4D});
    EXPECT_EQ(run_one(&s), 14);
    EXPECT_EQ(s.PC.w, 0x1234);
    EXPECT_EQ(s.SP.w, 0x0001);
}

TEST_F(EdGroup, LoadAFromIAndR) {
    // LD A,I shows IFF1 (not IFF2) in P/V.
    s.IFF = IFF2;
    s.I = 0x80;
    s.AF.b.l = 0x01;
    test_bus::load(0x4000, {0xED, 0x57, 0xED, 0x47, 0xED, 0x5F});
    EXPECT_EQ(run_one(&s), 9);
    EXPECT_EQ(s.AF.w, 0x8081);
    // LD I,A
    s.AF.b.h = 0x3C;
    run_one(&s);
    EXPECT_EQ(s.I, 0x3C);
    // LD A,R with 1000 cycles left before it: 0 - (1000 - 9) = 0x21.
    s.IFF = IFF1;
    s.cycles_left = 1000;
    s.PC.w = 0x4005;
    z80_exec_ed(&s);
    EXPECT_EQ(s.AF.b.h, 0x21);
    EXPECT_EQ(s.AF.b.l, 0x05);
}

TEST_F(EdGroup, LdirStopsWhenTheBudgetIsSpentAndResumes) {
    set_regs({.bc = 16, .de = 0x6000, .hl = 0x5000});
    test_bus::load(0x4000, {0xED, 0xB0});
    s.PC.w = 0x4001;
    s.cycles_left = 50;
    z80_exec_ed(&s);
    EXPECT_EQ(s.PC.w, 0x4000);
    EXPECT_EQ(s.BC.w, 13);
    EXPECT_EQ(s.HL.w, 0x5003);
    EXPECT_EQ(s.DE.w, 0x6003);
    EXPECT_EQ(s.cycles_left, -13);
    EXPECT_EQ(s.AF.b.l & (FLAG_PV | FLAG_H | FLAG_N), FLAG_PV);

    // Across the loop: the copy completes over several periods.
    for (int i = 0; i < 16; ++i) test_bus::memory[0x5000 + i] = static_cast<uint8_t>(i + 1);
    set_regs({.bc = 16, .de = 0x6000, .hl = 0x5000});
    s.PC.w = 0x4000;
    test_bus::load(0x4002, {0x76});
    s.period_cycles = 50;
    s.cycles_left = 50;
    test_bus::loop_handler = [](Z80State* st) { return st->PC.w == 0x4002 ? IRQ_STOP : IRQ_NONE; };
    z80_run(&s);
    EXPECT_EQ(s.BC.w, 0);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(test_bus::memory[0x6000 + i], i + 1);
    EXPECT_EQ(test_bus::loop_cycles.size(), 6u);  // 3 steps per 50-cycle period
}

TEST_F(EdGroup, BlockInstructionsInOneCall) {
    struct Case {
        const char* name;
        uint8_t op;
        Regs before;
        int32_t budget;
        Regs after;
        int32_t cycles_after;
        uint16_t pc_after;
    };
    const Case cases[] = {
        {"LDIR finishes", 0xB0, {.af = 0x00FF, .bc = 2, .de = 0x6000, .hl = 0x5000}, 50,
         {.af = 0x00E9, .bc = 0, .de = 0x6002, .hl = 0x5002}, 13, 0x4002},
        {"LDDR stops early", 0xB8, {.bc = 5, .de = 0x6000, .hl = 0x5000}, 30,
         {.af = 0x0004, .bc = 3, .de = 0x5FFE, .hl = 0x4FFE}, -12, 0x4000},
        {"CPIR finds in the second byte", 0xB1, {.af = 0x4200, .bc = 10, .hl = 0x5000}, 100,
         {.af = 0x4246, .bc = 8, .hl = 0x5002}, 63, 0x4002},
        {"CPDR never stops early", 0xB9, {.af = 0x4200, .bc = 16, .hl = 0x5011}, 5,
         {.af = 0x4202, .bc = 0, .hl = 0x5001}, -326, 0x4002},
        {"LDIR entered with BC 0 runs on", 0xB0, {.bc = 0, .de = 0x6000, .hl = 0x5000}, 1,
         {.af = 0x0004, .bc = 0xFFFF, .de = 0x6001, .hl = 0x5001}, -20, 0x4000},
    };
    for (const Case& c : cases) {
        SetUp();
        set_regs(c.before);
        test_bus::memory[0x5001] = 0x42;
        test_bus::load(0x4000, {0xED, c.op});
        s.PC.w = 0x4001;
        s.cycles_left = c.budget;
        z80_exec_ed(&s);
        expect_regs(c.after, c.name);
        EXPECT_EQ(s.cycles_left, c.cycles_after) << c.name;
        EXPECT_EQ(s.PC.w, c.pc_after) << c.name;
    }
}

TEST_F(EdGroup, BlockInputAndOutput) {
    test_bus::port_reader = [](uint16_t port) { return static_cast<uint8_t>(port >> 8); };
    set_regs({.bc = 0x02FE, .hl = 0x5000});
    s.PC.w = 0x4001;
    s.cycles_left = 100;
    test_bus::load(0x4000, {0xED, 0xB2});
    z80_exec_ed(&s);  // INIR
    EXPECT_EQ(traffic(), (std::vector<BusEvent>{rd(0x4001, 0xB2), in(0x02FE, 0x02),
                                                wr(0x5000, 0x02), in(0x01FE, 0x01),
                                                wr(0x5001, 0x01)}));
    EXPECT_EQ(s.BC.b.h, 0);
    EXPECT_EQ(s.AF.b.l, 0x42);
    EXPECT_EQ(s.cycles_left, 100 - 21 - 16);

    SetUp();  // OTIR stopped by the budget
    set_regs({.bc = 0x0310, .hl = 0x5000});
    test_bus::load(0x4000, {0xED, 0xB3});
    s.PC.w = 0x4001;
    s.cycles_left = 10;
    z80_exec_ed(&s);
    EXPECT_EQ(s.AF.b.l, 0x02);
    EXPECT_EQ(s.BC.b.h, 2);
    EXPECT_EQ(s.PC.w, 0x4000);
    EXPECT_EQ(traffic(), (std::vector<BusEvent>{rd(0x4001, 0xB3), rd(0x5000, 0x00),
                                                out(0x0210, 0x00)}));

    SetUp();  // OUTD, single step
    set_regs({.af = 0x00FF, .bc = 0x0110, .hl = 0x5000});
    test_bus::load(0x4000, {0xED, 0xAB});
    EXPECT_EQ(run_one(&s), 16);
    EXPECT_EQ(s.AF.b.l, 0x42);
    EXPECT_EQ(s.HL.w, 0x4FFF);
}

TEST_F(EdGroup, EdEdAndTrapAndUnrecognised) {
    test_bus::load(0x4000, {0xED, 0xED, 0xFE, 0xED, 0x4C, 0x00});
    s.cycles_left = 100;
    s.PC.w = 0x4001;
    z80_exec_ed(&s);  // ED ED: the second ED starts the next instruction
    EXPECT_EQ(s.PC.w, 0x4001);
    EXPECT_EQ(s.cycles_left, 100);
    s.PC.w = 0x4002;
    z80_exec_ed(&s);  // ED FE: the trap, at no cost
    EXPECT_EQ(s.PC.w, 0x4003);
    EXPECT_EQ(s.cycles_left, 100);
    EXPECT_EQ(traffic().back(), (BusEvent{Bus::Trap, 0x4003, 0}));

    const Z80State before = s;
    s.PC.w = 0x4004;
    testing::internal::CaptureStdout();
    z80_exec_ed(&s);  // ED 4C: nothing, silently
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(s.PC.w, 0x4005);
    EXPECT_EQ(s.cycles_left, 100);
    EXPECT_EQ(s.AF.w, before.AF.w);
    EXPECT_EQ(s.HL.w, before.HL.w);

    s.report_unrecognized = 1;
    s.cpu_id = 0xABC;
    s.PC.w = 0x4004;
    testing::internal::CaptureStdout();
    z80_exec_ed(&s);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[Z80 ABC] Unrecognized instruction: ED 4C at PC=4003\n");
}

TEST_F(EdGroup, EveryUnrecognisedSecondByteIsAFreeNoOperation) {
    int unrecognised = 0;
    for (int x = 0; x < 256; ++x) {
        const bool implemented =
            (x >= 0x40 && x <= 0x7F && cycles_ed[x] != 0) || (x >= 0xA0 && x <= 0xBB && (x & 4) == 0) ||
            x == 0xED || x == 0xFE;
        if (implemented) continue;
        ++unrecognised;
        SetUp();
        set_regs({.af = 0x1234, .bc = 0x5678, .de = 0x9ABC, .hl = 0xDEF0});
        test_bus::load(0x4000, {0xED, static_cast<uint8_t>(x)});
        EXPECT_EQ(run_one(&s), 0) << std::hex << x;
        EXPECT_EQ(s.PC.w, 0x4002) << std::hex << x;
        expect_regs({.af = 0x1234, .bc = 0x5678, .de = 0x9ABC, .hl = 0xDEF0}, "unrecognised");
    }
    EXPECT_EQ(unrecognised, 256 - 59 - 2);
}

}  // namespace
