// The AY-3-8912 against the reference notes' vectors, and how the sound
// boards reach it.
#include <gtest/gtest.h>

#include <memory>

#include "ay_chip.h"
#include "ports.h"
#include "sound.h"
#include "zx81_harness.h"

namespace {


using SoundBoards = MachineTest;

constexpr double ticks_per_second = 1'625'000.0 / ay_clocks_per_tick;

void set(AyChip& chip, int reg, uint8_t value) {
    ay_select(chip, static_cast<uint8_t>(reg));
    ay_write(chip, value);
}

// The frequency of the chip's output (channel A's tone at full volume):
// from the first to the last of its changes in two seconds of ticks.
double tone_frequency(AyChip& chip) {
    set(chip, 7, 0x3E);  // tone A alone
    set(chip, 8, 0x0F);
    int changes = 0, first = -1, last_change = 0;
    float last = ay_output(chip);
    for (int i = 0; i < static_cast<int>(2 * ticks_per_second); ++i) {
        ay_run(chip, 1);
        if (ay_output(chip) != last) {
            ++changes;
            if (first < 0) first = i;
            last_change = i;
        }
        last = ay_output(chip);
    }
    return (changes - 1) / 2.0 / ((last_change - first) / ticks_per_second);
}

TEST(AyChip, TonePeriodsGiveTheirFrequencies) {
    struct ToneCase {
        uint8_t fine, coarse;
        double hertz;
    };
    const ToneCase cases[] = {
        {0xE7, 0x00, 439.66}, {0x57, 0x03, 118.79}, {0xFF, 0x0F, 24.80}, {0x01, 0x00, 101562.5},
        {0x00, 0x00, 101562.5},  // period 0 acts as 1
        {0xE7, 0xF0, 439.66},    // only four bits of the coarse register count
    };
    for (const ToneCase& c : cases) {
        AyChip chip;
        set(chip, 0, c.fine);
        set(chip, 1, c.coarse);
        EXPECT_NEAR(tone_frequency(chip), c.hertz, c.hertz * 0.002) << int(c.fine) << "/" << int(c.coarse);
    }
}

// The 17-bit noise register: bit 0 XOR bit 3 into bit 16, stepping every
// 16 x NP chip clocks; its sequence is the longest such a register has.
TEST(AyChip, NoiseFollowsTheSeventeenBitRule) {
    AyChip chip;
    set(chip, 7, 0x37);  // noise on A alone
    set(chip, 8, 0x0F);
    set(chip, 6, 0x1F);  // NP 31: 3276.2 steps a second
    int steps = 0;
    uint32_t last = chip.noise_shift;
    for (int i = 0; i < static_cast<int>(ticks_per_second); ++i) {
        ay_run(chip, 1);
        steps += chip.noise_shift != last;
        last = chip.noise_shift;
    }
    EXPECT_NEAR(steps, 3276.2, 2);
    // From 1: the first steps worked out by hand (the fed bit is 1 only
    // when bit 0 or bit 3 is), then the whole sequence, which comes back to
    // 1 only after 2^17 - 1 steps, as a register with these taps does.
    AyChip fresh;
    set(fresh, 7, 0x37);
    set(fresh, 8, 0x0F);
    const uint32_t expected[] = {0x10000, 0x08000, 0x04000, 0x02000, 0x01000, 0x00800};
    for (uint32_t value : expected) {
        ay_run(fresh, 2);  // NP 0 is 1: a step every 2 ticks
        EXPECT_EQ(fresh.noise_shift, value);
        EXPECT_EQ(ay_output(fresh), value & 1 ? 1.0f : 0.0f);
    }
    uint32_t period = static_cast<uint32_t>(std::size(expected));
    while (fresh.noise_shift != 1 && period < 200000) {
        ay_run(fresh, 2);
        ++period;
    }
    EXPECT_EQ(period, 131071u);
}

// Each of the 16 shapes over three ramps, one level a step (EP = 1: a step
// every 2 ticks).
TEST(AyChip, EnvelopeShapesHaveTheirForms) {
    const std::string down = "FEDCBA9876543210", up = "0123456789ABCDEF";
    const std::string zeros(16, '0'), fifteens(16, 'F');
    const std::string shapes[16] = {
        down + zeros + zeros, down + zeros + zeros, down + zeros + zeros, down + zeros + zeros,
        up + zeros + zeros,   up + zeros + zeros,   up + zeros + zeros,   up + zeros + zeros,
        down + down + down,   down + zeros + zeros, down + up + down,     down + fifteens + fifteens,
        up + up + up,         up + fifteens + fifteens, up + down + up,   up + zeros + zeros,
    };
    for (int shape = 0; shape < 16; ++shape) {
        AyChip chip;
        set(chip, 7, 0x3F);  // no tone or noise: channel A is its amplitude
        set(chip, 8, 0x10);  // from the envelope
        set(chip, 13, static_cast<uint8_t>(shape));
        std::string levels;
        for (int step = 0; step < 48; ++step) {
            levels += "0123456789ABCDEF"[ay_envelope_level(chip)];
            EXPECT_EQ(ay_output(chip), ay_volume_table[static_cast<size_t>(ay_envelope_level(chip))]);
            ay_run(chip, 2);
        }
        EXPECT_EQ(levels, shapes[shape]) << "shape " << shape;
    }
    // EP 256, shape 8: a saw repeating 24.80 times a second.
    AyChip saw;
    set(saw, 7, 0x3F);
    set(saw, 8, 0x10);
    set(saw, 11, 0x00);
    set(saw, 12, 0x01);
    set(saw, 13, 0x08);
    int ramps = 0;
    for (int i = 0; i < static_cast<int>(ticks_per_second); ++i) {
        const int before = ay_envelope_level(saw);
        ay_run(saw, 1);
        ramps += ay_envelope_level(saw) > before;
    }
    EXPECT_NEAR(ramps, 24.80, 1);
}

TEST(AyChip, RegistersReadBackTheirBits) {
    const uint8_t masks[16] = {0xFF, 0x0F, 0xFF, 0x0F, 0xFF, 0x0F, 0x1F, 0xFF,
                               0x1F, 0x1F, 0x1F, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF};
    AyChip chip;
    for (int reg = 0; reg < 16; ++reg) {
        set(chip, reg, 0xFF);
        EXPECT_EQ(ay_read(chip), masks[reg]) << reg;
    }
    set(chip, 16, 0x55);  // no such register: nothing changes
    for (int reg = 0; reg < 16; ++reg) EXPECT_EQ(chip.registers[reg], masks[reg]) << reg;
    EXPECT_EQ(ay_read(chip), 0xFF);
}

// The ZON X boards answer their ports (select 0xCF or 0xDF, data 0x0F or
// 0x1F, the high byte free), and nothing else changes the chip; the
// Quicksilva board answers memory writes, and the RAM is written too.
TEST_F(SoundBoards, EachBoardAnswersItsOwnAddresses) {
    struct PortCase {
        uint16_t select, data;
        bool reaches;
    };
    const PortCase cases[] = {
        {0x00CF, 0x000F, true},  {0x00DF, 0x001F, true},  {0x12CF, 0x340F, true},
        {0x00FE, 0x00FE, false}, {0x00FD, 0x00FD, false}, {0x00FF, 0x00FF, false},
        {0x004F, 0x008F, false}, {0x00CE, 0x000E, false},
    };
    const auto board = [](SoundBoard kind) {
        auto machine = std::make_unique<Zx81>();
        MachineOptions options;
        options.sound_board = kind;
        configure(*machine, options);
        return machine;
    };
    for (const PortCase& c : cases) {
        const auto machine = board(SoundBoard::zonx);
        boards_out(*machine, c.select, 8, 0);
        boards_out(*machine, c.data, 0x0F, 0);
        EXPECT_EQ(machine->sound.ay.registers[8], c.reaches ? 0x0F : 0) << std::hex << c.select << " " << c.data;
    }
    const auto none = board(SoundBoard::none);
    boards_out(*none, 0xCF, 8, 0);
    boards_out(*none, 0x0F, 0x0F, 0);
    EXPECT_EQ(none->sound.ay.registers[8], 0);

    MachineOptions quicksilva;
    quicksilva.sound_board = SoundBoard::quicksilva;
    configure(zx81, quicksilva);
    start_machine();
    // LD A,8: LD (0x7FFF),A; LD A,15: LD (0x7FFE),A; HALT, from 0x4300.
    const uint8_t code[] = {0x3E, 8, 0x32, 0xFF, 0x7F, 0x3E, 15, 0x32, 0xFE, 0x7F, 0x76};
    std::copy(std::begin(code), std::end(code), zx81.memory.begin() + 0x4300);
    zx81.cpu.PC.w = 0x4300;
    run_periods(1);
    EXPECT_EQ(zx81.sound.ay.registers[8], 15);
    EXPECT_EQ(zx81.memory[0x7FFF], 8);
    EXPECT_EQ(zx81.memory[0x7FFE], 15);
}

}  // namespace
