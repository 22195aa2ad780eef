// TZX files as tape decks play them: the blocks that steer the deck, the
// blocks that only inform, and the ZX81's own blocks, through the decoder
// and through the ROM's loader.
#include <gtest/gtest.h>

#include <fstream>

#include "cassette.h"
#include "real_tape.h"
#include "run_orlix.h"
#include "tape_images.h"

namespace {

std::string le(uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
    return out;
}

// A block 0x19 of one program, as Orlix writes it, with the pause after it.
std::string program_block(const char* name, const std::vector<uint8_t>& data, uint16_t pause_ms) {
    const std::vector<uint8_t> file = tzx_bytes({tape_name_of(name), data, 0, 0});
    std::string block(file.begin() + 10, file.end());
    block.replace(5, 2, le(pause_ms, 2));
    return block;
}

std::string tzx(const std::vector<std::string>& blocks) {
    std::string file("ZXTape!\x1A\x01\x14", 10);
    for (const std::string& block : blocks) file += block;
    return file;
}

using Tzx = RealTape;

TEST_F(Tzx, BlocksThatSteerAndBlocksThatInform) {
    const std::vector<uint8_t> a = program_of_size(200, 1), b = program_of_size(300, 2), c = program_of_size(250, 3);
    const std::string pa = program_block("A", a, 0), pb = program_block("B", b, 0), pc = program_block("C", c, 0);
    const std::string text = "\x30" + le(4, 1) + "ZX81", group = "\x21" + le(3, 1) + "Two", group_end = "\x22";
    const std::string info = "\x32" + le(5, 2) + le(1, 1) + le(0, 1) + le(2, 1) + "Hi";
    const std::string hardware = "\x33" + le(1, 1) + le(0, 1) + le(0x13, 1) + le(0, 1);
    const std::string custom = "\x35" + std::string("POKEs           ") + le(2, 4) + "xy";
    const std::string glue = "\x5A" + std::string("XTape!\x1A\x01\x14", 9);
    const std::string message = "\x31" + le(5, 1) + le(2, 1) + "Go", stop48 = "\x2A" + le(0, 4);
    const std::string loop2 = "\x24" + le(2, 2), loop_end = "\x25", stop = "\x20" + le(0, 2);
    struct Case {
        const char* what;
        std::vector<std::string> blocks;
        std::vector<std::vector<uint8_t>> programs;
        size_t stops = 0;
    } const cases[] = {
        {"three with no pauses", {pa, pb, pc}, {a, b, c}},
        {"information between", {text, group, pa, info, hardware, custom, pb, group_end, glue, message, stop48, pc},
         {a, b, c}},
        {"a loop twice", {loop2, pa, loop_end, pb}, {a, a, b}},
        {"a jump over one", {pa, "\x23" + le(2, 2), pb, pc}, {a, c}},
        {"a call, then a jump past it", {"\x26" + le(1, 2) + le(3, 2), "\x23" + le(4, 2), pa, pb, "\x27", pc},
         {b, c}},
        {"a stop between", {pa, stop, pb}, {a, b}, 1},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        write("tape.tzx", tzx(row.blocks));
        const TapeImage image = read_tape_image((dir / "tape.tzx").string());
        ASSERT_EQ(image.problem, "");
        ASSERT_EQ(image.programs.size(), row.programs.size());
        for (size_t i = 0; i < row.programs.size(); ++i) EXPECT_TRUE(image.programs[i].data == row.programs[i]) << i;
        EXPECT_EQ(image.signal.stops.size(), row.stops);
        // LOAD "" through the ROM takes the first program on the tape.
        fresh_machine();
        const Loaded loaded = real_load(image.signal);
        EXPECT_TRUE(loaded.ended && memory_holds(row.programs.front()));
    }
}

// Malformed tapes are named with the block and its offset, quickly.
TEST_F(Tzx, MalformedTapesAreNamed) {
    const std::string pa = program_block("A", program_of_size(200, 1), 1000);
    // A '0' whose pulses are all of length 0: the bytes say one program,
    // the pulses make another.
    std::string silent_zero = pa;
    silent_zero.replace(24, 2, le(0, 2));
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{pa, "\x30" + le(1, 1) + "x", "\x23" + le(0xFFFF, 2)}, ": the tape's jumps, loops and calls play on for ever"},
        {{pa, "\x23" + le(0xFFFF, 2)}, "block 0x19 at offset 10 would play longer"},
        {{pa, "\x23" + le(0, 2)}, "block 0x23 at offset 304 jumps outside the tape, or to itself"},
        {{"\x23" + le(9, 2), pa}, "block 0x23 at offset 10 jumps outside the tape, or to itself"},
        {{silent_zero}, "block 0x19 at offset 10: its pulses do not make the program it holds"},
        {{pa, "\x18" + le(0, 4)}, "block 0x18 at offset 304 cannot be played"},
        {{pa, "\x13\x05\x01"}, "block 0x13 at offset 304 is cut short"},
    };
    for (const auto& [blocks, problem] : cases) {
        write("bad.tzx", tzx(blocks));
        const TapeImage image = read_tape_image((dir / "bad.tzx").string());
        EXPECT_NE(image.problem.find(problem), std::string::npos) << image.problem;
    }
}

// With --real-tape, LOAD "" takes the first of three programs that follow
// each other with no pause, and a cassette's bipolar recording with its
// silence at the middle level and five seconds of lead-in loads and runs.
TEST_F(Tzx, RealTapeLoadsFromTheCommandLine) {
    write("hello.bas", "10 PRINT \"LOADED \";\"FIRST\"\n");
    ASSERT_EQ(run_orlix({"--headless", "--type-file", "hello.bas", "--save", "first.p"}, dir).status, 0);
    std::ifstream in(dir / "first.p", std::ios::binary);
    const std::vector<uint8_t> first{std::istreambuf_iterator<char>(in), {}};
    write("three.tzx", tzx({program_block("ONE", first, 0), program_block("TWO", program_of_size(300, 2), 0),
                            program_block("THREE", program_of_size(300, 3), 0)}));
    const std::vector<float> bipolar =
        cassette_recording({{tape_name_of("ONE"), first, 0, 0}}, {.band_pass = true, .snr_db = 30});
    ASSERT_TRUE(write_wav((dir / "bipolar.wav").string(), bipolar, 44100, 0x0002));
    for (const char* tape : {"three.tzx", "bipolar.wav"}) {
        const Finished run = run_orlix({"--headless", "--real-tape", "--tape", tape, "--keys",
                                        "J SHIFT+P SHIFT+P NEWLINE WAIT:40 R NEWLINE", "--until-text",
                                        "LOADED FIRST", "--run-for", "5"},
                                       dir);
        EXPECT_EQ(run.status, 0) << tape << ": " << run.err;
    }
}

}  // namespace
