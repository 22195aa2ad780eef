#include "command_line.h"

#include <getopt.h>
#include <sys/stat.h>

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

// What an option that takes a value says when it is given an empty one:
// every such value names something, and an empty one would do nothing.
const char* empty_value_problem(const std::string& option) {
    struct Empty {
        const char* option;
        const char* problem;
    };
    static constexpr Empty problems[] = {
        {"--rom", "--rom needs the name of a ROM file"},
        {"--run-for", "--run-for needs a time: seconds (2.5) or frames (150f)"},
        {"--keys", "--keys needs the keys to press"},
        {"--until-text", "--until-text needs the text to wait for"},
        {"--screenshot", "--screenshot needs the name of a PNG file"},
        {"--save", "--save needs a program or tape file name (.P, .81, .P81, .WAV or .TZX)"},
        {"--tape", "--tape needs the name of a tape file"},
        {"--type-file", "--type-file needs the name of a listing (- for standard input)"},
        {"--audio", "--audio needs the name of a WAV file"},
    };
    for (const Empty& e : problems)
        if (option == e.option) return e.problem;
    return nullptr;
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
    const std::pair<bool, const char*> headless_only[] = {
        {!o.run_for.empty(), "--run-for"},     {!o.keys.empty(), "--keys"},
        {!o.until_text.empty(), "--until-text"}, {o.screen_text, "--screen-text"},
        {!o.screenshot.empty(), "--screenshot"}, {!o.save.empty(), "--save"},
        {!o.type_file.empty(), "--type-file"}, {!o.audio.empty(), "--audio"},
    };
    for (const auto& [given, name] : headless_only)
        if (given && !o.headless) return std::string(name) + " is for --headless runs (try --help)";
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

}  // namespace

std::string usage_text() {
    return "Usage: orlix [OPTIONS] [PROGRAM]\n"
           "Orlix, an emulator of the Sinclair ZX81. PROGRAM, a .p, .81 or .p81 file,\n"
           "or a tape (.tzx, .wav), is loaded as soon as the ZX81 shows its K prompt\n"
           "(with --real-tape, a tape goes into the deck for LOAD to play).\n"
           "\n"
           "Options:\n"
           "  --rom FILE     the 8 KB ZX81 ROM; without it zx81.rom is looked for in the\n"
           "                 working folder, in $XDG_DATA_HOME/orlix (~/.local/share/orlix),\n"
           "                 beside the program and in share/orlix of the install prefix\n"
           "  --mode N       the screen mode to start in: 0 window (the default),\n"
           "                 1 doubled window, 2 full screen\n"
           "  --scale N      a window N times the size of mode 0's, the picture and the\n"
           "                 toolbar scaled with it\n"
           "  --model NAME   simple (the default): the picture drawn from the display\n"
           "                 file, the processor at full speed between frames;\n"
           "                 hardware: the ZX81's real display hardware and timing\n"
           "                 (SLOW and FAST, PAUSE, FRAMES, displays of a program's own)\n"
           "  --ntsc         the 60 Hz (American) machine, in the hardware model\n"
           "  --ram N        the RAM, in KB: 1 (the basic ZX81), 2, 16 (the default,\n"
           "                 with the 16K pack) or 32\n"
           "  --sound MODE   on (the default): the ZX81's one-bit sound and its sound\n"
           "                 board; mic: with the display's own 50 Hz buzz, as a TV\n"
           "                 at full volume gives it; off: silence\n"
           "  --sound-board BOARD  zonx (the default: ZON X-81 and ZON X, ports $CF/$DF\n"
           "                 and $0F/$1F), qs (Quicksilva, memory at $7FFF/$7FFE) or\n"
           "                 none\n"
           "  --tape FILE    put a tape in the deck: a WAV recording, a TZX, a .P81, or a\n"
           "                 .P as the signal SAVE gives; LOAD takes its programs\n"
           "  --real-tape    LOAD and SAVE run the ROM's own tape routines: LOAD plays\n"
           "                 the tape in the deck through the ZX81's loader, in real time\n"
           "  --save-format F  what SAVE \"NAME\" writes: p (NAME.P, the default), wav (the\n"
           "                 signal for a real ZX81, 44.1 kHz) or tzx\n"
           "  --gdb[=PORT]   a gdb remote stub for DeZog, z88dk-gdb or gdb on PORT (1667);\n"
           "                 with --headless the run waits for the debugger\n"
           "  --gdb-address ADDR  listen on ADDR, not only this computer (127.0.0.1):\n"
           "                 whoever reaches the port then controls the emulator\n"
           "  --gdb-dezog    Ctrl-C from the debugger stops the ZX81 without a reply,\n"
           "                 as DeZog expects\n"
           "  --headless     no window: run the ZX81 as a script says, as fast as it\n"
           "                 goes, with these (and --model, --ram, --rom, PROGRAM):\n"
           "  --type-file LISTING  type a BASIC listing in (a file of at most 4 MB, or -\n"
           "                 for standard input), each line through the ZX81's own\n"
           "                 line entry\n"
           "  --keys SEQ     then press keys: letters, digits, NEWLINE, SPACE, ., RUBOUT,\n"
           "                 SHIFT+X, and WAIT:T to let time pass\n"
           "  --run-for T    then run for T emulated seconds (2.5) or frames (150f),\n"
           "                 a week at most\n"
           "  --until-text TEXT  stop once TEXT shows on the screen (exit 1 if never)\n"
           "  --screen-text  print the screen's 24 lines at the end\n"
           "  --screenshot FILE  write the last frame as a PNG\n"
           "  --save FILE    save the program at the end (.P, or a tape: .WAV, .TZX, .P81)\n"
           "  --listing STYLE  the listing's conventions for graphics and inverse\n"
           "                 characters: zxtext2p (the default), zmakebas or orlix\n"
           "  --list         print PROGRAM as a listing (in the --listing style) and exit\n"
           "  --audio FILE   write what the machine played as a WAV (16-bit mono, 44.1 kHz)\n"
           "  -h, --help     show this help and exit\n"
           "  -V, --version  show the version and exit\n"
           "\n"
           "Keys:\n"
           "  letters, digits, Enter, Space, Shift, and the key right of L\n"
           "                 the ZX81 keys in the same places, Shift being SHIFT (so\n"
           "                 Shift+K is +, Shift+P is \"); the key right of L is the\n"
           "                 ZX81 . key, with Shift the , key\n"
           "  . , ' = - / and the keypad's * + - / . and digits\n"
           "                 the character printed on the key, host Shift as printed:\n"
           "                 . , < > \" = + - / ? *\n"
           "  Backspace      RUBOUT (SHIFT+0)\n"
           "  arrow keys     5, 6, 7, 8 (hold Shift for the ZX81 cursor moves)\n"
           "  F1 help, F2 save, F3 load, F4 next screen mode (0, 1, 2, then each\n"
           "  larger window scale that fits the desktop), F5 reset, F6 next ink colour,\n"
           "  F7 next paper colour, F8 keyboard picture, F9 the other model,\n"
           "  F10 or Print Screen a picture of the screen (a PNG), F11 full screen and\n"
           "  back (Escape leaves it too), F12 sound off and on, Alt+F4 quit.\n"
           "  The buttons at the right of the window do what F1 to F8 do.\n"
           "\n"
           "Tape: SAVE \"NAME\" typed at the ZX81 writes NAME.P (or NAME.WAV, NAME.TZX),\n"
           "and LOAD \"NAME\" takes NAME from the tape in the deck, or reads NAME.P,\n"
           "NAME.81, NAME.P81, NAME.TZX or NAME.WAV (any case), in the folder of the\n"
           "program last loaded or saved, else the working folder; LOAD \"\" takes the\n"
           "next program on the tape, or asks for the file.\n"
           "\n"
           "Settings: the screen mode or scale, ink, paper, model and RAM are kept in\n"
           "$XDG_CONFIG_HOME/orlix/orlix.conf (~/.config/orlix/orlix.conf); options\n"
           "override them for one run, and a setting changed in the window is kept.\n"
           "\n"
           "Report bugs to the Orlix developers through the issue tracker of the place\n"
           "you got Orlix from (for a Debian package: reportbug orlix).\n";
}

CommandLine parse_command_line(int argc, char** argv, const Settings& remembered) {
    enum {
        rom_option = 256, mode_option, model_option, ntsc_option, ram_option, scale_option, headless_option,
        run_for_option, keys_option, until_text_option, screen_text_option, screenshot_option, save_option,
        type_file_option, listing_option, list_option, sound_option, sound_board_option, audio_option,
        tape_option, real_tape_option, save_format_option, gdb_option, gdb_address_option, gdb_dezog_option
    };
    static const option long_options[] = {
        {"rom", required_argument, nullptr, rom_option},
        {"mode", required_argument, nullptr, mode_option},
        {"model", required_argument, nullptr, model_option},
        {"ntsc", no_argument, nullptr, ntsc_option},
        {"ram", required_argument, nullptr, ram_option},
        {"scale", required_argument, nullptr, scale_option},
        {"headless", no_argument, nullptr, headless_option},
        {"run-for", required_argument, nullptr, run_for_option},
        {"keys", required_argument, nullptr, keys_option},
        {"until-text", required_argument, nullptr, until_text_option},
        {"screen-text", no_argument, nullptr, screen_text_option},
        {"screenshot", required_argument, nullptr, screenshot_option},
        {"save", required_argument, nullptr, save_option},
        {"type-file", required_argument, nullptr, type_file_option},
        {"listing", required_argument, nullptr, listing_option},
        {"list", no_argument, nullptr, list_option},
        {"sound", required_argument, nullptr, sound_option},
        {"sound-board", required_argument, nullptr, sound_board_option},
        {"audio", required_argument, nullptr, audio_option},
        {"tape", required_argument, nullptr, tape_option},
        {"real-tape", no_argument, nullptr, real_tape_option},
        {"save-format", required_argument, nullptr, save_format_option},
        {"gdb", optional_argument, nullptr, gdb_option},
        {"gdb-address", required_argument, nullptr, gdb_address_option},
        {"gdb-dezog", no_argument, nullptr, gdb_dezog_option},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    CommandLine line;
    bool rom_given = false, listing_given = false;
    line.options.view = remembered.view;
    line.options.model = remembered.model;
    line.options.ram_kb = remembered.ram_kb;
    line.options.ink = remembered.ink;
    line.options.paper = remembered.paper;
    line.options.sound = remembered.sound;
    optind = 0;  // start afresh, even when parsed before
    opterr = 0;  // the messages are our own, on one line
    for (;;) {
        const int previous = optind == 0 ? 1 : optind;
        int index = -1;
        const int c = getopt_long(argc, argv, ":hV", long_options, &index);
        if (c == -1) break;
        const std::string given = previous < argc ? argv[previous] : "";
        if (index >= 0 && optarg && !*optarg) {
            const char* problem = empty_value_problem(std::string("--") + long_options[index].name);
            if (problem) return failed(problem);
        }
        switch (c) {
        case 'h': line.action = Action::help; break;
        case 'V':
            if (line.action != Action::help) line.action = Action::version;
            break;
        case rom_option:
            line.options.rom = optarg;
            rom_given = true;
            break;
        case mode_option: {
            const std::string n = optarg;
            if (n != "0" && n != "1" && n != "2")
                return failed("--mode takes 0, 1 or 2, not '" + n + "'");
            line.options.view = View{n[0] - '0', 0};
            line.options.view_given = true;
            break;
        }
        case model_option: {
            const std::string name = optarg;
            if (name == model_name(Model::simple))
                line.options.model = Model::simple;
            else if (name == model_name(Model::hardware))
                line.options.model = Model::hardware;
            else
                return failed("--model takes simple or hardware, not '" + name + "'");
            break;
        }
        case ntsc_option: line.options.ntsc = true; break;
        case scale_option: {
            const std::string n = optarg;
            int scale = 0;
            for (int s = 1; s <= largest_scale && scale == 0; ++s)
                if (n == std::to_string(s)) scale = s;
            if (scale == 0)
                return failed("--scale takes a whole number from 1 to " + std::to_string(largest_scale) + ", not '" + n + "'");
            line.options.view = window_of_scale(scale);
            line.options.view_given = true;
            break;
        }
        case ram_option: {
            const std::string n = optarg;
            line.options.ram_kb = 0;
            for (int kb : ram_sizes_kb)
                if (n == std::to_string(kb)) line.options.ram_kb = kb;
            if (line.options.ram_kb == 0) return failed("--ram takes 1, 2, 16 or 32 (KB), not '" + n + "'");
            break;
        }
        case headless_option: line.options.headless = true; break;
        case run_for_option: line.options.run_for = optarg; break;
        case keys_option: line.options.keys = optarg; break;
        case until_text_option: line.options.until_text = optarg; break;
        case screen_text_option: line.options.screen_text = true; break;
        case screenshot_option: line.options.screenshot = optarg; break;
        case save_option: line.options.save = optarg; break;
        case type_file_option: line.options.type_file = optarg; break;
        case listing_option: {
            const std::optional<ListingStyle> style = listing_style_named(optarg);
            if (!style) return failed(std::string("--listing takes zxtext2p, zmakebas or orlix, not '") + optarg + "'");
            line.options.listing = *style;
            listing_given = true;
            break;
        }
        case sound_option: {
            const std::string name = optarg;
            bool known = false;
            for (SoundMode mode : {SoundMode::off, SoundMode::on, SoundMode::mic})
                if (name == sound_mode_name(mode)) {
                    line.options.sound = mode;
                    known = true;
                }
            if (!known) return failed("--sound takes off, on or mic, not '" + name + "'");
            break;
        }
        case sound_board_option: {
            const std::string name = optarg;
            if (name == "zonx") line.options.sound_board = SoundBoard::zonx;
            else if (name == "qs") line.options.sound_board = SoundBoard::quicksilva;
            else if (name == "none") line.options.sound_board = SoundBoard::none;
            else return failed("--sound-board takes zonx, qs or none, not '" + name + "'");
            break;
        }
        case audio_option: line.options.audio = optarg; break;
        case tape_option: line.options.tape = optarg; break;
        case real_tape_option: line.options.real_tape = true; break;
        case save_format_option: {
            const std::string name = optarg;
            const SaveFormat format = name == "wav" ? SaveFormat::wav : name == "tzx" ? SaveFormat::tzx
                                                                                      : SaveFormat::program;
            if (name != "wav" && name != "tzx" && name != "p")
                return failed("--save-format takes wav, tzx or p, not '" + name + "'");
            line.options.save_format = {format, true};
            break;
        }
        case gdb_option: {
            line.options.gdb_port = default_gdb_port;
            if (!optarg) break;
            const std::string port = optarg;
            line.options.gdb_port = 0;
            for (int p = 1; p <= 65535 && line.options.gdb_port == 0; ++p)
                if (port == std::to_string(p)) line.options.gdb_port = p;
            if (line.options.gdb_port == 0) return failed("--gdb takes a port from 1 to 65535, not '" + port + "'");
            break;
        }
        case gdb_address_option: line.options.gdb_address = optarg; break;
        case gdb_dezog_option: line.options.gdb_dezog = true; break;
        case list_option:
            line.options.list = true;
            line.options.headless = true;  // no window: the listing goes to standard output
            break;
        case ':': return failed("option '" + given + "' needs a value (try --help)");
        default: return failed("unknown option '" + given + "' (try --help)");
        }
    }
    if (line.action != Action::run) return line;
    // Where to listen, or how the stub answers, asks for the stub.
    if ((line.options.gdb_dezog || line.options.gdb_address != "127.0.0.1") && line.options.gdb_port == 0)
        line.options.gdb_port = default_gdb_port;
    if (argc - optind > 1) return failed("only one PROGRAM can be loaded (try --help)");
    if (listing_given && !line.options.headless) return failed("--listing is for --headless runs and --list (try --help)");
    if (line.options.list && optind >= argc) return failed("--list needs a PROGRAM to list (try --help)");
    const std::string script_problem = headless_problem(line.options);
    if (!script_problem.empty()) return failed(script_problem);
    if (!line.options.tape.empty()) {
        const TapeImage tape = read_tape_image(line.options.tape);
        if (!tape.problem.empty()) return failed("cannot read the tape " + line.options.tape + ": " + tape_problem(tape));
    }
    if (optind < argc) {
        const std::string program = argv[optind];
        if (tape_file_name(program)) {
            const TapeImage tape = read_tape_image(program);
            if (!tape.problem.empty()) return failed("cannot load " + program + ": " + tape_problem(tape));
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
    if (rom_given) {
        const std::string problem = check_rom_file(line.options.rom).error;
        if (!problem.empty()) return failed("cannot load " + line.options.rom + ": " + problem);
    }
    return line;
}
