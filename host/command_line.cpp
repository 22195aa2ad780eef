#include "command_line.h"

#include <getopt.h>
#include <sys/stat.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "key_sequence.h"
#include "data_files.h"
#include "file_output.h"
#include "program_files.h"
#include "tape_images.h"

namespace {

CommandLine failed(std::string error) {
    CommandLine line;
    line.action = Action::fail;
    line.error = std::move(error);
    return line;
}

// The time of --run-for or WAIT: as a message says it, when it is too long.
std::string time_limit_text() {
    return "at most " + std::to_string(static_cast<long>(longest_emulated_time)) +
           " s (a week of emulated time)";
}

// Why a listing cannot be read before the run: standard input, or a regular
// file; a FIFO would block until someone writes, a device may never end.
std::string unreadable_listing(const std::string& path) {
    if (path == "-") return {};
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return "it is a folder";
    if (S_ISFIFO(info.st_mode)) return "it is a FIFO, not a regular file";
    if (!S_ISREG(info.st_mode)) return "it is a device, not a regular file";
    return {};
}

// What is wrong with the options of a headless run; empty when nothing.
std::string headless_problem(const Options& o) {
    const double run_for = o.run_for.empty() ? 0 : read_emulated_time(o.run_for, o.ntsc);
    if (run_for < 0) return "--run-for takes seconds (2.5) or frames (150f), not '" + o.run_for + "'";
    if (run_for > longest_emulated_time) return "--run-for takes " + time_limit_text() + ", not " + o.run_for;
    std::vector<KeyStroke> strokes;
    std::string error;
    if (!read_key_sequence(o.keys, o.ntsc, strokes, error)) return "--keys: " + error;
    if (!o.save.empty() && !saveable_file_name(o.save))
        return "--save needs a program or tape file name (.P, .81, .P81, .WAV or .TZX)";
    // Files are looked at before the run, so that a run of minutes does not
    // end in a file it could never write.
    const std::pair<const std::string&, Streams> outputs[] = {
        {o.save, Streams::in_place}, {o.screenshot, Streams::refused}, {o.audio, Streams::refused}};
    for (const auto& [path, streams] : outputs) {
        const std::string problem = path.empty() ? "" : unwritable_reason(path, streams);
        if (!problem.empty()) return "cannot write " + path + ": " + problem;
    }
    const std::string listing = o.type_file.empty() ? "" : unreadable_listing(o.type_file);
    if (!listing.empty()) return "cannot read " + o.type_file + ": " + listing;
    return {};
}

// Why a tape cannot be used, with where reading it first went wrong.
std::string tape_problem(const TapeImage& tape) {
    if (tape.warnings.empty()) return tape.problem;
    const size_t more = tape.warnings.size() - 1;
    return tape.problem + " (" + tape.warnings.front() +
           (more ? "; " + std::to_string(more) + " more such place" + (more > 1 ? "s" : "") : "") + ")";
}

// What a value of a word list names: `names[i]` stands for `values[i]`.
template <typename T, size_t N>
bool one_of(const char* value, const std::array<const char*, N>& names, const std::array<T, N>& values, T& out) {
    for (size_t i = 0; i < N; ++i)
        if (std::string(value) == names[i]) {
            out = values[i];
            return true;
        }
    return false;
}

// The state of a parse beside the options: what was given.
struct Parse {
    CommandLine line;
    bool rom_given = false, listing_given = false;
};

Options& of(Parse& p) {
    return p.line.options;
}

// Each option: its name, its value, its help and how it is read. --help,
// getopt's table and the checks are all made from these rows; README.md and
// the manual page name every one (a test checks that they do).
struct OptionRow {
    const char* name;           // without --
    int value;                  // no_argument, required_argument or optional_argument
    const char* metavar;        // the value's name in --help ("" for none)
    const char* help;           // --help's lines for it, \n between them
    const char* empty_problem;  // what an empty value says (every value names something)
    bool headless_only;         // for --headless runs alone
    // Reads the value; the message of one not taken, else empty.
    std::string (*take)(Parse&, const char* value);
};

// An option that only sets a text of the options.
template <std::string Options::*field>
std::string set_text(Parse& p, const char* value) {
    of(p).*field = value;
    return {};
}

// An option that only turns a flag of the options on.
template <typename Record, bool Record::*flag>
std::string set_flag(Parse& p, const char*) {
    of(p).*flag = true;
    return {};
}

const OptionRow option_rows[] = {
    {"rom", required_argument, "FILE",
     "the 8 KB ZX81 ROM; without it zx81.rom is looked for in the\n"
     "working folder, in $XDG_DATA_HOME/orlix (~/.local/share/orlix),\n"
     "beside the program and in share/orlix of the install prefix",
     "--rom needs the name of a ROM file", false,
     [](Parse& p, const char* v) {
         p.rom_given = true;
         return set_text<&Options::rom>(p, v);
     }},
    {"mode", required_argument, "N", "the screen mode to start in: 0 window (the default),\n1 doubled window, 2 full screen",
     nullptr, false,
     [](Parse& p, const char* v) {
         const std::string n = v;
         if (n != "0" && n != "1" && n != "2") return "--mode takes 0, 1 or 2, not '" + n + "'";
         of(p).view = View{n[0] - '0', 0};
         of(p).view_given = true;
         return std::string();
     }},
    {"scale", required_argument, "N", "a window N times the size of mode 0's, the picture and the\ntoolbar scaled with it",
     nullptr, false,
     [](Parse& p, const char* v) {
         const std::string n = v;
         for (int scale = 1; scale <= largest_scale; ++scale)
             if (n == std::to_string(scale)) {
                 of(p).view = window_of_scale(scale);
                 of(p).view_given = true;
                 return std::string();
             }
         return "--scale takes a whole number from 1 to " + std::to_string(largest_scale) + ", not '" + n + "'";
     }},
    {"model", required_argument, "NAME",
     "simple (the default): the picture drawn from the display\n"
     "file, the processor at full speed between frames;\n"
     "hardware: the ZX81's real display hardware and timing\n"
     "(SLOW and FAST, PAUSE, FRAMES, displays of a program's own)",
     nullptr, false,
     [](Parse& p, const char* v) {
         if (one_of(v, std::array{model_name(Model::simple), model_name(Model::hardware)},
                    std::array{Model::simple, Model::hardware}, of(p).model))
             return std::string();
         return std::string("--model takes simple or hardware, not '") + v + "'";
     }},
    {"ntsc", no_argument, "", "the 60 Hz (American) machine, in the hardware model", nullptr, false,
     set_flag<MachineOptions, &MachineOptions::ntsc>},
    {"ram", required_argument, "N",
     "the RAM, in KB: 1 (the basic ZX81), 2, 16 (the default,\n"
     "with the 16K pack) or 32; 16+8 and 40 add 8 KB at\n"
     "8-16K (0x2000-0x3FFF) to 16 or 32, for UDG and CHR$128\ncharacter sets",
     nullptr, false,
     [](Parse& p, const char* v) {
         for (const RamName& n : ram_names)
             if (std::string(v) == n.name) {
                 of(p).ram_kb = n.ram.kb;
                 of(p).low_ram = n.ram.low;
                 return std::string();
             }
         return std::string("--ram takes 1, 2, 16, 32, 16+8 or 40 (KB), not '") + v + "'";
     }},
    {"sound", required_argument, "MODE",
     "on (the default): the ZX81's one-bit sound and its sound\n"
     "board; mic: with the display's own 50 Hz buzz, as a TV\n"
     "at full volume gives it; off: silence",
     nullptr, false,
     [](Parse& p, const char* v) {
         if (one_of(v,
                    std::array{sound_mode_name(SoundMode::off), sound_mode_name(SoundMode::on),
                               sound_mode_name(SoundMode::mic)},
                    std::array{SoundMode::off, SoundMode::on, SoundMode::mic}, of(p).sound))
             return std::string();
         return std::string("--sound takes off, on or mic, not '") + v + "'";
     }},
    {"sound-board", required_argument, "BOARD",
     "zonx (the default: ZON X-81 and ZON X, ports $CF/$DF\n"
     "and $0F/$1F), qs (Quicksilva, memory at $7FFF/$7FFE) or\nnone",
     nullptr, false,
     [](Parse& p, const char* v) {
         if (one_of(v, std::array{"zonx", "qs", "none"},
                    std::array{SoundBoard::zonx, SoundBoard::quicksilva, SoundBoard::none}, of(p).sound_board))
             return std::string();
         return std::string("--sound-board takes zonx, qs or none, not '") + v + "'";
     }},
    {"printer", optional_argument, "[=FILE]",
     "the ZX Printer for LPRINT, LLIST and COPY: each printout a\n"
     "PNG in the pictures folder, or everything printed in FILE\n"
     "(with --headless, FILE is needed: --printer FILE.png)",
     "--printer needs the name of a PNG file", false,
     [](Parse& p, const char* v) {
         of(p).printer = true;
         if (v) of(p).printer_file = v;
         return std::string();
     }},
    {"chroma", no_argument, "",
     "Chroma 81 colour: port $7FEF, its colours at $C000-$FFFF,\n"
     "character-code and attribute-file modes, the border",
     nullptr, false, set_flag<MachineOptions, &MachineOptions::chroma>},
    {"chars", required_argument, "BOARD",
     "a character board: udg (patterns in RAM at 8-16K, I $20-$3F),\n"
     "chr128 (128 characters with I's bit 0 set; chr128-plain: the\n"
     "second 64 not inverted), qs (QS board, 1 KB at $8400); the\n"
     "UDG and CHR$128 boards bring RAM at 8-16K",
     nullptr, false,
     [](Parse& p, const char* v) {
         const std::string name = v;
         of(p).chr128_inverts = name != "chr128-plain";
         if (one_of(v, char_board_names, char_board_values, of(p).chars)) return std::string();
         return "--chars takes udg, chr128, chr128-plain, qs or none, not '" + name + "'";
     }},
    {"joystick", required_argument, "KIND",
     "kempston (IN $1F), cursor (keys 5 6 7 8 and 0), zxpand\n"
     "(ZXpand's, at $E007) or none: the arrow keys and Right Ctrl\n"
     "(fire), or a gamepad, move it",
     nullptr, false,
     [](Parse& p, const char* v) {
         if (one_of(v, joystick_names,
                    std::array{JoystickKind::none, JoystickKind::kempston, JoystickKind::cursor, JoystickKind::zxpand},
                    of(p).joystick))
             return std::string();
         return std::string("--joystick takes kempston, cursor, zxpand or none, not '") + v + "'";
     }},
    {"zxpand", no_argument, "",
     "ZXpand without its SD card: found by programs, its joystick,\n"
     "32 KB of RAM and its map of RAM at 8-16K",
     nullptr, false, set_flag<MachineOptions, &MachineOptions::zxpand>},
    {"tape", required_argument, "FILE",
     "put a tape in the deck: a WAV recording, a TZX, a .P81, or a\n.P as the signal SAVE gives; LOAD takes its programs",
     "--tape needs the name of a tape file", false, set_text<&Options::tape>},
    {"real-tape", no_argument, "",
     "LOAD and SAVE run the ROM's own tape routines: LOAD plays\nthe tape in the deck through the ZX81's loader, in real time",
     nullptr, false, set_flag<MachineOptions, &MachineOptions::real_tape>},
    {"save-format", required_argument, "F",
     "what SAVE \"NAME\" writes: p (NAME.P, the default), wav (the\nsignal for a real ZX81, 44.1 kHz) or tzx", nullptr,
     false,
     [](Parse& p, const char* v) {
         SaveFormat format{};
         if (!one_of(v, std::array{"p", "wav", "tzx"},
                     std::array{SaveFormat::program, SaveFormat::wav, SaveFormat::tzx}, format))
             return std::string("--save-format takes wav, tzx or p, not '") + v + "'";
         of(p).save_format = {format, true};
         return std::string();
     }},
    {"gdb", optional_argument, "[=PORT]",
     "a gdb remote stub for DeZog, z88dk-gdb or gdb on PORT (1667);\nwith --headless the run waits for the debugger",
     nullptr, false,
     [](Parse& p, const char* v) {
         of(p).gdb = true;
         if (!v) return std::string();
         for (int port = 1; port <= 65535; ++port)
             if (std::string(v) == std::to_string(port)) {
                 of(p).gdb_port = port;
                 return std::string();
             }
         return std::string("--gdb takes a port from 1 to 65535, not '") + v + "'";
     }},
    {"gdb-address", required_argument, "ADDR",
     "listen on ADDR, not only this computer (127.0.0.1):\nwhoever reaches the port then controls the emulator", nullptr,
     false, set_text<&Options::gdb_address>},
    {"gdb-dezog", no_argument, "", "Ctrl-C from the debugger stops the ZX81 without a reply,\nas DeZog expects", nullptr,
     false, set_flag<Options, &Options::gdb_dezog>},
    {"headless", no_argument, "",
     "no window: run the ZX81 as a script says, as fast as it\ngoes, with these (and --model, --ram, --rom, PROGRAM):",
     nullptr, false, set_flag<Options, &Options::headless>},
    {"type-file", required_argument, "LISTING",
     "type a BASIC listing in (a file of at most 4 MB, or -\n"
     "for standard input), each line through the ZX81's own\nline entry",
     "--type-file needs the name of a listing (- for standard input)", true, set_text<&Options::type_file>},
    {"keys", required_argument, "SEQ",
     "then press keys: letters, digits, NEWLINE, SPACE, ., RUBOUT,\nSHIFT+X, and WAIT:T to let time pass",
     "--keys needs the keys to press", true, set_text<&Options::keys>},
    {"run-for", required_argument, "T", "then run for T emulated seconds (2.5) or frames (150f),\na week at most",
     "--run-for needs a time: seconds (2.5) or frames (150f)", true, set_text<&Options::run_for>},
    {"until-text", required_argument, "TEXT", "stop once TEXT shows on the screen (exit 1 if never)",
     "--until-text needs the text to wait for", true, set_text<&Options::until_text>},
    {"screen-text", no_argument, "", "print the screen's 24 lines at the end", nullptr, true,
     set_flag<Options, &Options::screen_text>},
    {"screenshot", required_argument, "FILE", "write the last frame as a PNG", "--screenshot needs the name of a PNG file",
     true, set_text<&Options::screenshot>},
    {"save", required_argument, "FILE", "save the program at the end (.P, or a tape: .WAV, .TZX, .P81)",
     "--save needs a program or tape file name (.P, .81, .P81, .WAV or .TZX)", true, set_text<&Options::save>},
    {"listing", required_argument, "STYLE",
     "the listing's conventions for graphics and inverse\ncharacters: zxtext2p (the default), zmakebas or orlix", nullptr,
     false,
     [](Parse& p, const char* v) {
         const std::optional<ListingStyle> style = listing_style_named(v);
         if (!style) return std::string("--listing takes zxtext2p, zmakebas or orlix, not '") + v + "'";
         of(p).listing = *style;
         p.listing_given = true;
         return std::string();
     }},
    {"list", no_argument, "", "print PROGRAM as a listing (in the --listing style) and exit", nullptr, false,
     [](Parse& p, const char*) {
         of(p).list = true;
         of(p).headless = true;  // no window: the listing goes to standard output
         return std::string();
     }},
    {"list-tape", no_argument, "",
     "print the programs on the tape (--tape FILE, or PROGRAM): each\n"
     "one's name, length and where it starts, and what is wrong\n"
     "where; then exit (1 when none can be read)",
     nullptr, false,
     [](Parse& p, const char*) {
         of(p).list_tape = true;
         of(p).headless = true;  // no window: the list goes to standard output
         return std::string();
     }},
    {"audio", required_argument, "FILE", "write what the machine played as a WAV (16-bit mono, 44.1 kHz)",
     "--audio needs the name of a WAV file", true, set_text<&Options::audio>},
};

// Whether the word after an option whose value is optional is its value:
// a picture's name after --printer (no program file is a PNG).
bool takes_next_word(const OptionRow& row, const std::string& word) {
    if (std::string(row.name) != "printer" || word.size() < 5 || word[0] == '-') return false;
    std::string suffix = word.substr(word.size() - 4);
    for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return suffix == ".png";
}

// -h and -V, which have no row of their own.
constexpr const char* help_and_version =
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n";

// An option's lines in --help: its name and value at the left, the help
// from column 18 on (after two spaces when the name is longer).
std::string help_of(const OptionRow& row) {
    constexpr size_t help_column = 17;
    std::string text = std::string("  --") + row.name;
    if (*row.metavar) text += (row.metavar[0] == '[' ? "" : " ") + std::string(row.metavar);
    text += text.size() < help_column - 1 ? std::string(help_column - text.size(), ' ') : "  ";
    for (const char* c = row.help; *c; ++c) {
        text += *c;
        if (*c == '\n') text += std::string(help_column, ' ');
    }
    return text + "\n";
}

}  // namespace

std::vector<std::string> option_names() {
    std::vector<std::string> names;
    for (const OptionRow& row : option_rows) names.push_back(std::string("--") + row.name);
    names.insert(names.end(), {"--help", "--version"});
    return names;
}

std::string usage_text(const std::string& keys) {
    std::string text =
        "Usage: orlix [OPTIONS] [PROGRAM]\n"
        "Orlix, an emulator of the Sinclair ZX81. PROGRAM, a .p, .81 or .p81 file,\n"
        "or a tape (.tzx, .wav), is loaded as soon as the ZX81 shows its K prompt\n"
        "(with --real-tape, a tape goes into the deck for LOAD to play).\n"
        "\n"
        "Options:\n";
    for (const OptionRow& row : option_rows) text += help_of(row);
    text += help_and_version;
    text += "\nKeys:\n" + keys;
    text += "\n"
            "Tape: SAVE \"NAME\" typed at the ZX81 writes NAME.P (or NAME.WAV, NAME.TZX),\n"
            "and LOAD \"NAME\" takes NAME from the tape in the deck, or reads NAME.P,\n"
            "NAME.81, NAME.P81, NAME.TZX or NAME.WAV (any case), in the folder of the\n"
            "program last loaded or saved, else the working folder; LOAD \"\" takes the\n"
            "next program on the tape, or asks for the file.\n"
            "\n"
            "Settings: the screen mode or scale, ink, paper, model, RAM, sound and the\n"
            "expansions (Insert) are kept in\n"
            "$XDG_CONFIG_HOME/orlix/orlix.conf (~/.config/orlix/orlix.conf); options\n"
            "override them for one run, and a setting changed in the window is kept.\n"
            "\n"
            "Report bugs to the Orlix developers through the issue tracker of the place\n"
            "you got Orlix from (for a Debian package: reportbug orlix).\n";
    return text;
}

CommandLine parse_command_line(int argc, char** argv, const Settings& remembered) {
    // getopt's table, from the rows: an option's index is its row's.
    static const std::vector<option> long_options = [] {
        std::vector<option> table;
        for (const OptionRow& row : option_rows) table.push_back({row.name, row.value, nullptr, 0});
        table.push_back({"help", no_argument, nullptr, 'h'});
        table.push_back({"version", no_argument, nullptr, 'V'});
        table.push_back({nullptr, 0, nullptr, 0});
        return table;
    }();
    Parse parse;
    CommandLine& line = parse.line;
    line.options.view = remembered.view;
    line.options.model = remembered.model;
    machine_from_settings(remembered, line.options);
    line.options.ink = remembered.ink;
    line.options.paper = remembered.paper;
    line.options.sound = remembered.sound;
    std::vector<const OptionRow*> given;
    optind = 0;  // start afresh, even when parsed before
    opterr = 0;  // the messages are our own, on one line
    for (;;) {
        const int previous = optind == 0 ? 1 : optind;
        int index = -1;
        const int c = getopt_long(argc, argv, ":hV", long_options.data(), &index);
        if (c == -1) break;
        const std::string word = previous < argc ? argv[previous] : "";
        if (c == 'h') {
            line.action = Action::help;
        } else if (c == 'V') {
            if (line.action != Action::help) line.action = Action::version;
        } else if (c == ':') {
            return failed("option '" + word + "' needs a value (try --help)");
        } else if (c != 0 || index < 0 || index >= static_cast<int>(std::size(option_rows))) {
            return failed("unknown option '" + word + "' (try --help)");
        } else {
            const OptionRow& row = option_rows[index];
            // An optional value may also come as the next word when it
            // cannot be the program: --printer paper.png.
            if (row.value == optional_argument && !optarg && optind < argc && takes_next_word(row, argv[optind]))
                optarg = argv[optind++];
            if (optarg && !*optarg && row.empty_problem) return failed(row.empty_problem);
            const std::string problem = row.take(parse, optarg);
            if (!problem.empty()) return failed(problem);
            given.push_back(&row);
        }
    }
    if (line.action != Action::run) return line;
    for (const OptionRow* row : given)
        if (row->headless_only && !line.options.headless)
            return failed(std::string("--") + row->name + " is for --headless runs (try --help)");
    // Where to listen, or how the stub answers, asks for the stub.
    if (line.options.gdb_dezog || !line.options.gdb_address.empty()) line.options.gdb = true;
    if (argc - optind > 1) return failed("only one PROGRAM can be loaded (try --help)");
    if (parse.listing_given && !line.options.headless) return failed("--listing is for --headless runs and --list (try --help)");
    if (line.options.headless && line.options.printer && line.options.printer_file.empty() && !line.options.list)
        return failed("--printer needs a file with --headless, where the paper goes: --printer FILE.png (try --help)");
    if (line.options.list && optind >= argc) return failed("--list needs a PROGRAM to list (try --help)");
    // --list-tape reads the tape itself, and says what is wrong with it.
    if (line.options.list_tape) {
        if (optind < argc) line.options.tape = argv[optind];
        if (line.options.tape.empty()) return failed("--list-tape needs a tape: --tape FILE, or PROGRAM (try --help)");
        return line;
    }
    const std::string script_problem = headless_problem(line.options);
    if (!script_problem.empty()) return failed(script_problem);
    // With --real-tape the ROM's loader plays a recording whose programs
    // could not be read: it may make more of it.
    const auto usable_tape = [&](const TapeImage& tape) {
        return tape.problem.empty() || (line.options.real_tape && tape.playable);
    };
    if (!line.options.tape.empty()) {
        const TapeImage tape = read_tape_image(line.options.tape);
        if (!usable_tape(tape)) return failed("cannot read the tape " + line.options.tape + ": " + tape_problem(tape));
    }
    if (optind < argc) {
        const std::string program = argv[optind];
        if (tape_file_name(program)) {
            const TapeImage tape = read_tape_image(program);
            if (!usable_tape(tape)) return failed("cannot load " + program + ": " + tape_problem(tape));
        } else {
            const ProgramImage image = read_program_file(program, line.options.ram_kb);
            if (!image.result.ok) return failed("cannot load " + program + ": " + image.result.reason);
        }
        // The dialogs start from the program's folder whatever the working
        // folder is later.
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(program, error);
        line.options.program = error ? program : absolute.lexically_normal().string();
    }
    if (parse.rom_given) {
        const std::string problem = check_rom_file(line.options.rom).error;
        if (!problem.empty()) return failed("cannot load " + line.options.rom + ": " + problem);
    }
    return line;
}
