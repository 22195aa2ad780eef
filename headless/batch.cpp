#include "batch.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "basic_text.h"
#include "command_line.h"
#include "data_files.h"
#include "key_sequence.h"
#include "listing_entry.h"
#include "program_files.h"
#include "printer_pages.h"
#include "screenshot.h"
#include "session.h"
#include "tape_images.h"

namespace {

// How long --until-text waits without --run-for, in periods, and how often
// it reads the screen.
constexpr int longest_wait_for_text = 600 * periods_per_second;
constexpr int text_check_periods = 10;
// What a loaded program gets before the keys come.
constexpr int settle_after_load = 10;
// --audio: 16-bit mono at 44.1 kHz.
constexpr int audio_file_rate = 44100;

// Runs for the time asked, or until the text shows; false when the text
// never showed.
bool run_for(Session& session, const Options& options) {
    const double seconds = options.run_for.empty() ? -1 : read_emulated_time(options.run_for, options.ntsc);
    const int64_t periods = seconds >= 0 ? periods_in(seconds)
                                         : (options.until_text.empty() ? 0 : longest_wait_for_text);
    if (options.until_text.empty()) {
        session.run(periods);
        return true;
    }
    bool found = session.shows(options.until_text);
    for (int64_t done = 0; done < periods && !found; done += text_check_periods) {
        session.run(std::min<int64_t>(text_check_periods, periods - done));
        found = session.shows(options.until_text);
    }
    return found;
}

// The emulated time a run is set to last at least: --run-for (or the
// longest wait for --until-text) and the waits in --keys.
double planned_seconds(const Options& options) {
    double seconds = options.run_for.empty() ? (options.until_text.empty() ? 0 : static_cast<double>(longest_wait_for_text) / periods_per_second)
                                             : read_emulated_time(options.run_for, options.ntsc);
    std::vector<KeyStroke> strokes;
    std::string error;
    read_key_sequence(options.keys, options.ntsc, strokes, error);
    for (const KeyStroke& stroke : strokes) seconds += stroke.wait_seconds;
    return seconds;
}

// What the run leaves: the screen as text, a picture of it, the program.
// Returns 0, or 2 for a file that cannot be written.
int write_results(Session& session, const Options& options) {
    Zx81& machine = *session.machine;
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
    if (!options.audio.empty()) {
        const FileResult recorded = session.recording->finish();
        if (!recorded.ok) {
            std::fprintf(stderr, "orlix: cannot save %s: %s\n", options.audio.c_str(), recorded.reason.c_str());
            return 2;
        }
    }
    if (options.printer && !options.list) {
        PrinterPages pages{options.printer_file, {}};
        const PageWritten printed = serve_printer(machine, pages, std::time(nullptr), true);
        if (printed.path.empty()) {
            std::fprintf(stderr, "orlix: nothing was printed; %s not written\n", options.printer_file.c_str());
        } else if (!printed.problem.empty()) {
            std::fprintf(stderr, "orlix: cannot save %s: %s\n", printed.path.c_str(), printed.problem.c_str());
            return 2;
        }
    }
    if (!options.save.empty()) {
        const FileResult saved = save_program_file(machine, options.save);
        if (!saved.ok) {
            std::fprintf(stderr, "orlix: cannot save %s: %s\n", options.save.c_str(), saved.reason.c_str());
            return 2;
        }
    }
    return 0;
}

// A tape or program from the command line put into the machine: what
// reading it found wrong goes to standard error, a line each, and so does
// why it cannot be used (false).
bool usable(const std::string& file, const TapeResult& result, const std::string& warnings) {
    size_t start = 0;
    while (start < warnings.size()) {
        const size_t end = std::min(warnings.find('\n', start), warnings.size());
        std::fprintf(stderr, "orlix: %s: %s\n", file.c_str(), warnings.substr(start, end - start).c_str());
        start = end + 1;
    }
    if (result.ok) return true;
    std::string message = result.message;
    const size_t line_end = message.find('\n');
    if (line_end != std::string::npos) message.replace(line_end, 1, ": ");
    std::fprintf(stderr, "orlix: %s\n", message.c_str());
    return false;
}

int run_script(Session& session, const Options& options) {
    Zx81& machine = *session.machine;
    // The caller has chosen and checked the ROM; none found ends the run.
    if (options.rom.empty()) return 2;
    const RomFile rom = read_rom_file(options.rom);
    if (!rom.ok) {
        std::fprintf(stderr, "orlix: cannot load %s\n", options.rom.c_str());
        return 2;
    }
    // A listing of a program needs the ROM only for its numbers.
    MachineOptions built = options;
    if (options.list) built.model = Model::simple;
    configure(machine, built);
    // Everything the machine plays, from power-up on, goes to --audio.
    machine.sound.frame_syncs = options.sound == SoundMode::mic;
    machine.sound.volume = options.sound == SoundMode::off ? 0 : 1;
    if (!options.audio.empty() && !options.list) {
        // Refused before the run when its sound certainly cannot fit.
        const double seconds = planned_seconds(options);
        if (seconds * audio_file_rate * 2 > static_cast<double>(most_wav_bytes)) {
            std::fprintf(stderr, "orlix: cannot write %s: %.0f s of sound is more than a WAV file holds (4 GiB: "
                                 "about 13.5 hours at 44.1 kHz)\n",
                         options.audio.c_str(), seconds);
            return 2;
        }
        std::string problem;
        session.recording = AudioRecording::begin(options.audio, audio_file_rate, problem);
        if (!session.recording) {
            std::fprintf(stderr, "orlix: cannot write %s: %s\n", options.audio.c_str(), problem.c_str());
            return 2;
        }
        machine.sound.sample_rate = audio_file_rate;
    }
    power_up(machine, rom.image);
    if (session.debugger) {
        // The debugger sees the ZX81 from its first instruction on.
        std::fprintf(stderr, "orlix: waiting for a debugger on %s\n", session.debugger->where().c_str());
        session.debugger->wait_for_client(machine);
    }
    session.wait_for_prompt();
    if (options.list) return print_listing(session, options);

    session.save = options.save_format;
    std::string tape_warnings, program_warnings;
    if (!options.tape.empty() &&
        !usable(options.tape, insert_tape_file(machine, options.tape, &tape_warnings), tape_warnings))
        return 2;
    if (!options.program.empty()) {
        session.tape_folder = std::filesystem::path(options.program).parent_path().string();
        const TapeResult loaded = load_program_file(machine, options.program, &program_warnings);
        if (!usable(options.program, loaded, program_warnings)) return 2;
        session.run(settle_after_load);
    }
    if (!options.type_file.empty()) {
        const int status = type_listing(session, options.type_file, options.listing);
        if (status != 0) return status;
    }
    std::vector<KeyStroke> strokes;
    std::string error;
    read_key_sequence(options.keys, options.ntsc, strokes, error);
    if (!strokes.empty()) session.wait_for_prompt();
    for (size_t i = 0; i < strokes.size(); ++i) {
        std::vector<ZxKey> given_up;
        if (session.press(strokes[i], given_up)) continue;
        std::fprintf(stderr, "orlix: --keys, key %zu: the ZX81 never took %s (nothing read the keyboard for %g s)\n",
                     i + 1, key_name(given_up.front()).c_str(),
                     static_cast<double>(machine.key_feeder.give_up_after) / key_cycles_per_ms / 1000);
        return 1;
    }

    const bool found = run_for(session, options);
    session.answer_debugger();
    const int written = write_results(session, options);
    if (written != 0) return written;
    if (!found) {
        std::fprintf(stderr, "orlix: \"%s\" never showed\n", options.until_text.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int list_tape(const std::string& path) {
    const TapeImage tape = read_tape_image(path);
    for (const std::string& warning : tape.warnings)
        std::fprintf(stderr, "orlix: %s: %s\n", path.c_str(), warning.c_str());
    if (!tape.problem.empty()) std::fprintf(stderr, "orlix: %s: %s\n", path.c_str(), tape.problem.c_str());
    if (!tape.playable && tape.programs.empty()) return 2;
    const size_t count = tape.programs.size();
    std::printf("%s: %zu program%s, %.3f s of tape\n", path.c_str(), count, count == 1 ? "" : "s",
                static_cast<double>(tape.signal.length()) / processor_clock);
    for (size_t i = 0; i < count; ++i) {
        const TapeProgram& program = tape.programs[i];
        std::printf("%3zu  %-20s %6zu bytes  at %.3f s\n", i + 1, printable_name(program.name).c_str(),
                    program.data.size(), static_cast<double>(program.start) / processor_clock);
    }
    return count > 0 ? 0 : 1;
}

int run_headless(const Options& options) {
    Session session;
    std::unique_ptr<GdbStub> debugger;
    if (options.gdb && !options.list) {
        std::string problem;
        debugger = GdbStub::listen(gdb_settings(options.gdb_port, options.gdb_address, options.gdb_dezog), problem);
        if (!debugger) {
            std::fprintf(stderr, "orlix: %s\n", problem.c_str());
            return 2;
        }
        session.debugger = debugger.get();
    }
    const int status = run_script(session, options);
    if (debugger) debugger->finish(status);
    return status;
}
