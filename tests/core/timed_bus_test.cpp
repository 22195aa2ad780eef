// What a cycle-timed machine gets from the processor, on a bus of the test's
// own: R counted per opcode fetch, opcode fetches told apart (and answered
// with another byte), and interrupts placed at an exact instruction.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "recording_bus.h"
#include "z80_execute.h"

namespace {

struct Fetch {
    uint16_t address;
    uint8_t refresh;     // R as the fetch put it on the bus
    int32_t cycles_left; // at the start of its instruction
    int offset;          // its cycle within the instruction
    bool operator==(const Fetch&) const = default;
};

std::array<uint8_t, 65536> ram;
std::vector<Fetch> fetches;
bool display_nops = false;  // opcodes at 0x8000 up with bit 6 clear read as NOP
int32_t raise_from = -1;    // cycles into the period from which a line is active
uint16_t raised = IRQ_NONE; // what the line raises: an NMI, or a maskable value

struct TimedBus {
    static constexpr bool refresh = true;
    static constexpr bool exact_timing = true;
    static constexpr bool watches_boundaries = true;

    static uint8_t fetch(const Z80State&, uint16_t address, uint8_t r, int32_t cycles_left,
                         int offset) {
        fetches.push_back({address, r, cycles_left, offset});
        const uint8_t byte = ram[address];
        return display_nops && address >= 0x8000 && !(byte & 0x40) ? 0x00 : byte;
    }
    static uint8_t read(uint16_t address) { return ram[address]; }
    static void write(uint16_t address, uint8_t value) { ram[address] = value; }
    static uint8_t in(uint16_t, int32_t) { return 0xFF; }
    static void out(uint16_t, uint8_t, int32_t) {}
    static uint16_t period_end(Z80State*) { return IRQ_STOP; }
    static void trap(Z80State*) {}
    static void unrecognized(const Z80State&, const char*) {}
    // A maskable line stays active until the processor takes it (IFF1
    // drops); an NMI is an edge, raised once.
    static uint16_t boundary(const Cpu<TimedBus>& c) {
        if (raise_from < 0 || c.s.period_cycles - c.cycles < raise_from) return IRQ_NONE;
        if (raised == IRQ_NMI) raise_from = -1;
        return (raised == IRQ_NMI || (c.s.IFF & IFF1)) ? raised : IRQ_NONE;
    }
};

class TimedBusTest : public ::testing::Test {
protected:
    Z80State s{};

    void SetUp() override {
        ram.fill(0);
        fetches.clear();
        display_nops = false;
        raise_from = -1;
        s.period_cycles = 1000;
        z80_reset(&s);
        s.PC.w = 0x4000;
        s.SP.w = 0x6000;
    }

    void load(uint16_t address, std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) ram[address++] = b;
    }

    // Runs one instruction: entered with the budget spent, the period ends
    // right after it.
    void step() {
        s.cycles_left = 0;
        z80_execute<TimedBus>(&s);
    }

    // Runs a whole period from `s.PC`.
    void run_period() {
        s.cycles_left = s.period_cycles;
        z80_execute<TimedBus>(&s);
    }
};

struct RefreshCase {
    const char* name;
    std::vector<uint8_t> code;
    int steps;
    uint8_t r_before, r_after;
};

TEST_F(TimedBusTest, RefreshCountsOpcodeFetches) {
    const RefreshCase cases[] = {
        {"NOP", {0x00}, 1, 0x00, 0x01},
        {"LD A,n: operands are no fetches", {0x3E, 0x12}, 1, 0x00, 0x01},
        {"CB", {0xCB, 0x00}, 1, 0x00, 0x02},
        {"ED", {0xED, 0x44}, 1, 0x00, 0x02},
        {"DD", {0xDD, 0x21, 0x34, 0x12}, 1, 0x00, 0x02},
        {"FD with a displacement", {0xFD, 0x7E, 0x05}, 1, 0x00, 0x02},
        {"DD CB d op", {0xDD, 0xCB, 0x05, 0x06}, 1, 0x00, 0x02},
        {"each extra prefix adds one", {0xDD, 0xFD, 0x21, 0x34, 0x12}, 2, 0x00, 0x03},
        {"ED ED", {0xED, 0xED, 0x44}, 2, 0x00, 0x03},
        {"HALT, every step", {0x76}, 3, 0x00, 0x03},
        {"bit 7 kept, low 7 bits wrap", {0x00}, 1, 0xFF, 0x80},
        {"bit 7 clear stays clear", {0x00, 0x00}, 2, 0x7F, 0x01},
    };
    for (const RefreshCase& c : cases) {
        SetUp();
        uint16_t at = 0x4000;
        for (uint8_t b : c.code) ram[at++] = b;
        s.R = c.r_before;
        for (int i = 0; i < c.steps; ++i) step();
        EXPECT_EQ(s.R, c.r_after) << c.name;
    }
}

TEST_F(TimedBusTest, LoadRAndReadItBack) {
    // LD A,0x85; LD R,A; LD A,0; LD A,R: the write lands after LD R,A's own
    // two fetches, and LD A,R sees its own two.
    load(0x4000, {0x3E, 0x85, 0xED, 0x4F, 0x3E, 0x00, 0xED, 0x5F});
    s.IFF = IFF1;
    for (int i = 0; i < 4; ++i) step();
    EXPECT_EQ(s.AF.b.h, 0x85 + 1 + 2);
    EXPECT_EQ(s.AF.b.l & (FLAG_S | FLAG_Z | FLAG_PV), FLAG_S | FLAG_PV);  // P/V shows IFF1
    EXPECT_EQ(s.R, 0x88);
}

TEST_F(TimedBusTest, TheMachineOfTheLinkTimeCallbacksKeepsNoR) {
    // z80_run, over NOPs, CB, ED and DD instructions: R stays as it was.
    test_bus::reset();
    test_bus::load(0x4000, {0x00, 0xCB, 0x00, 0xED, 0x44, 0xDD, 0x21, 0x00, 0x00});
    s.R = 0x42;
    for (int i = 0; i < 4; ++i) run_one(&s);
    EXPECT_EQ(s.PC.w, 0x4009);
    EXPECT_EQ(s.R, 0x42);
}

TEST_F(TimedBusTest, OpcodeFetchesCanBeAnsweredWithAnotherByte) {
    // As on the ZX81: an opcode above 0x7FFF with bit 6 clear runs as NOP.
    // 0x26 would load H, 0xA6 AND (HL); HALT (bit 6 set) runs as itself.
    display_nops = true;
    load(0x8000, {0x26, 0xA6, 0x3E, 0x76});
    s.PC.w = 0x8000;
    s.HL.w = 0x1234;
    s.AF.w = 0x5500;
    s.R = 0xDD;
    for (int i = 0; i < 4; ++i) step();
    EXPECT_EQ(s.HL.w, 0x1234);
    EXPECT_EQ(s.AF.w, 0x5500);
    EXPECT_TRUE(s.IFF & IFF_HALTED);
    EXPECT_EQ(s.PC.w, 0x8003);
    const std::vector<Fetch> expected = {
        {0x8000, 0xDD, 0, 0}, {0x8001, 0xDE, 0, 0}, {0x8002, 0xDF, 0, 0}, {0x8003, 0xE0, 0, 0}};
    EXPECT_EQ(fetches, expected);
    // Reads that are not opcode fetches get memory itself: LD A,(0x8000).
    fetches.clear();
    load(0x4000, {0x3A, 0x00, 0x80});
    s.PC.w = 0x4000;
    step();
    EXPECT_EQ(s.AF.b.h, 0x26);
    EXPECT_EQ(fetches.size(), 1u);
}

TEST_F(TimedBusTest, TheFetchAfterAPrefixComesFourCyclesLater) {
    load(0x4000, {0xDD, 0x21, 0x34, 0x12});
    step();
    const std::vector<Fetch> expected = {{0x4000, 0x00, 0, 0}, {0x4001, 0x01, 0, 4}};
    EXPECT_EQ(fetches, expected);
}

struct PlacementCase {
    const char* name;
    uint16_t line;          // what the line raises
    int32_t from;           // cycles into the period
    uint16_t pushed;        // the return address
    int32_t handler_start;  // cycles into the period when the handler's first fetch begins
    uint8_t iff_after;      // IFF1 and IFF2 once taken
};

TEST_F(TimedBusTest, InterruptsAreTakenAtTheInstructionWhereTheyFall) {
    // IM 1; EI; then NOPs: IM 1 ends at 8, EI at 12, each NOP 4 later.
    const PlacementCase cases[] = {
        {"maskable at 19: after the NOP that ends at 20", 0x0038, 19, 0x4005, 20 + 13, IFF2},
        {"maskable right after EI waits one instruction", 0x0038, 12, 0x4004, 16 + 13, IFF2},
        {"NMI right after EI does not wait", IRQ_NMI, 12, 0x4003, 12 + 11, IFF2},
        {"NMI at 5: after IM 1, before EI", IRQ_NMI, 5, 0x4002, 8 + 11, 0},
    };
    for (const PlacementCase& c : cases) {
        SetUp();
        load(0x4000, {0xED, 0x56, 0xFB});
        raised = c.line;
        raise_from = c.from;
        run_period();
        const uint16_t handler = c.line == IRQ_NMI ? 0x0066 : 0x0038;
        const uint16_t pushed = static_cast<uint16_t>(ram[0x5FFE] | (ram[0x5FFF] << 8));
        EXPECT_EQ(pushed, c.pushed) << c.name;
        bool found = false;
        for (const Fetch& f : fetches) {
            if (f.address != handler) continue;
            EXPECT_EQ(s.period_cycles - f.cycles_left, c.handler_start) << c.name;
            found = true;
            break;
        }
        EXPECT_TRUE(found) << c.name;
        EXPECT_EQ(s.IFF & (IFF1 | IFF2), c.iff_after) << c.name;
    }
}

TEST_F(TimedBusTest, AHaltedProcessorRefreshesUntilTheInterrupt) {
    // IM 1, EI, HALT at 0x4003: 4-cycle steps until the line comes at 30.
    load(0x4000, {0xED, 0x56, 0xFB, 0x76});
    s.R = 0x80;
    raised = 0x0038;
    raise_from = 30;
    run_period();
    const uint16_t pushed = static_cast<uint16_t>(ram[0x5FFE] | (ram[0x5FFF] << 8));
    EXPECT_EQ(pushed, 0x4004);  // past the HALT
    // IM 1 and EI: 3 fetches; HALT from 12 to 32: 5 steps; the acknowledge: 1.
    size_t halts = 0;
    for (const Fetch& f : fetches) halts += f.address == 0x4003;
    EXPECT_EQ(halts, 5u);
    EXPECT_EQ(fetches.at(3 + 5).address, 0x0038);
    EXPECT_EQ(fetches.at(3 + 5).refresh, 0x80 + 3 + 5 + 1);
}

}  // namespace
