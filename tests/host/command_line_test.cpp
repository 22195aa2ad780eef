// The command line: what each option sets, and the real program's answers and
// exit statuses, run without a display.
#include <gtest/gtest.h>

#include "zx81_harness.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "command_line.h"
#include "run_orlix.h"

namespace fs = std::filesystem;

namespace {

class CommandLineTest : public ::testing::Test, public TestMachine {
protected:
    fs::path dir = fs::temp_directory_path() / ("orlix-cli-" + std::to_string(getpid()));

    void SetUp() override {
        fs::create_directories(dir);
        // Settings of the test's own, never the user's.
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        // A program whose system variables describe it, and one cut short.
        std::string program(200, '\0');
        program.replace(0x400C - 0x4009, 2, "\x7D\x40");  // D_FILE 0x407D
        program.replace(0x4010 - 0x4009, 2, "\xD0\x40");  // VARS 0x40D0
        program.replace(0x4014 - 0x4009, 2, "\xD1\x40");  // E_LINE 0x40D1, the end
        std::ofstream(dir / "game.p", std::ios::binary) << program;
        std::ofstream(dir / "a.p", std::ios::binary) << program;
        std::ofstream(dir / "zx81", std::ios::binary) << program;
        std::ofstream(dir / "short.p", std::ios::binary) << program.substr(0, 40);
        std::string big(0x600, '\0');  // ends at 0x4609, past a 1 KB machine's RAM
        big.replace(0x4014 - 0x4009, 2, "\x09\x46");
        std::ofstream(dir / "big.p", std::ios::binary) << big;
        // The real ROM, found in the working folder; ROMs of the wrong size;
        // and one changed in a byte, as a modified ROM is.
        fs::copy_file(ORLIX_SHARED_DIR "/roms/zx81.rom", dir / "zx81.rom", fs::copy_options::overwrite_existing);
        std::ofstream(dir / "empty.rom", std::ios::binary);
        std::ofstream(dir / "4k.rom", std::ios::binary) << std::string(4096, '\0');
        std::ifstream rom(dir / "zx81.rom", std::ios::binary);
        std::string modified(std::istreambuf_iterator<char>(rom), {});
        modified[0x1000] ^= 1;
        std::ofstream(dir / "modified.rom", std::ios::binary) << modified;
        // A FIFO nobody writes to or reads from, and a link to it.
        mkfifo((dir / "fifo").c_str(), 0600);
        fs::create_symlink("fifo", dir / "fifo-link");
        fs::create_directories(dir / "config");
        fs::create_directories(dir / "folder.p");
    }
    void TearDown() override {
        unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(dir);
    }

    CommandLine parse(std::vector<std::string> args) {
        const fs::path here = fs::current_path();
        fs::current_path(dir);
        args.insert(args.begin(), "orlix");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const CommandLine line = parse_command_line(static_cast<int>(args.size()), argv.data());
        fs::current_path(here);
        return line;
    }
};

TEST_F(CommandLineTest, OptionsSetWhatTheySay) {
    CommandLine line = parse({});
    EXPECT_EQ(line.action, Action::run);
    EXPECT_TRUE(line.options.view == View{});
    EXPECT_TRUE(line.options.rom.empty());
    EXPECT_TRUE(line.options.program.empty());

    line = parse({"--mode", "1", "--rom", "zx81.rom", "game.p"});
    EXPECT_EQ(line.action, Action::run) << line.error;
    EXPECT_TRUE(line.options.view == (View{1, 0}));
    EXPECT_EQ(line.options.rom, "zx81.rom");
    EXPECT_EQ(line.options.program, (dir / "game.p").string());  // absolute: the dialogs offer it

    line = parse({"game.p", "--mode=2"});  // options after PROGRAM too
    EXPECT_TRUE(line.options.view == (View{2, 0}));
    EXPECT_TRUE(parse({"--scale", "3"}).options.view == (View{0, 3}));
    EXPECT_TRUE(parse({"--scale=1"}).options.view == View{});
    EXPECT_EQ(line.options.model, Model::simple);
    EXPECT_FALSE(line.options.ntsc);
    line = parse({"--model=hardware", "--ntsc"});
    EXPECT_EQ(line.options.model, Model::hardware);
    EXPECT_TRUE(line.options.ntsc);
    EXPECT_EQ(parse({"--model", "simple"}).options.model, Model::simple);
    EXPECT_EQ(line.options.ram_kb, 16);
    EXPECT_EQ(parse({"--ram", "32"}).options.ram_kb, 32);
    EXPECT_EQ(parse({"--ram=1", "game.p"}).options.ram_kb, 1);
    // --printer's file may follow as the next word; a program there is the program.
    line = parse({"--printer", "Paper.PNG", "game.p"});
    EXPECT_TRUE(line.options.printer);
    EXPECT_EQ(line.options.printer_file, "Paper.PNG");
    EXPECT_EQ(line.options.program, (dir / "game.p").string());
    line = parse({"--printer", "game.p"});
    EXPECT_TRUE(line.options.printer_file.empty());
    EXPECT_EQ(line.options.program, (dir / "game.p").string());
    EXPECT_EQ(parse({"--printer=a.png"}).options.printer_file, "a.png");
    EXPECT_EQ(parse({"-V"}).action, Action::version);
    EXPECT_EQ(parse({"--version", "--help"}).action, Action::help);
    EXPECT_EQ(parse({"-h", "missing.p"}).action, Action::help);  // help wins over a bad file
}

TEST_F(CommandLineTest, ProgramAnswersWithoutADisplay) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;  // the start of standard output
        std::string err;  // all of standard error
    };
    const Case cases[] = {
        {{"--help"}, 0, "Usage: orlix [OPTIONS] [PROGRAM]\n", ""},
        {{"--version"}, 0, "orlix (Orlix) " ORLIX_VERSION "\nCopyright (C) 2026 The Orlix developers\nLicense MIT", ""},
        {{"--bogus"}, 2, "", "orlix: unknown option '--bogus' (try --help)\n"},
        {{"-x"}, 2, "", "orlix: unknown option '-x' (try --help)\n"},
        {{"--mode", "3"}, 2, "", "orlix: --mode takes 0, 1 or 2, not '3'\n"},
        {{"--mode"}, 2, "", "orlix: option '--mode' needs a value (try --help)\n"},
        {{"--model=real"}, 2, "", "orlix: --model takes simple or hardware, not 'real'\n"},
        {{"missing.p"}, 2, "", "orlix: cannot load missing.p: No such file or directory\n"},
        {{"short.p"}, 2, "", "orlix: cannot load short.p: not a ZX81 program: the file ends before E_LINE 0x40D1 (it has 40 of the 200 bytes up to it)\n"},
        {{"--ram", "4"}, 2, "", "orlix: --ram takes 1, 2, 16, 32, 16+8 or 40 (KB), not '4'\n"},
        {{"--scale", "0"}, 2, "", "orlix: --scale takes a whole number from 1 to 16, not '0'\n"},
        {{"--keys", "P"}, 2, "", "orlix: --keys is for --headless runs (try --help)\n"},
        {{"--headless", "--run-for", "soon"}, 2, "", "orlix: --run-for takes seconds (2.5) or frames (150f), not 'soon'\n"},
        {{"--headless", "--keys", "P #"}, 2, "", "orlix: --keys: no ZX81 key is called '#'\n"},
        {{"--headless", "--save", "out.txt"}, 2, "", "orlix: --save needs a program or tape file name (.P, .81, .P81, .WAV or .TZX)\n"},
        // An empty value names nothing and would do nothing.
        {{"--headless", "--run-for", ""}, 2, "", "orlix: --run-for needs a time: seconds (2.5) or frames (150f)\n"},
        {{"--headless", "--screenshot="}, 2, "", "orlix: --screenshot needs the name of a PNG file\n"},
        {{"--headless", "--save", ""}, 2, "", "orlix: --save needs a program or tape file name (.P, .81, .P81, .WAV or .TZX)\n"},
        {{"--headless", "--type-file", ""}, 2, "", "orlix: --type-file needs the name of a listing (- for standard input)\n"},
        {{"--headless", "--until-text", ""}, 2, "", "orlix: --until-text needs the text to wait for\n"},
        // Times past a week are refused, not overflowed into no time at all.
        {{"--headless", "--run-for", "21474837"}, 2, "", "orlix: --run-for takes at most 604800 s (a week of emulated time), not 21474837\n"},
        {{"--headless", "--run-for", "9999999999f"}, 2, "", "orlix: --run-for takes at most 604800 s (a week of emulated time), not 9999999999f\n"},
        {{"--headless", "--keys", "WAIT:99999999999"}, 2, "", "orlix: --keys: 'WAIT:99999999999' waits too long: a week of emulated time at most\n"},
        {{"--save-format=mp3"}, 2, "", "orlix: --save-format takes wav, tzx or p, not 'mp3'\n"},
        {{"--tape", "none.tzx"}, 2, "", "orlix: cannot read the tape none.tzx: No such file or directory\n"},
        {{"--tape", "game.p", "--headless", "--tape="}, 2, "", "orlix: --tape needs the name of a tape file\n"},
        {{"--sound=loud"}, 2, "", "orlix: --sound takes off, on or mic, not 'loud'\n"},
        {{"--sound-board", "ay"}, 2, "", "orlix: --sound-board takes zonx, qs or none, not 'ay'\n"},
        {{"--audio", "x.wav"}, 2, "", "orlix: --audio is for --headless runs (try --help)\n"},
        {{"--headless", "--audio", "none/x.wav"}, 2, "", "orlix: cannot write none/x.wav: No such file or directory\n"},
        {{"--headless", "--listing=basic"}, 2, "", "orlix: --listing takes zxtext2p, zmakebas or orlix, not 'basic'\n"},
        {{"--listing=zmakebas"}, 2, "", "orlix: --listing is for --headless runs and --list (try --help)\n"},
        {{"--list"}, 2, "", "orlix: --list needs a PROGRAM to list (try --help)\n"},
        // Files that are not regular files are refused before the run.
        {{"--headless", "--type-file", "fifo"}, 2, "", "orlix: cannot read fifo: it is a FIFO, not a regular file\n"},
        {{"--headless", "--type-file", "config"}, 2, "", "orlix: cannot read config: it is a folder\n"},
        {{"--headless", "--screenshot", "fifo"}, 2, "", "orlix: cannot write fifo: it is a FIFO, not a regular file\n"},
        {{"--headless", "--screenshot", "fifo-link"}, 2, "", "orlix: cannot write fifo-link: it is a FIFO, not a regular file\n"},
        {{"--headless", "--screenshot", "config"}, 2, "", "orlix: cannot write config: it is a folder\n"},
        {{"--headless", "--screenshot", "none/x.png"}, 2, "", "orlix: cannot write none/x.png: No such file or directory\n"},
        {{"--headless", "--save", "folder.p"}, 2, "", "orlix: cannot write folder.p: it is a folder\n"},
        {{"--ram=1", "big.p"}, 2, "", "orlix: cannot load big.p: the program needs 2 KB of RAM; this ZX81 has 1 KB\n"},
        {{"--ram=1", "game.p"}, 255, "", "I Can't initialize Winallegro!"},
        {{"zx81.rom"}, 2, "", "orlix: cannot load zx81.rom: not a program file (.P, .81 or .P81)\n"},
        {{"."}, 2, "", "orlix: cannot load .: not a program file (.P, .81 or .P81)\n"},
        {{"game.p", "game.p"}, 2, "", "orlix: only one PROGRAM can be loaded (try --help)\n"},
        {{"--rom", "none.rom"}, 2, "", "orlix: cannot load none.rom: No such file or directory\n"},
        {{"--rom", ""}, 2, "", "orlix: --rom needs the name of a ROM file\n"},
        {{"--rom=empty.rom"}, 2, "", "orlix: cannot load empty.rom: not a ZX81 ROM: 0 bytes, not 8192\n"},
        {{"--rom=4k.rom"}, 2, "", "orlix: cannot load 4k.rom: not a ZX81 ROM: 4096 bytes, not 8192\n"},
        {{"--rom=modified.rom"}, 255, "", "orlix: modified.rom: not the ZX81 ROM version 2 (its CRC32 is "},
        {{"a.p"}, 255, "", "I Can't initialize Winallegro!"},
        {{"zx81"}, 2, "", "orlix: cannot load zx81: not a program file (.P, .81 or .P81)\n"},
        {{"game.p"}, 255, "", "I Can't initialize Winallegro!"},
    };
    for (const Case& c : cases) {
        const Finished done = run_orlix(c.args, dir);
        const std::string name = c.args.empty() ? "" : c.args[0];
        EXPECT_EQ(done.status, c.status) << name;
        EXPECT_EQ(done.out.substr(0, c.out.size()), c.out) << name;
        if (c.status == 255)
            EXPECT_NE(done.err.find(c.err), std::string::npos) << name << ": " << done.err;
        else
            EXPECT_EQ(done.err, c.err) << name;
    }
}

// The settings file gives the defaults that options override; a file with
// a line not understood is said once and the rest still holds.
TEST_F(CommandLineTest, RememberedSettingsUnderTheOptions) {
    fs::create_directories(dir / "config" / "orlix");
    std::ofstream(dir / "config" / "orlix" / "orlix.conf") << "ram=1\nmodel=hardware\nwhat=ever\n";
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    const Finished refused = run_orlix({"big.p"}, dir);
    const Finished allowed = run_orlix({"--ram=16", "big.p"}, dir);
    const std::string warning =
        "orlix: " + (dir / "config" / "orlix" / "orlix.conf").string() + ": line 3 not understood, ignored\n";
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "orlix: cannot load big.p: the program needs 2 KB of RAM; this ZX81 has 1 KB\n");
    EXPECT_EQ(allowed.status, 255) << "loads on 16 KB, then finds no display";
    EXPECT_EQ(allowed.err.substr(0, warning.size()), warning);
    EXPECT_EQ(allowed.err.find(warning, 1), std::string::npos) << "said once";

    Settings remembered;
    remembered.model = Model::hardware;
    remembered.view = {2, 0};
    remembered.paper = 4;
    const char* argv[] = {"orlix", "--model", "simple", nullptr};
    optind = 0;
    const CommandLine line = parse_command_line(3, const_cast<char**>(argv), remembered);
    EXPECT_EQ(line.options.model, Model::simple);
    EXPECT_TRUE(line.options.view == (View{2, 0}));
    EXPECT_EQ(line.options.paper, 4);
}

// Every option the command line takes is in README.md's tables and in the
// manual page, by its own name.
TEST_F(CommandLineTest, TheReadmeAndTheManualPageNameEveryOption) {
    const auto text_of = [](const char* file) {
        std::ifstream in(std::string(ORLIX_SOURCE_DIR) + "/" + file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string readme = text_of("README.md"), manual = text_of("desktop/share/orlix.1.in");
    ASSERT_FALSE(readme.empty());
    ASSERT_FALSE(manual.empty());
    for (const std::string& name : option_names()) {
        EXPECT_NE(readme.find("`" + name), std::string::npos) << name << " in README.md";
        std::string escaped;
        for (char c : name) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_NE(manual.find(escaped), std::string::npos) << name << " in the manual page";
    }
}

TEST_F(CommandLineTest, HelpListsEveryOptionAndKey) {
    const std::string help = run_orlix({"--help"}, dir).out;
    for (const char* word : {"--rom FILE", "--mode N", "--model NAME", "--ntsc", "--ram N", "--scale N", "--headless", "--run-for T", "--keys SEQ",
                             "--until-text TEXT", "--screen-text", "--screenshot FILE", "--save FILE",
                             "--type-file LISTING", "--listing STYLE", "--list", "--sound MODE", "--sound-board BOARD",
                             "--audio FILE", "F12 sound", "--tape FILE", "--real-tape", "--save-format F", "--help", "--version",
                             "right of L", "Report bugs", ". , < > \" = + - / ? *", "LOAD \"NAME\"",
                             "F1 help", "F8 keyboard", "F9 the other model", "Alt+F4 quit", "Backspace",
                             "~/.local/share/orlix"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
}

}  // namespace
