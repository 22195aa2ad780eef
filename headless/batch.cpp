#include "batch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>

#include "basic_text.h"
#include "command_line.h"
#include "data_files.h"
#include "key_sequence.h"
#include "program_files.h"
#include "screenshot.h"
#include "tape_files.h"
#include "zx81.h"

namespace {

// How long a key is held and let go: long enough for the ROM to take it, in
// periods of 1/100 s; and what the ROM gets after NEWLINE to enter a line.
constexpr int hold_periods = 10;
constexpr int release_periods = 10;
constexpr int newline_periods = 30;
constexpr int settle_periods = 20;
constexpr int periods_per_second = 100;
// How long the ZX81 may take to show its K prompt, to take a listing line,
// and how long --until-text waits without --run-for, in periods.
constexpr int longest_start = 10 * periods_per_second;
constexpr int longest_line = 10 * periods_per_second;
constexpr int longest_wait_for_text = 600 * periods_per_second;
// The screen is read for --until-text every tenth of a second.
constexpr int text_check_periods = 10;
// The most of a listing that is read.
constexpr size_t longest_listing = 4 * 1024 * 1024;

// Periods are counted in 64 bits: a week of emulated time is 60 million of
// them, and a count that overflowed would run nothing at all.
int64_t periods_in(double seconds) {
    return static_cast<int64_t>(seconds * periods_per_second + 0.5);
}

// A machine of the run's own, run a period at a time, with LOAD and SAVE
// served from the tape folder.
struct Session {
    std::unique_ptr<Zx81> machine = std::make_unique<Zx81>();
    std::string tape_folder = ".";
    bool ntsc = false;

    void run(int64_t periods) {
        for (int64_t i = 0; i < periods; ++i) {
            run_period(*machine);
            const TapeCommand& command = machine->tape.command;
            if (command.action == TapeAction::none) continue;
            // No one to choose a file for LOAD "": it is BREAK.
            if (command.action == TapeAction::load && command.name.empty()) {
                break_tape_command(*machine);
                continue;
            }
            const TapeResult result = serve_tape_command(*machine, tape_folder);
            if (!result.ok) std::fprintf(stderr, "orlix: %s\n", result.message.c_str());
        }
    }

    // Runs until the ZX81 shows its K prompt (or gives up after a while),
    // then a little longer: the ROM reads the keys only once it waits for
    // one, and after a line it has taken it lists the program first.
    void wait_for_prompt() {
        for (int i = 0; i < longest_start && !shows_k_prompt(machine->memory); ++i) run(1);
        run(settle_periods);
    }

    void hold(const std::vector<ZxKey>& keys, int periods) {
        KeyMatrix matrix = no_keys_down;
        for (ZxKey k : keys) press_key(matrix, k);
        set_keys(*machine, matrix);
        run(periods);
    }

    // A key press as a real one: SHIFT down a period before the key and up a
    // period after it.
    void press(const KeyStroke& stroke) {
        if (stroke.keys.empty()) {
            run(periods_in(stroke.wait_seconds));
            return;
        }
        const bool shifted = stroke.keys.size() > 1;
        if (shifted) hold({stroke.keys[0]}, 1);
        hold(stroke.keys, hold_periods);
        if (shifted) hold({stroke.keys[0]}, 1);
        hold({}, stroke.newline ? newline_periods : release_periods);
    }

    // Whether the screen shows `text` on one of its lines.
    bool shows(const std::string& text) {
        for (const std::string& line : screen_text(*machine))
            if (line.find(text) != std::string::npos) return true;
        return false;
    }
};

// Reads the listing's lines from a regular file or standard input, at most
// longest_listing bytes: no ZX81 program comes near it, and standard input
// may be a device that never ends. False, with the reason, when it cannot.
bool read_listing(const std::string& path, std::vector<std::string>& lines, std::string& problem) {
    FILE* file = stdin;
    if (path != "-") {
        // Opened without blocking and looked at once open: only a regular
        // file is read, whatever took the name since the command line was
        // checked.
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
        struct stat info;
        if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            problem = fd < 0 ? std::strerror(errno) : "not a regular file";
            if (fd >= 0) close(fd);
            return false;
        }
        file = fdopen(fd, "rb");
        if (!file) {
            problem = std::strerror(errno);
            close(fd);
            return false;
        }
    }
    std::string text;
    char buffer[65536];
    size_t n = 0;
    while (text.size() <= longest_listing && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    const bool failed = std::ferror(file);
    if (file != stdin) std::fclose(file);
    if (failed) {
        problem = std::strerror(errno ? errno : EIO);
        return false;
    }
    if (text.size() > longest_listing) {
        problem = "longer than " + std::to_string(longest_listing / (1024 * 1024)) +
                  " MB, more than any ZX81 program's listing";
        return false;
    }
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return true;
}

// Types the listing in a line at a time through the ROM's own line entry.
// Returns 0, or the exit status after a line that cannot be read or that
// the ROM does not take.
int type_listing(Session& session, const std::string& path) {
    std::vector<std::string> lines;
    std::string problem;
    if (!read_listing(path, lines, problem)) {
        std::fprintf(stderr, "orlix: cannot read %s: %s\n", path.c_str(), problem.c_str());
        return 2;
    }
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string where = path + " line " + std::to_string(n + 1);
        if (lines[n].find_first_not_of(" \t") == std::string::npos) continue;
        const BasicLine line = read_basic_line(lines[n]);
        if (!line.error.empty()) {
            std::fprintf(stderr, "orlix: %s: %s\n", where.c_str(), line.error.c_str());
            return 1;
        }
        // The ROM lists the program after each line it takes, working past
        // the line being edited: the next goes in once it waits for a key.
        session.wait_for_prompt();
        std::vector<uint8_t> codes;
        for (char digit : std::to_string(line.number)) codes.push_back(static_cast<uint8_t>(0x1C + digit - '0'));
        codes.insert(codes.end(), line.codes.begin(), line.codes.end());
        if (!put_in_edit_line(*session.machine, codes)) {
            std::fprintf(stderr, "orlix: %s: no room left for it in the ZX81's memory\n", where.c_str());
            return 1;
        }
        session.press({{zx_key::newline}, true, 0});
        int waited = 0;
        while (!edit_line_empty(*session.machine) && waited++ < longest_line) session.run(1);
        if (!edit_line_empty(*session.machine)) {
            std::fprintf(stderr, "orlix: %s: the ZX81 does not take line %d (a syntax error):\n", where.c_str(),
                         line.number);
            // The line as the ZX81 shows it, with its mark (%S) where it stopped.
            const std::vector<std::string> screen = screen_text(*session.machine);
            for (size_t row = 16; row < screen.size(); ++row)
                if (!screen[row].empty()) std::fprintf(stderr, "  %s\n", screen[row].c_str());
            return 1;
        }
    }
    return 0;
}

}  // namespace



int run_headless(const Options& options) {
    Session session;
    session.ntsc = options.ntsc;
    Zx81& machine = *session.machine;
    // The caller has chosen and checked the ROM; none found ends the run.
    if (options.rom.empty()) return 2;
    const RomFile rom = read_rom_file(options.rom);
    if (!rom.ok) {
        std::fprintf(stderr, "orlix: cannot load %s\n", options.rom.c_str());
        return 2;
    }
    machine.model = options.model;
    machine.ntsc = options.ntsc;
    machine.ram_kb = options.ram_kb;
    machine.tape.traps = options.known_rom;
    power_up(machine, rom.image);
    session.wait_for_prompt();

    if (!options.program.empty()) {
        session.tape_folder = std::filesystem::path(options.program).parent_path().string();
        const FileResult loaded = load_program(machine, options.program);
        if (!loaded.ok) {
            std::fprintf(stderr, "orlix: cannot load %s: %s\n", options.program.c_str(), loaded.reason.c_str());
            return 2;
        }
        session.run(release_periods);
    }
    if (!options.type_file.empty()) {
        const int status = type_listing(session, options.type_file);
        if (status != 0) return status;
    }
    std::vector<KeyStroke> strokes;
    std::string error;
    read_key_sequence(options.keys, options.ntsc, strokes, error);
    if (!strokes.empty()) session.wait_for_prompt();
    for (const KeyStroke& stroke : strokes) session.press(stroke);

    // The run itself: for the time asked, or until the text shows.
    const double seconds = options.run_for.empty() ? -1 : read_emulated_time(options.run_for, options.ntsc);
    const int64_t periods = seconds >= 0 ? periods_in(seconds)
                                         : (options.until_text.empty() ? 0 : longest_wait_for_text);
    bool found = true;
    if (options.until_text.empty()) {
        session.run(periods);
    } else {
        found = session.shows(options.until_text);
        for (int64_t done = 0; done < periods && !found; done += text_check_periods) {
            session.run(std::min<int64_t>(text_check_periods, periods - done));
            found = session.shows(options.until_text);
        }
    }

    if (options.screen_text)
        for (const std::string& line : screen_text(machine)) std::printf("%s\n", line.c_str());
    if (!options.screenshot.empty()) {
        std::string problem;
        const Layout whole = layout_for(View{full_screen_mode, 0}, Size{0, 0}, true);
        if (!write_screenshot(options.screenshot, latest_frame(machine), whole, colour_table[0], colour_table[7],
                              problem)) {
            std::fprintf(stderr, "orlix: cannot save %s: %s\n", options.screenshot.c_str(), problem.c_str());
            return 2;
        }
    }
    if (!options.save.empty()) {
        const FileResult saved = save_program(machine, options.save);
        if (!saved.ok) {
            std::fprintf(stderr, "orlix: cannot save %s: %s\n", options.save.c_str(), saved.reason.c_str());
            return 2;
        }
    }
    if (!found) {
        std::fprintf(stderr, "orlix: \"%s\" never showed\n", options.until_text.c_str());
        return 1;
    }
    return 0;
}
