// The ZX81 in a script: key names and times, and the real program run
// headless (no display set) as a developer's Makefile would run it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "run_orlix.h"
#include "temporary_folder.h"

namespace fs = std::filesystem;

namespace {

using Headless = TemporaryFolder;

TEST_F(Headless, PrintTwoPlusTwoInBothModels) {
    for (const char* model : {"--model=simple", "--model=hardware"}) {
        const Finished done =
            run_orlix({"--headless", model, "--keys", "P 2 SHIFT+K 2 NEWLINE", "--run-for", "3", "--screen-text"}, dir);
        EXPECT_EQ(done.status, 0) << model << done.err;
        const std::vector<std::string> screen = lines_of(done.out);
        ASSERT_EQ(screen.size(), 24u) << model << done.out;
        EXPECT_EQ(screen[0], "4") << model;
        EXPECT_EQ(screen[23], "0/0") << model;
    }
}

// RUN typed after loading a program of 14 KB, whose listing keeps the ROM
// busy, runs it in both models and every RAM size it fits; a key that no
// program reads ends the run with its name and status 1.
TEST_F(Headless, KeysReachTheRomAfterABigProgramAndUnreadKeysAreNamed) {
    std::string listing = "1 PRINT \"RAN\"\n2 STOP\n";
    for (int n = 10; n < 10 + 14 * 28; ++n) listing += std::to_string(n) + " PRINT \"" + std::string(28, 'X') + "\"\n";
    write("big.bas", listing);
    ASSERT_EQ(run_orlix({"--headless", "--type-file", "big.bas", "--save", "big.p", "--ram", "32"}, dir).status, 0);
    ASSERT_GT(fs::file_size(dir / "big.p"), 14000u);
    for (const char* model : {"--model=simple", "--model=hardware"})
        for (const char* ram : {"16", "32"}) {
            const Finished ran = run_orlix({"--headless", model, "--ram", ram, "big.p", "--keys", "WAIT:2 R NEWLINE",
                                            "--until-text", "RAN", "--run-for", "30"}, dir);
            EXPECT_EQ(ran.status, 0) << model << " " << ram << "K: " << ran.err;
        }
    write("loop.bas", "10 GOTO 10\n");
    const Finished unread = run_orlix({"--headless", "--type-file", "loop.bas", "--keys", "R NEWLINE Q"}, dir);
    EXPECT_EQ(unread.status, 1);
    EXPECT_NE(unread.err.find("key 3: the ZX81 never took Q"), std::string::npos) << unread.err;
}

// SAVE to a WAV for a real ZX81, then that recording through the ROM's own
// loader, and through the file catches from the deck; the program lists
// as it was typed either way.
TEST_F(Headless, AProgramSavedAsAWavLoadsBackThroughTheROM) {
    const Finished saved = run_orlix({"--headless", "--save-format=wav", "--keys",
                                      "1 0 P 4 2 NEWLINE S SHIFT+P P R O G SHIFT+P NEWLINE", "--run-for", "1"}, dir);
    ASSERT_EQ(saved.status, 0) << saved.err;
    std::ifstream wav(dir / "PROG.WAV", std::ios::binary);
    std::string header(44, '\0');
    ASSERT_TRUE(wav.read(header.data(), 44)) << "no PROG.WAV";
    EXPECT_EQ(header.substr(0, 4), "RIFF");
    EXPECT_EQ(header.substr(24, 4), std::string("\x44\xAC\0\0", 4));  // 44,100 Hz
    EXPECT_EQ(header[34], 8);                                          // bits a sample

    const std::vector<std::vector<std::string>> loads = {
        {"--model=hardware", "--real-tape", "--keys", "J SHIFT+P SHIFT+P NEWLINE WAIT:40 K NEWLINE", "--save", "copy.tzx"},
        {"--keys", "J SHIFT+P P R O G SHIFT+P NEWLINE WAIT:1 K NEWLINE"},
    };
    for (std::vector<std::string> args : loads) {
        args.insert(args.begin(), {"--headless", "--tape", "PROG.WAV"});
        args.insert(args.end(), {"--run-for", "1", "--screen-text"});
        const Finished loaded = run_orlix(args, dir);
        EXPECT_EQ(loaded.status, 0) << loaded.err;
        ASSERT_FALSE(lines_of(loaded.out).empty()) << args[4];
        EXPECT_EQ(lines_of(loaded.out)[0], "  10 PRINT 42") << args[4];
    }
    std::ifstream tzx(dir / "copy.tzx", std::ios::binary);
    std::string signature(8, '\0');
    tzx.read(signature.data(), 8);
    EXPECT_EQ(signature, "ZXTape!\x1A");
}

// A listing with graphics and inverse text, typed in and saved, loads back,
// lists as it was typed and runs.
TEST_F(Headless, AListingRoundTripsThroughTheZX81) {
    write("round.bas",
          "10 REM \\::%O%R%L%I%X\\''\n"
          "20 LET A=1.25\n"
          "30 LET B=3E-2\n"
          "40 LET S$=\"\\':%H%I\\.:\"\n"
          "\n"
          "50 FOR I=1 TO 3\n"
          "60 PRINT AT I,0;I*A\n"
          "70 NEXT I\n"
          "80 PRINT AT 5,0;S$;B\n"
          "90 PRINT AT 6,0;\"A\"\"B\";2**3\n"
          "100 PRINT AT 7,0;\"DONE\"\n");
    const Finished typed = run_orlix({"--headless", "--type-file", "round.bas", "--save", "round.p"}, dir);
    ASSERT_EQ(typed.status, 0) << typed.err;
    ASSERT_TRUE(fs::exists(dir / "round.p"));

    const Finished listed = run_orlix({"--headless", "round.p", "--keys", "K NEWLINE", "--run-for", "0.5",
                                       "--screen-text"}, dir);
    const std::vector<std::string> listing = lines_of(listed.out);
    const std::vector<std::string> expected_listing = {
        "  10 REM \u2588%O%R%L%I%X\u2580",     "  20 LET A=1.25",
        "  30 LET B=3E-2",                      "  40 LET S$=\"\u259C%H%I\u259F\"",
        "  50 FOR I=1 TO 3",                    "  60 PRINT AT I,0;I*A",
        "  70 NEXT I",                          "  80 PRINT AT 5,0;S$;B",
        "  90 PRINT AT 6,0;\"A\"\"B\";2**3",    " 100 PRINT AT 7,0;\"DONE\""};
    ASSERT_GE(listing.size(), expected_listing.size()) << listed.err;
    for (size_t i = 0; i < expected_listing.size(); ++i) EXPECT_EQ(listing[i], expected_listing[i]);

    const Finished ran = run_orlix({"--headless", "--model=hardware", "round.p", "--keys", "R NEWLINE",
                                    "--until-text", "DONE", "--screen-text"}, dir);
    EXPECT_EQ(ran.status, 0) << ran.err;
    const std::vector<std::string> output = lines_of(ran.out);
    const std::vector<std::string> expected_output = {
        "", "1.25", "2.5", "3.75", "", "\u259C%H%I\u259F.03", "A\"B8", "DONE"};
    ASSERT_GE(output.size(), expected_output.size());
    for (size_t i = 0; i < expected_output.size(); ++i) EXPECT_EQ(output[i], expected_output[i]) << i;
}

TEST_F(Headless, ALineTheZX81RefusesStopsTheListingAndSavesNothing) {
    write("bad.bas", "10 PRINT 1\n20 PRINT (1\n30 PRINT 3\n");
    const Finished done = run_orlix({"--headless", "--type-file", "bad.bas", "--save", "bad.p"}, dir);
    EXPECT_EQ(done.status, 1);
    EXPECT_NE(done.err.find("bad.bas line 2: the ZX81 does not take line 20"), std::string::npos) << done.err;
    EXPECT_FALSE(fs::exists(dir / "bad.p"));
    write("worse.bas", "10 PRINT 1\n20 PRINT #1\n");
    const Finished unreadable = run_orlix({"--headless", "--type-file", "worse.bas"}, dir);
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_NE(unreadable.err.find("worse.bas line 2, column 10"), std::string::npos) << unreadable.err;
}

// A save past a file-size limit fails with its reason and the exit status
// for a file that cannot be written, leaving no file of any name behind.
TEST_F(Headless, ASaveUnderAFileSizeLimitFailsCleanly) {
    write("long.bas", "10 REM " + std::string(2000, 'A') + "\n");
    const Finished done = run_orlix({"--headless", "--type-file", "long.bas", "--save", "long.p"}, dir, 1024);
    EXPECT_EQ(done.status, 2) << "not killed by the limit's signal";
    EXPECT_NE(done.err.find("cannot save long.p: File too large"), std::string::npos) << done.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1) << "long.bas alone";
}

// A picture that cannot be written whole leaves the old file as it was.
TEST_F(Headless, AScreenshotUnderAFileSizeLimitKeepsTheOldFile) {
    write("old.png", "the old picture");
    const Finished done = run_orlix({"--headless", "--screenshot", "old.png"}, dir, 64);
    EXPECT_EQ(done.status, 2);
    EXPECT_NE(done.err.find("cannot save old.png: File too large"), std::string::npos) << done.err;
    std::ifstream old(dir / "old.png");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "the old picture");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1) << "old.png alone";
}

// Listings longer than any ZX81 program's, from a file or from standard
// input, are refused rather than read without end.
TEST_F(Headless, AHugeListingIsRefused) {
    write("huge.bas", std::string(5 * 1024 * 1024, '\n'));
    for (const auto& [file, input] : {std::pair{"huge.bas", ""}, std::pair{"-", "huge.bas"}}) {
        const Finished done =
            run_orlix({"--headless", "--type-file", file}, dir, -1, *input ? (dir / input).string() : "");
        EXPECT_EQ(done.status, 2) << file;
        EXPECT_EQ(done.err, std::string("orlix: cannot read ") + file +
                                ": longer than 4 MB, more than any ZX81 program's listing\n");
    }
}

// With a ROM that is not the ZX81's, LOAD and SAVE are not caught at the
// known ROM's addresses: one warning, and no flood of failed saves from an
// all-zero ROM running through them.
TEST_F(Headless, AnUnknownROMIsRunWithoutTheFileCatches) {
    std::ofstream(dir / "zero.rom", std::ios::binary) << std::string(8192, '\0');
    const Finished done = run_orlix({"--headless", "--rom", "zero.rom", "--run-for", "1"}, dir);
    EXPECT_EQ(done.status, 0);
    EXPECT_EQ(lines_of(done.err).size(), 1u) << done.err;
    EXPECT_NE(done.err.find("with LOAD and SAVE left to its own tape routines"), std::string::npos) << done.err;
}

// PAUSE 100 lasts 100 frames of the hardware model's television, about two
// seconds: its text is not there after one and a half, and is after three.
TEST_F(Headless, AFramesTimedProgramShowsItsTextWhenItsTimeComes) {
    write("pause.bas", "10 PAUSE 100\n20 PRINT \"TIME\"\n");
    const std::vector<std::string> run = {"--headless", "--model=hardware", "--type-file", "pause.bas",
                                          "--keys", "R NEWLINE", "--until-text", "TIME", "--run-for"};
    std::vector<std::string> early = run, late = run;
    early.push_back("75f");
    late.push_back("3");
    const Finished too_early = run_orlix(early, dir);
    EXPECT_EQ(too_early.status, 1);
    EXPECT_NE(too_early.err.find("\"TIME\" never showed"), std::string::npos);
    EXPECT_EQ(run_orlix(late, dir).status, 0);
}

// A display routine of the program's own, run on the hardware model: 40
// characters of solid ink a line, started 32 pixels early, for 8 lines: the
// picture has 8 rows of ink across the whole television picture.
TEST_F(Headless, AHiResDisplayRoutineGivesTheExpectedPicture) {
    // The routine's bytes, POKEd in from a string of hex digits (CODE of a
    // hex digit less 28 is its value), and its display line.
    write("hires.bas",
          "5 FAST\n"
          "10 LET A$=\"F331007F3E1EED473E8008DBFE061010FE061010FE061010FE061010FED3FF060010FE060010FE06"
          "0010FE060010FED3FE76D3FD000000000000000000000000000000000000000000000000000000000000000000"
          "00000000CD00E10000000000CD00E10000000000CD00E10000000000CD00E10000000000CD00E10000000000CD"
          "00E10000000000CD00E10000000000CD00E1C30870\"\n"
          "20 FOR I=1 TO LEN A$ STEP 2\n"
          "30 POKE 28671+(I+1)/2,16*CODE A$(I)+CODE A$(I+1)-476\n"
          "40 NEXT I\n"
          "50 FOR I=0 TO 39\n"
          "60 POKE 24832+I,128\n"
          "70 NEXT I\n"
          "80 POKE 24872,201\n"
          "90 RAND USR 28672\n");
    const Finished done = run_orlix({"--headless", "--model=hardware", "--type-file", "hires.bas", "--keys",
                                     "R NEWLINE", "--run-for", "5", "--screenshot", "hires.png"}, dir);
    ASSERT_EQ(done.status, 0) << done.err;
    const Png png = read_png((dir / "hires.png").string());
    ASSERT_EQ(png.width, 320);
    ASSERT_EQ(png.height, 240);
    int top = 0;
    while (top < png.height && !png.dark(0, top)) ++top;
    ASSERT_LT(top, png.height - 8) << "no ink in the left border";
    for (int y = 0; y < png.height; ++y)
        for (int x = 0; x < png.width; x += 7)
            ASSERT_EQ(png.dark(x, y), y >= top && y < top + 8) << x << "," << y;
}

}  // namespace

namespace {

// --printer FILE: a program's LPRINT and COPY on one sheet, 8 rows for the
// line, 176 for the screen; with nothing printed no file is written, and a
// headless run must name one.
TEST_F(Headless, PrinterPaperGoesToTheNamedPicture) {
    write("print.bas", "10 LPRINT \"%A\"\n20 PRINT \"A\"\n30 COPY\n");
    const Finished done = run_orlix({"--headless", "--type-file", "print.bas", "--keys", "R NEWLINE", "--run-for",
                                     "12", "--printer", "paper.png"}, dir);
    ASSERT_EQ(done.status, 0) << done.err;
    const Png paper = read_png((dir / "paper.png").string());
    ASSERT_EQ(paper.width, 256);
    ASSERT_EQ(paper.height, 8 + 176);
    // The inverse A's top row is solid; the screen's A (0x3C on its second
    // row) is the first of the copy's lines.
    for (int x = 0; x < 8; ++x) EXPECT_TRUE(paper.dark(x, 0)) << x;
    for (int x = 0; x < 8; ++x) EXPECT_EQ(paper.dark(x, 8 + 1), x >= 2 && x < 6) << x;
    EXPECT_FALSE(paper.dark(8, 0));

    const Finished idle = run_orlix({"--headless", "--run-for", "1", "--printer=idle.png"}, dir);
    EXPECT_EQ(idle.status, 0);
    EXPECT_FALSE(fs::exists(dir / "idle.png"));
    EXPECT_NE(idle.err.find("nothing was printed"), std::string::npos) << idle.err;

    const Finished unnamed = run_orlix({"--headless", "--printer"}, dir);
    EXPECT_EQ(unnamed.status, 2);
    EXPECT_NE(unnamed.err.find("--printer needs a file"), std::string::npos) << unnamed.err;
}

}  // namespace

namespace {

// Chroma 81 from BASIC: a few POKEd bytes turn attribute mode on with a
// green border, and a POKE colours the first cell white on blue: the
// screenshot shows those colours pixel for pixel, and the rest stays black
// on white paper where colour is not set (paper 0 ink 0 is black).
TEST_F(Headless, ChromaAttributesColourTheScreenshot) {
    write("chroma.bas",
          "10 POKE 32000,62\n20 POKE 32001,52\n30 POKE 32002,1\n40 POKE 32003,239\n50 POKE 32004,127\n"
          "60 POKE 32005,237\n70 POKE 32006,121\n80 POKE 32007,201\n90 PRINT \"A\"\n"
          "100 POKE PEEK 16396+256*PEEK 16397+32769,23\n110 RAND USR 32000\n");
    for (const char* model : {"simple", "hardware"}) {
        SCOPED_TRACE(model);
        const Finished done = run_orlix({"--headless", "--chroma", std::string("--model=") + model, "--type-file",
                                         "chroma.bas", "--keys", "R NEWLINE", "--run-for", "2", "--screenshot",
                                         "chroma.png"}, dir);
        ASSERT_EQ(done.status, 0) << done.err;
        const Png png = read_png((dir / "chroma.png").string());
        ASSERT_EQ(png.width, 320);
        constexpr uint32_t blue = 0x0000D2, white = 0xD2D2D2, green = 0x00D200;
        EXPECT_EQ(png.colour(0, 0), green) << "the border";
        EXPECT_EQ(png.colour(319, 239), green);
        // A's cell: its second row is ..XXXX.. (0x3C).
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(png.colour(32 + x, 24 + 1), x >= 2 && x < 6 ? white : blue) << x;
            EXPECT_EQ(png.colour(32 + x, 24), blue) << "A's first row is paper";
        }
    }
}

}  // namespace

