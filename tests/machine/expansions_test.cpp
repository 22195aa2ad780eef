// The expansions through the real ROM, in both models: a few bytes of
// machine code called from where the ZX81 waits at its K prompt reach each
// board as a program would, and the picture shows what the boards make of
// the display file.
#include <gtest/gtest.h>

#include <vector>

#include "chroma.h"
#include "ports.h"
#include "zxpand.h"
#include "zx81_harness.h"

namespace {

constexpr uint16_t code_at = 0x7E00;  // free RAM below the machine stack
constexpr uint16_t result_at = 0x7D00;
constexpr uint8_t letter_a = 0x26, letter_b = 0x27;

class Expansions : public ::testing::TestWithParam<Model>, public TestMachine {
protected:
    void fit(MachineOptions options) {
        options.model = GetParam();
        configure(zx81, options);
        power_up(zx81, harness::rom());
        boot();
    }

    // Calls `code` (which ends in RET) from where the ROM's program runs
    // (not its display), as USR would, and runs until it has returned.
    void call(const std::vector<uint8_t>& code) {
        for (size_t i = 0; i < code.size(); ++i) zx81.memory[code_at + i] = code[i];
        // A debugger's step stops at the program's next instruction.
        zx81.debug.step = true;
        for (int i = 0; i < 10 && !zx81.debug.stopped; ++i) run_periods(1);
        ASSERT_TRUE(zx81.debug.stopped);
        ASSERT_TRUE(program_instruction(zx81, zx81.cpu.PC.w, zx81.cpu.IFF));
        resume(zx81.debug);
        zx81.cpu.SP.w = static_cast<uint16_t>(zx81.cpu.SP.w - 2);
        zx81.memory[zx81.cpu.SP.w] = zx81.cpu.PC.b.l;
        zx81.memory[static_cast<uint16_t>(zx81.cpu.SP.w + 1)] = zx81.cpu.PC.b.h;
        zx81.cpu.PC.w = code_at;
        run_periods(10);
    }

    // Reads `port` (after an OUT of `command` to it, when given) into
    // result_at.
    uint8_t in(uint16_t port, int command = -1) {
        std::vector<uint8_t> code = {0xC5, 0xF5, 0x01, static_cast<uint8_t>(port), static_cast<uint8_t>(port >> 8)};
        if (command >= 0) code.insert(code.end(), {0x3E, static_cast<uint8_t>(command), 0xED, 0x79});  // OUT (C),A
        code.insert(code.end(), {0xED, 0x78, 0x32, result_at & 0xFF, result_at >> 8, 0xF1, 0xC1, 0xC9});
        call(code);
        return zx81.memory[result_at];
    }

    // Puts codes at the start of the picture's first line.
    void show(std::initializer_list<uint8_t> codes) {
        uint16_t at = static_cast<uint16_t>(word_at(zx81.memory, sysvar::d_file) + 1);
        for (uint8_t code : codes) zx81.memory[at++] = code;
        run_periods(10);
    }

    size_t cell(int column, int y) const {
        return static_cast<size_t>((border_height + y) * frame_row_bytes + border_width / 8 + column);
    }
    uint8_t rom_row(uint8_t code, int row) const { return zx81.memory[0x1E00 + 8 * (code & 0x3F) + row]; }
};

TEST_P(Expansions, RamAt8To16KIsThereOnlyWhenFitted) {
    for (const bool low : {false, true}) {
        SCOPED_TRACE(low ? "16+8" : "16");
        MachineOptions options;
        options.low_ram = low;
        fit(options);
        zx81.memory[result_at] = 0xAA;
        // Writes LD A,$77 / LD ($7D00),A / RET at $2000 and calls it.
        call({0xF5, 0x21, 0x00, 0x20, 0x36, 0x3E, 0x23, 0x36, 0x77, 0x23, 0x36, 0x32, 0x23, 0x36, 0x00, 0x23, 0x36, 0x7D,
              0x23, 0x36, 0xC9, 0x3A, 0x00, 0x20, 0xFE, 0x3E, 0xCC, 0x00, 0x20, 0xF1, 0xC9});
        EXPECT_EQ(zx81.memory[result_at], low ? 0x77 : 0xAA);
        EXPECT_EQ(peek(zx81, 0x2000), low ? 0x3E : zx81.memory[0]);
        EXPECT_TRUE(shows_k_prompt(zx81.memory)) << "the ZX81 goes on";
    }
}

TEST_P(Expansions, ChromaColoursCharactersAndTheBorder) {
    MachineOptions options;
    options.chroma = true;
    fit(options);
    show({letter_a, letter_b});
    EXPECT_EQ(in(chroma_port), 0xBF) << "bit 6 low: the board is there";
    EXPECT_FALSE(latest_frame(zx81).coloured) << "colour is off until turned on";
    const uint8_t echoed = peek(zx81, 0x4130);
    // Character-code mode: A's eight rows paper 1 (blue), ink 14 (bright
    // yellow); border 2 (red).
    call({0xF5, 0xC5, 0xE5, 0x21, 0x30, 0xC1, 0x06, 0x08, 0x36, 0x1E, 0x23, 0x10, 0xFB, 0x01, 0xEF, 0x7F, 0x3E, 0x22,
          0xED, 0x79, 0xE1, 0xC1, 0xF1, 0xC9});
    run_periods(10);
    const Frame& frame = latest_frame(zx81);
    ASSERT_TRUE(frame.coloured);
    for (int row = 0; row < 8; ++row) {
        EXPECT_EQ(frame.colours[cell(0, row)], 0x1E) << "row " << row;
        EXPECT_EQ(frame.pixels[cell(0, row)], rom_row(letter_a, row)) << "row " << row;
        EXPECT_EQ(frame.colours[cell(1, row)], 0x00) << "B's colours are not set";
    }
    EXPECT_EQ(frame.colours[0], 0x22) << "the border";
    EXPECT_EQ(frame.colours[frame.colours.size() - 1], 0x22);
    EXPECT_EQ(peek(zx81, 0x4130), echoed) << "the colours went to the board, not to the RAM they echo";

    // Attribute-file mode: B's cell alone, by its display-file address.
    const uint16_t b_at = static_cast<uint16_t>(word_at(zx81.memory, sysvar::d_file) + 2);
    call({0xF5, 0x3E, 0x47, 0x32, static_cast<uint8_t>(b_at), static_cast<uint8_t>((b_at >> 8) | 0xC0), 0xC5, 0x01, 0xEF,
          0x7F, 0x3E, 0x34, 0xED, 0x79, 0xC1, 0xF1, 0xC9});
    run_periods(10);
    const Frame& attributes = latest_frame(zx81);
    EXPECT_EQ(attributes.colours[cell(1, 3)], 0x47);
    EXPECT_EQ(attributes.colours[cell(0, 3)], 0x00);
    EXPECT_EQ(attributes.colours[0], 0x44) << "border 4, green";
    // Colour off: black and white again.
    in(chroma_port, 0x00);
    run_periods(10);
    EXPECT_FALSE(latest_frame(zx81).coloured);
}

TEST_P(Expansions, CharacterBoardsShowTheirPatterns) {
    struct Case {
        CharBoard board;
        bool inverts;
        uint8_t i;
        uint16_t normal, inverse;  // where the board keeps A's and inverse A's first row
        uint8_t inverse_shown;      // what a row of 0x81 there shows
    };
    const Case cases[] = {
        {CharBoard::udg, true, 0x20, 0x2000 + 8 * letter_a, 0x2000 + 8 * letter_a, 0x7E},
        {CharBoard::chr128, true, 0x21, 0x2000 + 8 * letter_a, 0x2200 + 8 * letter_a, 0x7E},
        {CharBoard::chr128, false, 0x21, 0x2000 + 8 * letter_a, 0x2200 + 8 * letter_a, 0x81},
        {CharBoard::qs, true, 0x1E, 0x8400 + 8 * letter_a, 0x8600 + 8 * letter_a, 0x7E},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.board) * 10 + c.inverts);
        MachineOptions options;
        options.chars = c.board;
        options.chr128_inverts = c.inverts;
        fit(options);
        show({letter_a, static_cast<uint8_t>(letter_a | 0x80), letter_b});
        // Row 0 of A: 0x3C where A is kept, 0x81 where inverse A is; I set.
        call({0xF5, 0x3E, 0x3C, 0x32, static_cast<uint8_t>(c.normal), static_cast<uint8_t>(c.normal >> 8), 0x3E, 0x81,
              0x32, static_cast<uint8_t>(c.inverse), static_cast<uint8_t>(c.inverse >> 8), 0x3E, c.i, 0xED, 0x47, 0xF1,
              0xC9});
        run_periods(10);
        const Frame& frame = latest_frame(zx81);
        EXPECT_EQ(frame.pixels[cell(0, 0)], c.normal == c.inverse ? 0x81 : 0x3C);
        EXPECT_EQ(frame.pixels[cell(1, 0)], c.inverse_shown);
        if (c.board == CharBoard::qs) {
            EXPECT_EQ(frame.pixels[cell(2, 3)], rom_row(letter_b, 3)) << "the ROM's B";
        }
    }
}

TEST_P(Expansions, JoysticksReadUpAndFire) {
    struct Case {
        JoystickKind kind;
        uint16_t port;
        int command;
        uint8_t idle, up_fire;  // 0 where the ZX81 decides (keyboard rows)
    };
    const Case cases[] = {
        {JoystickKind::kempston, 0x001F, -1, 0x00, 0x18},
        {JoystickKind::none, 0x001F, -1, 0xFF, 0xFF},
        {JoystickKind::zxpand, zxpand_command_port, zxpand_joystick, 0xFF, 0x77},
        {JoystickKind::cursor, 0xEFFE, -1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        MachineOptions options;
        options.joystick = c.kind;
        fit(options);
        const uint8_t idle = in(c.port, c.command);
        zx81.joystick = {.up = true, .fire = true};
        const uint8_t pressed = in(c.port, c.command);
        zx81.joystick = {};
        if (c.kind == JoystickKind::cursor) {
            EXPECT_EQ(pressed, idle & ~0x09) << "keys 7 and 0 down";
        } else {
            EXPECT_EQ(idle, c.idle);
            EXPECT_EQ(pressed, c.up_fire);
        }
    }
}

TEST_P(Expansions, ZxpandAnswersAndMapsRam) {
    MachineOptions options;
    options.zxpand = true;
    fit(options);
    EXPECT_EQ(zx81.ram_kb, 32);
    EXPECT_EQ(in(zxpand_command_port, 0x55), 0x0F);
    EXPECT_EQ(in(zxpand_command_port, 0xAA), 0xF0);
    EXPECT_EQ(in(zxpand_command_port, 0xC5), 0xFF) << "the serial port is not there";
    zx81.memory[result_at] = 0;
    call({0xF5, 0x3E, 0x5A, 0x32, 0x00, 0x20, 0x3A, 0x00, 0x20, 0x32, result_at & 0xFF, result_at >> 8, 0xF1, 0xC9});
    EXPECT_EQ(zx81.memory[result_at], zx81.memory[0]) << "no RAM at 8-16K before $B2";
    in(zxpand_command_port, zxpand_low_ram);
    call({0xF5, 0x3E, 0x5A, 0x32, 0x00, 0x20, 0x3A, 0x00, 0x20, 0x32, result_at & 0xFF, result_at >> 8, 0xF1, 0xC9});
    EXPECT_EQ(zx81.memory[result_at], 0x5A);
}

INSTANTIATE_TEST_SUITE_P(BothModels, Expansions, ::testing::Values(Model::simple, Model::hardware),
                         [](const auto& info) { return std::string(model_name(info.param)); });

}  // namespace
