// The hardware model with the real ROM: the picture made by executing the
// display file, frames and PAUSE at the machine's own speed, SLOW against
// FAST, a display routine of a program's own, and switching models.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "program_image.h"
#include "zx81_harness.h"

namespace {

using namespace zx_key;

constexpr uint16_t frames_variable = 0x4034;  // FRAMES
constexpr uint16_t margin_variable = 0x4028;  // MARGIN
constexpr uint8_t zx_0 = 0x1C, zx_4 = 0x20, zx_slash = 0x18;
constexpr double hardware_hz = 3.25e6;
constexpr int64_t frame_cycles_50hz = 310 * 207;  // the ROM's frame on a 50 Hz machine

bool frame_is_blank(const Frame& frame) {
    for (uint8_t byte : frame.pixels)
        if (byte) return false;
    return true;
}

// Machine code put together with its timing: every instruction's cycles are
// counted from the moment the program synchronises with a scan line.
struct Program {
    uint16_t origin;
    std::vector<uint8_t> bytes;
    int64_t t = 0;

    void op(std::initializer_list<uint8_t> code, int cycles) {
        for (uint8_t byte : code) bytes.push_back(byte);
        t += cycles;
    }
    // Waits exactly until `when`, with NOP (4), INC DE (6) and LD C,n (7).
    void wait_until(int64_t when) {
        int64_t left = when - t;
        ASSERT_GE(left, 0);
        while (left > 0) {
            if (left % 4 == 0) {
                op({0x00}, 4);
                left -= 4;
            } else if (left % 4 == 3 && left >= 7) {
                op({0x0E, 0x00}, 7);
                left -= 7;
            } else if (left % 4 == 2 && left >= 6) {
                op({0x13}, 6);
                left -= 6;
            } else {
                ASSERT_GE(left, 13) << "no wait of " << left << " cycles";
                op({0x0E, 0x00, 0x13}, 13);
                left -= 13;
            }
        }
    }
    uint16_t here() const { return static_cast<uint16_t>(origin + bytes.size()); }
};

// A frame of a display routine of the program's own begins: a vertical sync
// long enough to end the television's frame, then the NMI generator on until
// the next horizontal sync, which the cycles are counted from.
void synchronise_frame(Program& program) {
    program.op({0x3E, 0x80, 0x08}, 11);          // LD A,0x80; EX AF,AF': the ROM's NMI only counts
    program.op({0xDB, 0xFE}, 11);                // IN A,(0xFE): a vertical sync...
    for (int i = 0; i < 4; ++i) program.op({0x06, 0x10, 0x10, 0xFE}, 7 + 13 * 15 + 8);
    program.op({0xD3, 0xFF}, 11);                // ...long enough to end the frame
    for (int i = 0; i < 4; ++i) program.op({0x06, 0x00, 0x10, 0xFE}, 7 + 13 * 255 + 8);
    program.op({0xD3, 0xFE}, 11);                // NMI generator on
    program.op({0x76}, 4);                       // HALT until the next line's NMI
    // The NMI comes with a line's horizontal sync, at S: the WAIT holds it to
    // S+15, it takes 11, the ROM's handler 32. Count from S.
    program.t = 15 + 11 + 32;
    program.op({0xD3, 0xFD}, 11);                // NMI generator off
}

class HardwareModel : public MachineTest {
protected:
uint16_t frames_counter() {
    return static_cast<uint16_t>(zx81.memory[frames_variable] | (zx81.memory[frames_variable + 1] << 8));
}

// Runs periods until `done` holds (at most `limit` of them); false if it never did.
template <typename Done>
bool run_until(Done done, int limit = 3000) {
    for (int i = 0; i < limit; ++i) {
        if (done()) return true;
        run_periods(1);
    }
    return done();
}

bool report_shown() {
    return screen_code(1, 23) == zx_slash;
}

// Waits for the ROM to take a line: its K prompt again, or a report.
void wait_for_the_rom() {
    run_until([&] { return shows_k_prompt(zx81.memory) || report_shown(); });
    run_periods(20);
}

// Types a line and waits for the ROM to take it.
void enter(std::initializer_list<ZxKey> keys) {
    for (ZxKey k : keys) press({k});
    press({newline});
    wait_for_the_rom();
}

void enter_shifted(ZxKey key) {
    press({shift, key});
    press({newline});
    wait_for_the_rom();
}

// The hardware model's picture against the display file drawn directly.
::testing::AssertionResult picture_matches_display_file() {
    Frame expected;
    decode_display_file(zx81.memory, expected);
    const Frame& shown = latest_frame(zx81);
    for (int y = -border_height; y < picture_height + border_height; ++y)
        for (int x = -border_width; x < picture_width + border_width; ++x)
            if (ink_at(shown, x, y) != ink_at(expected, x, y))
                return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") differs";
    return ::testing::AssertionSuccess();
}

void boot_hardware(bool ntsc = false) {
    start_machine(Model::hardware, ntsc);
    boot();
}

// Runs the program and returns the emulated seconds until its report shows.
// `blank_while_running` tells whether the picture was paper all through the
// middle half of the run.
double seconds_to_run(bool& blank_while_running) {
    press({r});
    KeyMatrix keys = no_keys_down;
    press_key(keys, newline);
    set_keys(zx81, keys);
    const int64_t start = zx81.ula.period_start;
    run_periods(10);
    set_keys(zx81, no_keys_down);
    std::vector<std::pair<int64_t, bool>> blank_at;
    for (int i = 0; i < 3000 && !report_shown(); ++i) {
        run_period(zx81);
        blank_at.emplace_back(zx81.ula.period_start, frame_is_blank(latest_frame(zx81)));
    }
    EXPECT_TRUE(report_shown()) << screen_dump();
    const int64_t end = zx81.ula.period_start;
    blank_while_running = true;
    for (const auto& [t, blank] : blank_at)
        if (4 * (t - start) > end - start && 4 * (t - start) < 3 * (end - start))
            blank_while_running = blank_while_running && blank;
    wait_for_the_rom();
    return static_cast<double>(end - start) / hardware_hz;
}

// Jumps back to `frame` at the end, runs the program for a while and
// returns the first row of the ZX81's picture with ink in its first column
// (-1 for none).
int run_display_routine(Program& program, uint16_t frame) {
    program.op({0xC3, static_cast<uint8_t>(frame), static_cast<uint8_t>(frame >> 8)}, 10);  // JP frame
    for (size_t i = 0; i < program.bytes.size(); ++i) zx81.memory[program.origin + i] = program.bytes[i];
    zx81.cpu.PC.w = program.origin;
    run_periods(20);
    for (int y = 0; y < picture_height; ++y)
        if (picture_byte(latest_frame(zx81), 0, y)) return y;
    return -1;
}
};

TEST_F(HardwareModel, PrintTwoPlusTwoShowsThePictureOfTheDisplayFile) {
    boot_hardware();
    EXPECT_EQ(zx81.memory[0x403B] & 0xC0, 0xC0) << "SLOW mode, as the ROM chooses with an NMI generator";
    type({p, digit2});
    press({shift, k});
    press({digit2});
    press({newline});
    ASSERT_TRUE(run_until([&] { return report_shown(); })) << screen_dump();
    run_periods(10);
    EXPECT_EQ(screen_code(0, 0), zx_4) << screen_dump();
    EXPECT_FALSE(frame_is_blank(latest_frame(zx81)));
    EXPECT_TRUE(picture_matches_display_file());
    // Every line of the picture, acknowledge to acknowledge, takes 207 cycles.
    EXPECT_GE(zx81.ula.shown_timing.interrupt_lines, 192);
    EXPECT_EQ(zx81.ula.shown_timing.lines_of_207, zx81.ula.shown_timing.interrupt_lines);
}

TEST_F(HardwareModel, FramesComeFiftyTimesASecondAndSixtyOnTheAmericanMachine) {
    for (bool ntsc : {false, true}) {
        SCOPED_TRACE(ntsc ? "60 Hz" : "50 Hz");
        boot_hardware(ntsc);
        EXPECT_EQ(zx81.memory[margin_variable], ntsc ? 31 : 55);
        const uint64_t frames = zx81.ula.frames;
        const uint16_t counter = frames_counter();
        run_periods(200);  // two seconds
        const double per_second = static_cast<double>(zx81.ula.frames - frames) / 2;
        EXPECT_NEAR(per_second, ntsc ? 59.9 : 50.65, 1.0);
        EXPECT_NEAR(static_cast<uint16_t>(counter - frames_counter()) / 2.0, per_second, 1.0);
        EXPECT_TRUE(picture_matches_display_file());
    }
}

TEST_F(HardwareModel, PauseLastsItsFramesOfEmulatedTime) {
    boot_hardware();
    // PAUSE 100: the ROM counts FRAMES down from 100 (bit 15 clear) and sets
    // it back to 0xFFFF once done.
    for (ZxKey key : {m, digit1, digit0, digit0}) press({key});
    KeyMatrix keys = no_keys_down;
    press_key(keys, newline);
    set_keys(zx81, keys);
    ASSERT_TRUE(run_until([&] { return (frames_counter() & 0x8000) == 0; }));
    set_keys(zx81, no_keys_down);
    const int64_t start = zx81.ula.period_start;
    ASSERT_TRUE(run_until([&] { return (frames_counter() & 0x8000) != 0; }));
    const double frames = static_cast<double>(zx81.ula.period_start - start) / frame_cycles_50hz;
    EXPECT_NEAR(frames, 100, 1.0);
}

TEST_F(HardwareModel, FramesFallWhileMachineCodeRunsInSlowMode) {
    boot_hardware();
    // RAND USR 28672, with JR $ there: the program never returns, and the
    // display and FRAMES go on around it.
    zx81.memory[0x7000] = 0x18;
    zx81.memory[0x7001] = 0xFE;
    press({t});
    press({shift, newline});  // FUNCTION
    for (ZxKey key : {l, digit2, digit8, digit6, digit7, digit2, newline}) press({key});
    ASSERT_TRUE(run_until([&] { return zx81.cpu.PC.w == 0x7000; }, 300));
    // Something on the screen: an inverse A in the display file's first line.
    const uint16_t d_file = static_cast<uint16_t>(zx81.memory[0x400C] | (zx81.memory[0x400D] << 8));
    zx81.memory[d_file + 1] = 0xA6;
    const uint16_t counter = frames_counter();
    run_periods(100);
    EXPECT_NEAR(static_cast<uint16_t>(counter - frames_counter()), 50, 1);
    EXPECT_FALSE(frame_is_blank(latest_frame(zx81)));
    EXPECT_TRUE(picture_matches_display_file());
}

TEST_F(HardwareModel, SlowModeLeavesBasicAQuarterOfTheCyclesOfFastMode) {
    boot_hardware();
    // 10 PRINT 1 / 20 FOR I=1 TO 300 / 30 NEXT I
    enter({digit1, digit0, p, digit1});
    type({digit2, digit0, f, i});
    press({shift, l});
    press({digit1});
    press({shift, digit4});
    enter({digit3, digit0, digit0});
    enter({digit3, digit0, n, i});
    bool blank = false;
    const double slow = seconds_to_run(blank);
    EXPECT_FALSE(blank) << "SLOW mode shows the picture while it computes";
    enter_shifted(f);  // FAST
    const double fast = seconds_to_run(blank);
    EXPECT_TRUE(blank) << "FAST mode shows paper while it computes";
    EXPECT_GT(fast / slow, 0.2);
    EXPECT_LT(fast / slow, 0.3);
    EXPECT_TRUE(picture_matches_display_file()) << "the picture is back after the run";
}

TEST_F(HardwareModel, CollapsedDisplayFileOfASmallMachine) {
    boot_hardware();
    // POKE 16389,68 / NEW: RAMTOP at 0x4400, 1 KB, and a collapsed display.
    press({o});
    for (ZxKey key : {digit1, digit6, digit3, digit8, digit9}) press({key});
    press({shift, dot});  // ,
    enter({digit6, digit8});
    press({a});
    press({newline});
    ASSERT_TRUE(run_until([&] { return shows_k_prompt(zx81.memory); }));
    type({p, digit2});
    press({shift, k});
    press({digit2});
    press({newline});
    ASSERT_TRUE(run_until([&] { return report_shown(); }));
    run_periods(10);
    const uint16_t d_file = static_cast<uint16_t>(zx81.memory[0x400C] | (zx81.memory[0x400D] << 8));
    EXPECT_EQ(zx81.memory[d_file + 2], 0x76) << "line 0 is short: '4' then NEWLINE";
    EXPECT_EQ(screen_code(0, 0), zx_4);
    EXPECT_TRUE(picture_matches_display_file());
}

TEST_F(HardwareModel, ADisplayRoutineOfItsOwnChangesIOnEveryLine) {
    start_machine(Model::hardware);
    Memory& memory = zx81.memory;
    // Eight glyph pages in the writable copy of the ROM at 0x2000, each with
    // a row 0 of its own for code 5 and a different row 1-7.
    constexpr uint8_t code = 0x05;
    const auto row0 = [](int page) { return static_cast<uint8_t>(0x81 | (2 << (page % 6))); };
    for (int page = 0; page < 8; ++page)
        for (int row = 0; row < 8; ++row)
            memory[0x2000 + 0x200 * page + 8 * code + row] = row == 0 ? row0(page) : 0x7E;
    // A RAM page for the refresh read of the ninth line.
    for (int i = 0; i < 256; ++i) memory[0x7000 + i] = static_cast<uint8_t>(i ^ 0x5A);
    // The display line: 32 characters, then RET, run from the echo at 0xE100.
    for (int i = 0; i < 32; ++i) memory[0x6100 + i] = code;
    memory[0x6120] = 0xC9;

    Program program{0x6000, {}};
    program.op({0xF3}, 4);                       // DI
    program.op({0x31, 0x00, 0x7F}, 10);          // LD SP,0x7F00
    const uint16_t frame = program.here();
    synchronise_frame(program);
    for (int line = 0; line < 8; ++line) {
        const int64_t start = line_cycles * (line + 1);  // the line's own sync
        program.wait_until(start - 12);
        program.op({0x3E, static_cast<uint8_t>(0x20 + 2 * line + (line & 1))}, 7);  // LD A,page (bit 0 is ignored)
        program.op({0xED, 0x47}, 9);             // LD I,A
        program.op({0xDB, 0xFE}, 11);            // IN A,(0xFE) and
        program.op({0xD3, 0xFF}, 11);            // OUT (0xFF),A: the line counter back to 0
        program.op({0xCD, 0x00, 0xE1}, 17);      // CALL 0xE100: the characters from start+43
        program.t += 128 + 10;
    }
    // Line 9: I in RAM, so the refresh address itself is read.
    constexpr uint8_t r0 = 0x90;
    program.wait_until(line_cycles * 9 + 43 - 49);
    program.op({0x3E, 0x70, 0xED, 0x47}, 16);    // LD A,0x70; LD I,A
    program.op({0x3E, r0, 0xED, 0x4F}, 16);      // LD A,r0; LD R,A
    program.op({0xCD, 0x00, 0xE1}, 17);
    const int top = run_display_routine(program, frame);
    ASSERT_GE(top, 0) << "no lines drawn";
    ASSERT_LT(top, picture_height - 9);
    const Frame& shown = latest_frame(zx81);
    for (int line = 0; line < 9; ++line) {
        for (int column = 0; column < 32; ++column) {
            const uint8_t refresh = static_cast<uint8_t>((r0 & 0x80) | ((r0 + 1 + column) & 0x7F));
            const uint8_t expected = line < 8 ? row0(line) : memory[0x7000 + refresh];
            EXPECT_EQ(picture_byte(shown, column, top + line), expected) << "line " << line << ", column " << column;
        }
    }
    for (int column = 0; column < 32; ++column) EXPECT_EQ(picture_byte(shown, column, top + 9), 0);
}

// Lines called early and made longer than 32 characters put their pixels in
// the television's border: here 40 characters of solid ink, started 16
// cycles (32 pixels) before the ROM's picture starts, fill every column of
// the frame.
TEST_F(HardwareModel, LinesStartedEarlyAndEndedLateReachIntoTheBorder) {
    start_machine(Model::hardware);
    for (int i = 0; i < 40; ++i) zx81.memory[0x6100 + i] = 0x80;  // inverse space
    zx81.memory[0x6128] = 0xC9;
    Program program{0x6000, {}};
    program.op({0xF3}, 4);                       // DI
    program.op({0x31, 0x00, 0x7F}, 10);          // LD SP,0x7F00
    program.op({0x3E, 0x1E, 0xED, 0x47}, 16);    // LD A,0x1E; LD I,A: the ROM's characters
    const uint16_t frame = program.here();
    synchronise_frame(program);
    for (int line = 0; line < 8; ++line) {
        const int64_t start = line_cycles * (line + 1);
        program.wait_until(start + 43 - 17 - 16);
        program.op({0xCD, 0x00, 0xE1}, 17);      // CALL 0xE100
        program.t += 40 * 4 + 10;
    }
    const int top = run_display_routine(program, frame);
    ASSERT_GE(top, 0) << "no lines drawn";
    const Frame& shown = latest_frame(zx81);
    for (int line = 0; line < 8; ++line)
        for (int x = -border_width; x < picture_width + border_width; ++x)
            ASSERT_TRUE(ink_at(shown, x, top + line)) << "line " << line << ", x " << x;
    EXPECT_FALSE(ink_at(shown, -border_width, top + 8));
}

TEST_F(HardwareModel, SwitchingModelsKeepsTheProgram) {
    start_machine(Model::simple);
    boot();
    enter({digit1, digit0, p, digit4});  // 10 PRINT 4
    EXPECT_EQ(zx81.memory[0x403B] & 0xC0, 0x40) << "SLOW asked for, as a ZX81 has it; not running without NMIs";
    request_model(zx81, Model::hardware);
    run_periods(2);
    EXPECT_EQ(zx81.model, Model::hardware);
    ASSERT_TRUE(run_until([&] { return zx81.ula.frames > 5; }));
    // The switch asked for SLOW mode; the ROM turns it on at its next check,
    // which entering a line makes.
    enter({digit2, digit0, p, digit4});  // 20 PRINT 4
    EXPECT_EQ(zx81.memory[0x403B] & 0xC0, 0xC0);
    press({r});
    press({newline});
    ASSERT_TRUE(run_until([&] { return report_shown(); }));
    EXPECT_EQ(screen_code(0, 0), zx_4);
    EXPECT_EQ(screen_code(0, 1), zx_4);
    // SLOW mode ends as the simple model comes: its keyboard works, and the
    // program is still there (the ROM back in its command loop, as after a
    // load).
    request_model(zx81, Model::simple);
    ASSERT_TRUE(run_until([&] { return zx81.model == Model::simple; }, 10));
    EXPECT_EQ(zx81.memory[0x403B] & 0x80, 0);
    run_periods(30);
    type({digit3, digit0, p, digit8, newline});  // 30 PRINT 8
    run_periods(50);
    type({r, newline});
    run_periods(50);
    EXPECT_EQ(screen_code(0, 0), zx_4) << screen_dump();
    EXPECT_EQ(screen_code(0, 1), zx_4);
    EXPECT_EQ(screen_code(0, 2), 0x24) << "8\n" << screen_dump();
    EXPECT_EQ(screen_code(0, 23), zx_0);
}

TEST_F(HardwareModel, AProgramSavedInSlowModeRunsInBothModels) {
    boot_hardware();
    enter({digit1, digit0, p, digit4});  // 10 PRINT 4
    ASSERT_EQ(zx81.memory[0x403B] & 0xC0, 0xC0);
    const ProgramImage saved = program_in_memory(zx81);
    ASSERT_TRUE(saved.result.ok);
    for (Model model : {Model::simple, Model::hardware}) {
        SCOPED_TRACE(model_name(model));
        start_machine(model);
        boot();
        start_program(zx81, saved);
        run_periods(100);
        press({r});
        press({newline});
        ASSERT_TRUE(run_until([&] { return report_shown(); }, 300));
        EXPECT_EQ(screen_code(0, 0), zx_4) << screen_dump();
        EXPECT_EQ(zx81.memory[0x403B] & 0x80, model == Model::hardware ? 0x80 : 0);
    }
}

// A program saved in FAST mode (CDFLAG 0), loaded while SLOW mode runs: the
// load leaves the NMI generator off, so FAST mode shows the screen while the
// program waits for INPUT, as the simple model does.
TEST_F(HardwareModel, AProgramSavedInFastModeShowsItsScreenAtInput) {
    start_machine(Model::simple);
    boot();
    enter_shifted(f);                // FAST
    enter({digit1, digit0, i, a});  // 10 INPUT A
    ASSERT_EQ(zx81.memory[0x403B], 0x00) << "FAST";
    const ProgramImage saved = program_in_memory(zx81);
    ASSERT_TRUE(saved.result.ok);

    boot_hardware();
    ASSERT_TRUE(run_until([&] { return zx81.ula.nmi_generator; }, 20));
    start_program(zx81, saved);
    EXPECT_FALSE(zx81.ula.nmi_generator);
    run_periods(50);
    press({r});
    press({newline});
    run_periods(50);
    EXPECT_EQ(zx81.memory[0x403B] & 0x80, 0) << "FAST mode";
    EXPECT_FALSE(frame_is_blank(latest_frame(zx81))) << screen_dump();
    EXPECT_TRUE(picture_matches_display_file());
}

// Programs for the 1 KB machine often load over the system variables: here
// D_FILE and VARS hold no pointers, and machine code in a REM runs from the
// line the file's NXTLIN names. They load and run with 1 KB and with 16 KB.
TEST_F(HardwareModel, A1KProgramOverTheSystemVariablesRuns) {
    start_machine(Model::simple, false, 1);
    boot();
    enter({digit1, e, e, e, e, e, e, e, e});  // 1 REM EEEEEEEE (REM is E)
    press({digit1});
    press({digit0});
    press({t});  // RAND
    press({shift, newline});  // FUNCTION
    enter({l, digit1, digit6, digit5, digit1, digit4});  // USR 16514
    // At 16514, inside the REM: LD A,42; LD (0x4300),A; JR $.
    const uint8_t code[] = {0x3E, 42, 0x32, 0x00, 0x43, 0x18, 0xFE};
    std::copy(std::begin(code), std::end(code), zx81.memory.begin() + 16514);
    std::vector<uint8_t> image(zx81.memory.begin() + 0x4009,
                               zx81.memory.begin() + word_at(zx81.memory, sysvar::e_line));
    const auto set_word = [&](uint16_t address, uint16_t value) {
        image[address - 0x4009] = static_cast<uint8_t>(value);
        image[address - 0x4009 + 1] = static_cast<uint8_t>(value >> 8);
    };
    set_word(sysvar::d_file, 0xC9C9);
    set_word(sysvar::vars, 0x0000);
    set_word(0x4029, 0x407D);  // NXTLIN: line 1
    image[0x403B - 0x4009] = 0x00;  // FAST
    for (int kb : {1, 16}) {
        SCOPED_TRACE(std::to_string(kb) + " KB");
        start_machine(Model::hardware, false, kb);
        boot();
        ASSERT_NE(peek(zx81, 0x4300), 42);
        const ProgramImage loaded = check_program_image(image, kb);
        ASSERT_TRUE(loaded.result.ok) << loaded.result.reason;
        start_program(zx81, loaded);
        run_periods(20);
        EXPECT_EQ(peek(zx81, 0x4300), 42);
        EXPECT_EQ(zx81.cpu.PC.w, 16514 + 5) << "JR $";
    }
}

}  // namespace
