// The execution loop: period accounting, machine_loop results, interrupt
// acceptance, HALT and the EI pending mechanism; and reset.
#include "core_fixture.h"

namespace {

using Loop = CoreTest;

TEST_F(Loop, ResetGivesThePowerOnState) {
    Z80State fresh;
    std::memset(&fresh, 0xA5, sizeof fresh);
    fresh.period_cycles = 1234;
    z80_reset(&fresh);
    for (RegPair* p : {&fresh.AF, &fresh.BC, &fresh.DE, &fresh.HL, &fresh.IX, &fresh.IY, &fresh.PC,
                       &fresh.AF_alt, &fresh.BC_alt, &fresh.DE_alt, &fresh.HL_alt})
        EXPECT_EQ(p->w, 0);
    EXPECT_EQ(fresh.SP.w, 0xF000);
    EXPECT_EQ(fresh.IFF, 0);
    EXPECT_EQ(fresh.I, 0);
    EXPECT_EQ(fresh.cycles_left, 1234);
    EXPECT_EQ(fresh.pending_irq, IRQ_NONE);
    // Left alone:
    EXPECT_EQ(fresh.period_cycles, 1234);
    EXPECT_EQ(static_cast<uint32_t>(fresh.saved_cycles), 0xA5A5A5A5u);
    EXPECT_EQ(fresh.cpu_id, 0xA5A5A5A5u);
    EXPECT_EQ(fresh.report_unrecognized, 0xA5);
}

TEST_F(Loop, OvershootIsDroppedAtThePeriodEnd) {
    // JP 0x4000 forever, 10 cycles each, in periods of 95.
    test_bus::load(0x4000, {0xC3, 0x00, 0x40});
    s.period_cycles = 95;
    s.cycles_left = 2;
    int calls = 0;
    test_bus::loop_handler = [&](Z80State*) { return ++calls < 2 ? IRQ_NONE : IRQ_STOP; };
    z80_run(&s);
    // First period: 2 - 10 = -8. Second: a fresh 95, ten jumps to -5 (not
    // 87 - 90 = -3, which a carried overshoot would give).
    EXPECT_EQ(test_bus::loop_cycles, (std::vector<int32_t>{-8, -5}));
    EXPECT_EQ(s.cycles_left, 95);
}

TEST_F(Loop, StopReturnsThePc) {
    test_bus::load(0x4000, {0x00, 0x00});
    s.cycles_left = -50;
    EXPECT_EQ(z80_run(&s), 0x4001);  // one NOP ran despite the spent budget
    EXPECT_EQ(test_bus::loop_cycles, std::vector<int32_t>{-54});
}

struct InterruptCase {
    const char* name;
    uint8_t iff_before;
    uint8_t i;
    uint16_t value;
    bool accepted;
    uint16_t pc_after;
    uint8_t iff_after;
};

TEST_F(Loop, InterruptAcceptance) {
    const InterruptCase cases[] = {
        {"masked maskable is dropped", IFF_IM1, 0, 0x0038, false, 0x4000, IFF_IM1},
        {"mode 1", IFF1 | IFF_IM1, 0, 0x0038, true, 0x0038, IFF2 | IFF_IM1},
        {"mode 1 ignores the value", IFF1 | IFF_IM1, 0, 0x1234, true, 0x0038, IFF2 | IFF_IM1},
        {"NMI with IFF1 clear", IFF2, 0, 0x0066, true, 0x0066, 0},
        {"NMI with IFF1 set", IFF1, 0, 0x0066, true, 0x0066, IFF2},
        {"mode 2", IFF1 | IFF_IM2, 0x12, 0x0034, true, 0xBEEF, IFF2 | IFF_IM2},
        {"mode 2 wins over mode 1", IFF1 | IFF_IM1 | IFF_IM2, 0x12, 0xAB34, true, 0xBEEF,
         IFF2 | IFF_IM1 | IFF_IM2},
        {"mode 0 jumps to the value", IFF1, 0, 0x1234, true, 0x1234, IFF2},
        {"EI pending cleared", IFF1 | IFF_EI_PENDING, 0, 0x1234, true, 0x1234, IFF2},
    };
    for (const InterruptCase& c : cases) {
        SetUp();
        s.SP.w = 0x5000;
        s.IFF = c.iff_before;
        s.I = c.i;
        test_bus::load(0x1234, {0xEF, 0xBE});
        test_bus::events.clear();
        z80_interrupt(&s, c.value);
        SCOPED_TRACE(c.name);
        EXPECT_EQ(s.PC.w, c.pc_after);
        EXPECT_EQ(s.IFF, c.iff_after);
        if (c.accepted) {
            EXPECT_EQ(s.SP.w, 0x4FFE);
            ASSERT_GE(test_bus::events.size(), 2u);
            EXPECT_EQ(test_bus::events[0], wr(0x4FFF, 0x40));
            EXPECT_EQ(test_bus::events[1], wr(0x4FFE, 0x00));
        } else {
            EXPECT_EQ(s.SP.w, 0x5000);
            EXPECT_TRUE(test_bus::events.empty());
        }
    }
}

TEST_F(Loop, Mode2ReadsTheVectorLowByteFirst) {
    s.IFF = IFF1 | IFF_IM2;
    s.I = 0x12;
    s.SP.w = 0x5000;
    z80_interrupt(&s, 0x34);
    EXPECT_EQ(traffic(), (std::vector<BusEvent>{wr(0x4FFF, 0x40), wr(0x4FFE, 0x00),
                                                rd(0x1234, 0x00), rd(0x1235, 0x00)}));
}

TEST_F(Loop, PushWithStackPointerAtZeroWraps) {
    s.IFF = IFF1 | IFF_IM1;
    s.SP.w = 0x0000;
    z80_interrupt(&s, 0x38);
    EXPECT_EQ(traffic(), (std::vector<BusEvent>{wr(0xFFFF, 0x40), wr(0xFFFE, 0x00)}));
}

TEST_F(Loop, HaltIsRepeatedUntilAnInterruptReleasesIt) {
    test_bus::load(0x4000, {0x76});
    s.IFF = IFF1 | IFF_IM1;
    s.SP.w = 0x5000;
    int calls = 0;
    test_bus::loop_handler = [&](Z80State*) -> uint16_t {
        ++calls;
        if (calls < 3) return IRQ_NONE;
        if (calls == 3) return 0x0038;
        return IRQ_STOP;
    };
    test_bus::load(0x0038, {0x76});
    z80_run(&s);
    // Halted: machine_loop after every HALT, back to back.
    EXPECT_EQ(test_bus::loop_cycles, (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(test_bus::memory[0x4FFF], 0x40);
    EXPECT_EQ(test_bus::memory[0x4FFE], 0x01);  // past the HALT
    EXPECT_EQ(s.PC.w, 0x0038);                  // halted again at the handler
}

TEST_F(Loop, EiDeliversThePendingInterruptAfterOneMoreInstruction) {
    // EI, NOP at 0x4000; NOPs at the mode 1 handler.
    test_bus::load(0x4000, {0xFB, 0x00, 0x00});
    s.pending_irq = 0x1234;
    s.IFF = IFF_IM1;
    s.SP.w = 0x5000;
    s.cycles_left = 100;
    z80_run(&s);
    // After the NOP the interrupt was taken with 0x4002 pushed; the period went
    // on from 100 - 4 - 4 = 92, which the 23 NOPs at 0x0038 used up.
    EXPECT_EQ(test_bus::memory[0x4FFF], 0x40);
    EXPECT_EQ(test_bus::memory[0x4FFE], 0x02);
    EXPECT_EQ(test_bus::loop_cycles, std::vector<int32_t>{0});
    EXPECT_EQ(s.PC.w, 0x0038 + 23);
    EXPECT_EQ(s.IFF & (IFF1 | IFF_EI_PENDING), 0);
    EXPECT_EQ(s.pending_irq, 0x1234);  // not cleared by the delivery
}

TEST_F(Loop, EiWithoutPendingInterruptOnlyEnables) {
    test_bus::load(0x4000, {0xFB});
    s.cycles_left = 100;
    s.saved_cycles = 7;
    test_bus::loop_handler = [](Z80State*) { return IRQ_STOP; };
    test_bus::load(0x4001, {0x76});
    z80_run(&s);
    EXPECT_EQ(s.IFF & (IFF1 | IFF_EI_PENDING), IFF1);
    EXPECT_EQ(s.saved_cycles, 7);
}

TEST_F(Loop, InterruptFromMachineLoopIsAcceptedBetweenPeriods) {
    test_bus::load(0x4000, {0x00});
    s.IFF = IFF1 | IFF_IM1;
    s.SP.w = 0x5000;
    int calls = 0;
    test_bus::loop_handler = [&](Z80State*) -> uint16_t { return ++calls == 1 ? 0x0038 : IRQ_STOP; };
    test_bus::load(0x0038, {0x76});
    s.cycles_left = 0;
    z80_run(&s);
    EXPECT_EQ(test_bus::memory[0x4FFE], 0x01);
    EXPECT_EQ(s.PC.w, 0x0038);
}

}  // namespace
