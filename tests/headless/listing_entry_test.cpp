// Listings as published, typed through the real ROM: the bytes they give,
// listings out of programs and back, and what a listing too large for the
// memory does.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "run_orlix.h"
#include "temporary_folder.h"

namespace fs = std::filesystem;

namespace {

class Listings : public TemporaryFolder {
protected:
    std::vector<uint8_t> file(const std::string& name) const {
        std::ifstream in(dir / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // The program's lines in a saved file: 0x407D up to D_FILE.
    std::vector<uint8_t> program_lines(const std::string& name) const {
        const std::vector<uint8_t> bytes = file(name);
        if (bytes.size() < 0x407D - 0x4009) return {};
        const size_t end = (bytes[0x400C - 0x4009] | bytes[0x400D - 0x4009] << 8) - 0x4009;
        return {bytes.begin() + (0x407D - 0x4009), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(end, bytes.size()))};
    }

    Finished type(const std::string& listing, const std::string& program, std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"--headless", "--type-file", listing, "--save", program});
        return run_orlix(options, dir);
    }
};

// A line as the ROM keeps it: number, length, codes, NEWLINE.
std::vector<uint8_t> line(int number, const std::vector<uint8_t>& codes) {
    const size_t length = codes.size() + 1;
    std::vector<uint8_t> bytes;
    bytes.reserve(length + 4);
    for (size_t b : {size_t(number >> 8), size_t(number & 0xFF), length & 0xFF, length >> 8})
        bytes.push_back(static_cast<uint8_t>(b));
    for (uint8_t code : codes) bytes.push_back(code);
    bytes.push_back(0x76);
    return bytes;
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.reserve(a.size() + b.size());
    for (uint8_t code : b) a.push_back(code);
    return a;
}

// A number as the ROM's line entry leaves it: the digits, then its value.
std::vector<uint8_t> number(std::vector<uint8_t> digits, std::array<uint8_t, 5> value) {
    digits.reserve(digits.size() + 6);
    digits.push_back(0x7E);
    for (uint8_t b : value) digits.push_back(b);
    return digits;
}

const std::vector<uint8_t> SCORE = {0x38, 0x28, 0x34, 0x37, 0x2A};

// A program published for ZXText2P, as its author would write it: comments,
// a continued line, graphics and inverse text, the quote character,
// keywords written together and names that begin with keywords. The bytes
// are the ROM's line entry's: tokens, characters, and each number's value
// (worked out by hand) after its digits.
const char* const published =
    "# MAZE RUNNER, for ZXText2P\n"
    "\n"
    "10 REM \\::\\::%M%A%Z%E\\::\\::\n"
    "20 LET SCORE=0\n"
    "30 LET REMAINDER=7\n"
    "40 FOR I=1 TO 10 STEP 2\n"
    "50 PRINT AT I,0;\"\\'' \\\"HI\\\" %S%C%O%R%E\";TAB 20;SCORE\n"
    "   # the keys\n"
    "60 IF INKEY$=\"\" THENGOTO 60\n"
    "70 LET SCORE=SCORE+\\\n"
    "     VAL \"10\"\n"
    "80 NEXT I\n"
    "90 RANDUSR16514\n";

std::vector<uint8_t> published_bytes() {
    return line(10, {0xEA, 0x80, 0x80, 0xB2, 0xA6, 0xBF, 0xAA, 0x80, 0x80}) +
           line(20, std::vector<uint8_t>{0xF1} + SCORE + std::vector<uint8_t>{0x14} + number({0x1C}, {})) +
           line(30, std::vector<uint8_t>{0xF1, 0x37, 0x2A, 0x32, 0x26, 0x2E, 0x33, 0x29, 0x2A, 0x37, 0x14} +
                        number({0x23}, {0x83, 0x60})) +
           line(40, std::vector<uint8_t>{0xEB, 0x2E, 0x14} + number({0x1D}, {0x81}) + std::vector<uint8_t>{0xDF} +
                        number({0x1D, 0x1C}, {0x84, 0x20}) + std::vector<uint8_t>{0xE0} + number({0x1E}, {0x82})) +
           line(50, std::vector<uint8_t>{0xF5, 0xC1, 0x2E, 0x1A} + number({0x1C}, {}) +
                        std::vector<uint8_t>{0x19, 0x0B, 0x03, 0x00, 0xC0, 0x2D, 0x2E, 0xC0, 0x00, 0xB8, 0xA8, 0xB4,
                                             0xB7, 0xAA, 0x0B, 0x19, 0xC2} +
                        number({0x1E, 0x1C}, {0x85, 0x20}) + std::vector<uint8_t>{0x19} + SCORE) +
           line(60, std::vector<uint8_t>{0xFA, 0x41, 0x14, 0x0B, 0x0B, 0xDE, 0xEC} + number({0x22, 0x1C}, {0x86, 0x70})) +
           line(70, std::vector<uint8_t>{0xF1} + SCORE + std::vector<uint8_t>{0x14} + SCORE +
                        std::vector<uint8_t>{0x15, 0xC5, 0x0B, 0x1D, 0x1C, 0x0B}) +
           line(80, {0xF3, 0x2E}) +
           line(90, std::vector<uint8_t>{0xF9, 0xD4} + number({0x1D, 0x22, 0x21, 0x1D, 0x20}, {0x8F, 0x01, 0x04}));
}

// A name's letters as ZX81 codes, and + between names.
std::vector<uint8_t> names(std::string_view text) {
    std::vector<uint8_t> codes;
    for (char c : text) codes.push_back(c == '+' ? 0x15 : c == '=' ? 0x14 : static_cast<uint8_t>(0x26 + c - 'A'));
    return codes;
}

// Every escape of the convention, and keywords written together.
const char* const escapes =
    "1 REM \\##\\,,\\~~\\@@\\;;\\!!\xC2\xA3%\xC2\xA3\\\"\n"
    "2 PRINTAT 0,0;\"X\"\n"
    "3 PRINTTAB5;INKEY$;CODE\"A\"\n"
    "4 LET LENGTH=VALUE+COST+NOTE+STEPS+RUNS+PRINTER\n";

std::vector<uint8_t> escapes_bytes() {
    return line(1, {0xEA, 0x08, 0x09, 0x0A, 0x88, 0x89, 0x8A, 0x0C, 0x8C, 0xC0}) +
           line(2, std::vector<uint8_t>{0xF5, 0xC1} + number({0x1C}, {}) + std::vector<uint8_t>{0x1A} +
                       number({0x1C}, {}) + std::vector<uint8_t>{0x19, 0x0B, 0x3D, 0x0B}) +
           line(3, std::vector<uint8_t>{0xF5, 0xC2} + number({0x21}, {0x83, 0x20}) +
                       std::vector<uint8_t>{0x19, 0x41, 0x19, 0xC4, 0x0B, 0x26, 0x0B}) +
           line(4, std::vector<uint8_t>{0xF1} + names("LENGTH=VALUE+COST+NOTE+STEPS+RUNS+PRINTER"));
}

TEST_F(Listings, PublishedZXText2PListingsGiveTheirAuthorsBytes) {
    const std::pair<const char*, std::vector<uint8_t>> programs[] = {{published, published_bytes()},
                                                                    {escapes, escapes_bytes()}};
    for (const auto& [text, bytes] : programs) {
        write("listing.bas", text);
        const Finished typed = type("listing.bas", "listing.p");
        ASSERT_EQ(typed.status, 0) << typed.err;
        EXPECT_EQ(program_lines("listing.p"), bytes) << text;
    }
}

// zmakebas's conventions: machine code in a REM as bytes, small letters as
// inverse video, the quote character; the code runs.
TEST_F(Listings, AZmakebasListingWithMachineCodeRuns) {
    write("code.bas",
          "1 REM \\{62}\\{42}\\{50}\\{0}\\{67}\\{201}xyz\n"  // LD A,42; LD (0x4300),A; RET
          "10 RAND USR 16514\n"
          "20 PRINT PEEK 17152;\"`ok`\"\n");
    const Finished typed = type("code.bas", "code.p", {"--listing=zmakebas"});
    ASSERT_EQ(typed.status, 0) << typed.err;
    const std::vector<uint8_t> lines = program_lines("code.p");
    const std::vector<uint8_t> rem = line(1, {0xEA, 0x3E, 0x2A, 0x32, 0x00, 0x43, 0xC9, 0xBD, 0xBE, 0xBF});
    ASSERT_GE(lines.size(), rem.size());
    EXPECT_TRUE(std::equal(rem.begin(), rem.end(), lines.begin()));
    const Finished ran =
        run_orlix({"--headless", "code.p", "--keys", "R NEWLINE", "--until-text", "0/20", "--screen-text"}, dir);
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(lines_of(ran.out).at(0), "42\"%O%K\"");
}

// --list then --type-file gives the same program lines, byte for byte: the
// published program, machine code in a REM, and numbers whose values are not
// what their digits give (as a POKE leaves them).
TEST_F(Listings, ListingsOutOfProgramsTypeBackTheSameBytes) {
    write("maze.bas", published);
    write("code.bas", "1 REM \\{62}\\{42}\\{118}\\{126}\\{245}xyz\\{0}\n10 RAND USR 16514\n");
    ASSERT_EQ(type("maze.bas", "maze.p").status, 0);
    ASSERT_EQ(type("code.bas", "code.p", {"--listing=zmakebas"}).status, 0);
    // LET SCORE=0 holding 10.
    std::vector<uint8_t> poked = file("maze.p");
    const size_t score = 0x407D - 0x4009 + 14 + 4 + 9;  // line 20 (after line 10's 14 bytes): its value
    ASSERT_EQ(poked[score - 1], 0x7E);
    poked[score] = 0x84;
    poked[score + 1] = 0x20;
    write("poked.p", std::string(poked.begin(), poked.end()));
    for (const auto& [program, style] : {std::pair{"maze.p", "zxtext2p"}, {"code.p", "zmakebas"}, {"poked.p", "orlix"}}) {
        SCOPED_TRACE(program);
        const Finished listed = run_orlix({"--list", program, std::string("--listing=") + style}, dir);
        ASSERT_EQ(listed.status, 0) << listed.err;
        write("back.bas", listed.out);
        const Finished typed = type("back.bas", "back.p", {std::string("--listing=") + style});
        ASSERT_EQ(typed.status, 0) << typed.err << listed.out;
        EXPECT_EQ(program_lines("back.p"), program_lines(program)) << listed.out;
    }
    EXPECT_NE(run_orlix({"--list", "poked.p"}, dir).out.find("LET SCORE=0\\{=132,32,0,0,0}"), std::string::npos);
}

// Programs with what an editor might trip over list and type back byte for
// byte in both conventions: machine code with every byte in a REM and the
// editor's own bytes in a string, a 6 KB REM line and a 2.5 KB line beside a
// program in 16K, every keyword and every graphic.
TEST_F(Listings, EveryByteEveryKeywordAndLongLinesRoundTrip) {
    std::string every_byte = "1 REM ";
    for (int b = 0; b < 256; ++b) every_byte += "\\{" + std::to_string(b) + "}";
    every_byte += "\n2 REM \\{118}\\{127}\\{126}\n10 PRINT \"A\\{127}B\\{118}C\\{126}D\\{127}\"\n";
    std::string long_lines = "1 REM " + std::string(6000, 'Q') + "\n";
    for (int n = 100; n < 160; ++n) long_lines += std::to_string(n) + " PRINT \"" + std::string(40, 'X') + "\"\n";
    long_lines += "9000 PRINT \"" + std::string(2500, 'Z') + "\"\n";
    const std::string keywords =
        "10 LET A=CODE \"A\"+VAL \"1\"+LEN \"A\"+SIN 1+COS 1+TAN 1+ASN 0+ACS 0+ATN 1+LN 1+EXP 1+INT 1+SQR 4"
        "+SGN 1+ABS 1+PEEK 1+USR 1+PI+RND\n"
        "20 LET B$=STR$ 1+CHR$ 1+INKEY$\n"
        "30 IF NOT A OR A AND A**2<=1 OR A>=1 OR A<>1 THEN STOP\n"
        "40 PRINT AT 1,1;TAB 2;\"\\:'\\ :\\''\\##\\,,\\~~\\@@\\;;\\!!%A%$\\''\\'.\\.'\\..\\:.\\.:\\::\\ .\"\n"
        "50 LPRINT 1\n60 LLIST\n70 SLOW\n80 FAST\n90 NEW\n100 SCROLL\n110 CONT\n120 DIM C(2)\n"
        "130 FOR I=1 TO 2 STEP 1\n140 NEXT I\n150 GOTO 10\n160 GOSUB 10\n170 INPUT D\n180 LOAD \"\"\n"
        "190 SAVE \"X\"\n200 LIST\n210 PAUSE 1\n220 POKE 1,1\n230 PLOT 1,1\n240 UNPLOT 1,1\n250 RUN\n"
        "260 RAND\n270 CLS\n280 CLEAR\n290 RETURN\n300 COPY\n310 REM \\\"\n";
    for (const auto& [name, text] : {std::pair{"every_byte", every_byte}, {"long_lines", long_lines},
                                     {"keywords", keywords}}) {
        write("original.bas", text);
        const Finished typed = type("original.bas", "original.p");
        ASSERT_EQ(typed.status, 0) << name << ": " << typed.err;
        for (const char* style : {"zxtext2p", "zmakebas"}) {
            SCOPED_TRACE(std::string(name) + " as " + style);
            const Finished listed = run_orlix({"--list", "original.p", std::string("--listing=") + style}, dir);
            ASSERT_EQ(listed.status, 0) << listed.err;
            write("back.bas", listed.out);
            const Finished back = type("back.bas", "back.p", {std::string("--listing=") + style});
            ASSERT_EQ(back.status, 0) << back.err;
            EXPECT_EQ(program_lines("back.p"), program_lines("original.p"));
        }
    }
}

// A program whose lines stop being well formed before its display file is
// listed up to there, with a warning naming the line, and status 1: a
// loader whose first line holds the display file, a length one too long.
TEST_F(Listings, AProgramNotWellFormedIsListedUpToWhereItStops) {
    write("ok.bas", "1 REM XY\n10 PRINT 1\n20 PRINT 2\n");
    ASSERT_EQ(type("ok.bas", "ok.p").status, 0);
    const std::vector<uint8_t> program = file("ok.p");
    constexpr size_t first_line = 0x407D - 0x4009, second_line = first_line + 4 + 4;
    struct Case {
        const char* name;
        size_t line_at;
        int length;
        const char* listed;  // the lines before
        const char* said;
    };
    const Case cases[] = {
        {"the first line holds the display file", first_line, 0x2000, "", "line 1 at 0x407D: its length, 8192, runs past"},
        {"the second line one too long", second_line, 10, "1 REM XY\n", "line 10 at 0x4085: its length, 10, does not end"},
        {"a length of 0xFFFF", first_line, 0xFFFF, "", "line 1 at 0x407D: its length, 65535, runs past"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> broken = program;
        broken[c.line_at + 2] = static_cast<uint8_t>(c.length);
        broken[c.line_at + 3] = static_cast<uint8_t>(c.length >> 8);
        write("broken.p", std::string(broken.begin(), broken.end()));
        const Finished listed = run_orlix({"--list", "broken.p"}, dir);
        EXPECT_EQ(listed.status, 1) << c.name;
        EXPECT_EQ(listed.out, c.listed) << c.name;
        EXPECT_NE(listed.err.find(c.said), std::string::npos) << c.name << ": " << listed.err;
    }
}

// A line copied from the ZX81's screen has LIST's current-line marker after
// its number; a zmakebas quote image may stand in a REM.
TEST_F(Listings, TheCurrentLineMarkerAndTheQuoteImageTypeBack) {
    write("screen.bas", "6836%>GOSUB 6859\n6859 REM `\n");
    const Finished typed = type("screen.bas", "screen.p", {"--listing=zmakebas"});
    EXPECT_NE(typed.status, 0) << "zmakebas writes its marker as \\>";
    write("screen.bas", "6836\\>GOSUB 6859\n6859 REM `\n");
    ASSERT_EQ(type("screen.bas", "screen.p", {"--listing=zmakebas"}).status, 0);
    write("zx.bas", "6836%>GOSUB 6859\n");
    ASSERT_EQ(type("zx.bas", "zx.p").status, 0);
    const std::vector<uint8_t> lines = program_lines("screen.p");
    const std::vector<uint8_t> rem = line(6859, {0xEA, 0xC0});
    ASSERT_GE(lines.size(), rem.size());
    EXPECT_TRUE(std::equal(rem.begin(), rem.end(), lines.end() - static_cast<std::ptrdiff_t>(rem.size())));
    EXPECT_EQ(program_lines("zx.p"), std::vector<uint8_t>(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(rem.size())));
}

// A listing too long for the memory stops with "no room left" and status 1,
// and nothing is saved; a name that reads as a keyword where the ROM takes
// none (THENGOTO) is tried the other way.
TEST_F(Listings, ALineWithNoRoomLeftStopsTheRun) {
    std::string listing;
    for (int n = 1; n <= 20; ++n) listing += std::to_string(n) + " REM " + std::string(100, 'A') + "\n";
    write("long.bas", listing);
    const Finished done = type("long.bas", "long.p", {"--ram=1"});
    EXPECT_EQ(done.status, 1);
    EXPECT_NE(done.err.find("no room left for line"), std::string::npos) << done.err;
    EXPECT_EQ(done.err.find("syntax error"), std::string::npos) << done.err;
    EXPECT_FALSE(fs::exists(dir / "long.p"));
}

// The README's Makefile: a listing typed in the default model keeps the
// ZX81's request for SLOW mode, so the program shows its screen when it is
// checked in the hardware model.
TEST_F(Listings, TheMakefileExampleWorks) {
    write("game.bas", "10 PRINT \"SCORE\"\n20 GOTO 20\n");
    ASSERT_EQ(type("game.bas", "game.p").status, 0);
    EXPECT_EQ(file("game.p").at(0x403B - 0x4009), 0x40) << "CDFLAG: SLOW asked for, as a real ZX81 saves it";
    const Finished checked = run_orlix({"--headless", "--model=hardware", "game.p", "--keys", "R NEWLINE",
                                        "--until-text", "SCORE", "--run-for", "30", "--screen-text"}, dir);
    EXPECT_EQ(checked.status, 0) << checked.err;
}

}  // namespace
