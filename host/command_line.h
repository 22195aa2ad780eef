// The command line: orlix [OPTIONS] [PROGRAM], in the usual GNU style.
#pragma once

#include <string>
#include <vector>

#include "listing.h"
#include "tape_files.h"
#include "view.h"
#include "version.h"
#include "settings.h"
#include "zx81.h"

// What the command line asks for, over the remembered settings: the
// machine (--model, --ntsc, --ram, --real-tape, --sound-board, --printer, and whether
// the ROM is the known one), then the rest.
struct Options : MachineOptions {
    std::string rom;       // --rom FILE; empty: zx81.rom is looked for
    View view;             // --mode N: 0 window, 1 doubled window, 2 full screen; --scale N
    bool view_given = false;  // by --mode or --scale, not remembered
    std::string program;   // loaded once the ROM shows its K prompt; empty: none
    int ink = 0, paper = 7;       // as remembered; no option sets them
    SoundMode sound = SoundMode::on;          // --sound=off|on|mic
    std::string tape;                         // --tape FILE: in the deck at start
    std::string printer_file;                 // --printer=FILE: everything printed; empty: a page a file
    SaveChoice save_format;                   // --save-format=wav|tzx|p
    // --gdb[=PORT], --gdb-address ADDR, --gdb-dezog: a gdb stub; where it
    // listens is the stub's own default (gdb_stub.h) where they say nothing.
    bool gdb = false;
    int gdb_port = 0;                         // 0: the stub's default port
    std::string gdb_address;                  // empty: the stub's default address
    bool gdb_dezog = false;                   // Ctrl-C as DeZog has it

    // --headless and what only it takes (see batch.h).
    bool headless = false;
    std::string run_for;      // --run-for T: seconds, or frames with f; empty: none
    std::string keys;         // --keys SEQ
    std::string until_text;   // --until-text TEXT
    bool screen_text = false; // --screen-text
    std::string screenshot;   // --screenshot FILE.png
    std::string save;         // --save FILE.P
    std::string type_file;    // --type-file LISTING (- for standard input)
    ListingStyle listing = ListingStyle::zxtext2p;  // --listing=STYLE
    bool list = false;        // --list: print PROGRAM as a listing
    bool list_tape = false;   // --list-tape: print the programs on the tape
    std::string audio;        // --audio FILE.wav: what the machine played
};

enum class Action { run, help, version, fail };

struct CommandLine {
    Action action = Action::run;
    Options options;
    std::string error;  // for Action::fail: one line, without the program's name
};

// Reads the options over the remembered settings and checks the files
// named: PROGRAM must be a program file that loads on the RAM chosen (so
// that nothing is wrong once the window is open) and FILE of --rom a
// regular file that can be read. Opens no display.
CommandLine parse_command_line(int argc, char** argv, const Settings& remembered = Settings{});

// What --help prints: usage, every option, the keys (`keys`: lines of the
// front end's own, each ending in a line break) and how tapes and settings go.
std::string usage_text(const std::string& keys);

// Every option's name ("--rom", ...), as --help lists them.
std::vector<std::string> option_names();

// What --version prints, in the GNU form.
constexpr const char* version_text =
    "orlix (Orlix) " ORLIX_VERSION "\n"
    "Copyright (C) 2026 The Orlix developers\n"
    "License MIT: <https://opensource.org/licenses/MIT>\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";
