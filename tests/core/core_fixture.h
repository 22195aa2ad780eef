// Shared set-up for the core tests: a reset processor over the recording bus.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "recording_bus.h"
#include "z80.h"

// Register values for table-driven cases. Unnamed pairs start at 0, SP at
// 0xF000 as after reset.
struct Regs {
    uint16_t af = 0, bc = 0, de = 0, hl = 0, ix = 0, iy = 0, sp = 0xF000;
};

struct Poke {
    uint16_t address;
    uint8_t value;
};

// One instruction placed at 0x4000 and run once.
struct InstructionCase {
    const char* name;
    std::vector<uint8_t> code;
    Regs before;
    std::vector<Poke> memory_before;
    Regs after;
    int cost;
    uint16_t pc_after;
    std::vector<Poke> memory_after;
};

inline void PrintTo(const InstructionCase& c, std::ostream* os) { *os << c.name; }

// One instruction placed at 0x4000 and run once, checked for its callbacks.
struct TrafficCase {
    const char* name;
    std::vector<uint8_t> code;
    Regs before;
    std::vector<BusEvent> expected;
};

class CoreTest : public ::testing::Test {
protected:
    Z80State s{};

    void SetUp() override {
        test_bus::reset();
        s.period_cycles = 32000;
        z80_reset(&s);
        s.PC.w = 0x4000;
    }

    void set_regs(const Regs& r) {
        s.AF.w = r.af;
        s.BC.w = r.bc;
        s.DE.w = r.de;
        s.HL.w = r.hl;
        s.IX.w = r.ix;
        s.IY.w = r.iy;
        s.SP.w = r.sp;
    }

    void expect_regs(const Regs& r, const char* name) {
        SCOPED_TRACE(name);
        EXPECT_EQ(s.AF.w, r.af) << "AF";
        EXPECT_EQ(s.BC.w, r.bc) << "BC";
        EXPECT_EQ(s.DE.w, r.de) << "DE";
        EXPECT_EQ(s.HL.w, r.hl) << "HL";
        EXPECT_EQ(s.IX.w, r.ix) << "IX";
        EXPECT_EQ(s.IY.w, r.iy) << "IY";
        EXPECT_EQ(s.SP.w, r.sp) << "SP";
    }

    void run_case(const InstructionCase& c) {
        SetUp();
        set_regs(c.before);
        uint16_t at = 0x4000;
        for (uint8_t b : c.code) test_bus::memory[at++] = b;
        for (const Poke& p : c.memory_before) test_bus::memory[p.address] = p.value;
        const int cost = run_one(&s);
        expect_regs(c.after, c.name);
        EXPECT_EQ(cost, c.cost) << c.name;
        EXPECT_EQ(s.PC.w, c.pc_after) << c.name;
        for (const Poke& p : c.memory_after)
            EXPECT_EQ(test_bus::memory[p.address], p.value)
                << c.name << " at " << std::hex << p.address;
    }

    void run_cases(const std::vector<InstructionCase>& cases) {
        for (const InstructionCase& c : cases) run_case(c);
    }

    // Runs each case with 0x11, 0x22 at 0x8000 (a stack to exchange with)
    // and compares every callback but machine_loop.
    void run_traffic_cases(const std::vector<TrafficCase>& cases) {
        for (const TrafficCase& c : cases) {
            SetUp();
            set_regs(c.before);
            test_bus::memory[0x8000] = 0x11;
            test_bus::memory[0x8001] = 0x22;
            uint16_t at = 0x4000;
            for (uint8_t b : c.code) test_bus::memory[at++] = b;
            run_one(&s);
            EXPECT_EQ(traffic(), c.expected) << c.name;
        }
    }

    // Every callback but machine_loop, in order.
    static std::vector<BusEvent> traffic() {
        std::vector<BusEvent> t;
        for (const BusEvent& e : test_bus::events)
            if (e.kind != Bus::Loop) t.push_back(e);
        return t;
    }
};
