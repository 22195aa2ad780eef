// The core never stops or crashes outside what it defines: millions of
// instructions over random memory, with random machine_loop answers
// (interrupts of every kind included) and random register states.
#include <random>

#include "core_fixture.h"

namespace {

TEST(RandomRun, MillionsOfInstructionsOverRandomMemory) {
    test_bus::reset();
    test_bus::recording = false;
    std::mt19937 rng(20261208);
    for (auto& byte : test_bus::memory) byte = static_cast<uint8_t>(rng());
    test_bus::port_reader = [&rng](uint16_t) { return static_cast<uint8_t>(rng()); };

    constexpr int periods = 200000;
    int calls = 0;
    uint64_t cycles = 0;
    test_bus::loop_handler = [&](Z80State* s) -> uint16_t {
        cycles += static_cast<uint64_t>(s->period_cycles - s->cycles_left);
        if (++calls >= periods) return IRQ_STOP;
        // Stir the state now and then, as a machine might.
        switch (rng() % 16) {
        case 0: return IRQ_NMI;
        case 1: return static_cast<uint16_t>(rng() % 0xFFFE);  // maskable, any value
        case 2: s->IFF = static_cast<uint8_t>(rng()); return IRQ_NONE;
        case 3: s->pending_irq = static_cast<uint16_t>(rng()); return IRQ_NONE;
        case 4: s->I = static_cast<uint8_t>(rng()); return 0x0038;
        case 5: s->PC.w = static_cast<uint16_t>(rng()); return IRQ_NONE;
        case 6: z80_reset(s); return IRQ_NONE;
        default: return IRQ_NONE;
        }
    };

    Z80State s{};
    s.period_cycles = 250;
    z80_reset(&s);
    s.report_unrecognized = 1;
    testing::internal::CaptureStdout();
    z80_run(&s);
    const std::string reports = testing::internal::GetCapturedStdout();

    EXPECT_EQ(calls, periods);
    // A period can end early (HALT, EI) but never stretch beyond one
    // instruction's overshoot; a whole repeating CPDR is the longest.
    EXPECT_GT(cycles, 20'000'000u);
    EXPECT_NE(reports.find("Unrecognized instruction"), std::string::npos);
}

TEST(RandomRun, EveryTwoByteSequenceFromEveryPrefixCompletes) {
    // Each prefix with each second byte and random operands, from random
    // register values: the instruction finishes and the loop comes back.
    test_bus::reset();
    test_bus::recording = false;
    std::mt19937 rng(7);
    int finished = 0;
    for (uint8_t prefix : {uint8_t{0xCB}, uint8_t{0xDD}, uint8_t{0xED}, uint8_t{0xFD}}) {
        for (int second = 0; second < 256; ++second) {
            for (auto& byte : test_bus::memory) byte = static_cast<uint8_t>(rng());
            Z80State s{};
            s.period_cycles = 100;
            z80_reset(&s);
            s.BC.w = static_cast<uint16_t>(rng());
            s.HL.w = static_cast<uint16_t>(rng());
            s.PC.w = static_cast<uint16_t>(rng());
            test_bus::memory[s.PC.w] = prefix;
            test_bus::memory[static_cast<uint16_t>(s.PC.w + 1)] = static_cast<uint8_t>(second);
            testing::internal::CaptureStdout();
            run_one(&s);
            testing::internal::GetCapturedStdout();
            ++finished;
        }
    }
    EXPECT_EQ(finished, 1024);
}

}  // namespace
