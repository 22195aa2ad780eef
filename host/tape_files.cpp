#include "tape_files.h"

#include "basic_text.h"

#include <cctype>
#include <filesystem>

#include "file_output.h"
#include "program_files.h"
#include "tape_images.h"
#include "zx81.h"

namespace fs = std::filesystem;

namespace {

constexpr uint8_t end_mark = 0x80;
// Where a tape is wound to for the ROM to load a program on it: this much
// before the program, in the silence the loader needs to see it start.
constexpr uint64_t silence_before_next = 500 * cycles_per_ms;
constexpr size_t longest_file_name = 255;

// The host form of a ZX81 character code 0-63 in a file name: space, the
// symbols, digits and letters, as the ZX81's character set has them;
// graphics have none, nor has '/', which Linux keeps for folders.
std::string host_character(uint8_t code) {
    constexpr uint8_t slash = 0x18, first_symbol = 0x0B;
    if (code == slash || (code > 0 && code < first_symbol)) return {};
    return zx81_text(code);
}

// A name character without its end mark; 0xFF for the codes that are no
// characters (keywords, NEWLINE and the like).
uint8_t character_code(uint8_t byte) {
    const uint8_t code = byte & static_cast<uint8_t>(~end_mark);
    return code < 64 ? code : 0xFF;
}


std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool ends_as_program(const std::string& name) {
    const std::string up = upper(name);
    return up.ends_with(".P") || up.ends_with(".81");
}

TapeResult failed(Zx81& machine, std::string message, std::string path = {}) {
    break_tape_command(machine);
    return {false, std::move(path), std::move(message)};
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

// Whether `file` in `folder` exists in any case of its name.
bool folder_holds(const std::string& folder, const std::string& file) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
        if (upper(entry.path().filename().string()) == upper(file)) return true;
    return false;
}

TapeProgram to_write(const Zx81& machine, const ProgramImage& image) {
    return {machine.tape.command.name, image.bytes, 0, 0};
}

TapeResult save_by_name(Zx81& machine, const std::string& folder, SaveChoice save) {
    const HostName host = host_file_name(machine.tape.command.name);
    const std::string shown = printable_name(machine.tape.command.name);
    if (!host.problem.empty()) return failed(machine, "Cannot save " + shown + "\n" + host.problem);
    if (!save.chosen) {
        save.format = folder_holds(folder, host.name + ".WAV")   ? SaveFormat::wav
                      : folder_holds(folder, host.name + ".TZX") ? SaveFormat::tzx
                                                                  : SaveFormat::program;
    }
    const char* ending = save.format == SaveFormat::wav ? ".WAV" : save.format == SaveFormat::tzx ? ".TZX" : ".P";
    const std::string file = save.format == SaveFormat::program && ends_as_program(host.name) ? host.name
                                                                                              : host.name + ending;
    // A file already there in another case is written under its own name.
    std::string path = (fs::path(folder) / file).string();
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
        if (upper(entry.path().filename().string()) == upper(file)) path = entry.path().string();
    FileResult saved;
    if (save.format == SaveFormat::program) {
        saved = save_program(machine, path);
    } else {
        const ProgramImage image = program_in_memory(machine);
        saved = !image.result.ok                     ? image.result
                : save.format == SaveFormat::wav ? write_tape_wav(path, to_write(machine, image))
                                                 : write_tape_tzx(path, to_write(machine, image));
    }
    if (!saved.ok) return failed(machine, "Cannot save " + path + "\n" + saved.reason, path);
    finish_tape_command(machine);
    return {true, path, {}};
}

// The next program on the deck's tape after its place: the one named (all
// of the name, its end mark too, as the ROM compares it), or any for an
// empty name. Null when there is none.
const TapeProgram* next_on_deck(const std::vector<TapeProgram>& programs, const TapeDeck& deck,
                                const std::vector<uint8_t>& name) {
    const uint64_t place = tape_position(deck);
    for (const TapeProgram& program : programs)
        if (program.start >= place && (name.empty() || program.name == name)) return &program;
    return nullptr;
}

// The programs on the deck's tape: as its file was read, or for a tape of
// no file, read from its signal.
std::vector<TapeProgram> programs_on(const TapeDeck& deck) {
    return deck.programs.empty() ? decode_signal(deck.tape).programs : deck.programs;
}

// Puts a tape read from a file into the deck, with its programs.
void insert_image(Zx81& machine, TapeImage& tape, const std::string& path) {
    insert_tape(machine.tape.deck, std::move(tape.signal), path);
    machine.tape.deck.programs = std::move(tape.programs);
}

// LOAD from the tape in the deck, as a real LOAD would find it, at once.
// Nothing when the program is not on it after its place.
bool load_from_deck(Zx81& machine, TapeResult& result) {
    TapeDeck& deck = machine.tape.deck;
    if (deck.tape.stretches.empty()) return false;
    const std::vector<TapeProgram> programs = programs_on(deck);
    const TapeProgram* program = next_on_deck(programs, deck, machine.tape.command.name);
    if (!program) return false;
    const ProgramImage image = check_program_image(program->data, machine.ram_kb);
    if (!image.result.ok) {
        result = failed(machine, "Cannot load from " + deck.name + "\n" + image.result.reason, deck.name);
        return true;
    }
    wind_tape(deck, program->end);
    finish_tape_load(machine, image);
    result = {true, deck.name, {}};
    return true;
}

TapeResult load_by_name(Zx81& machine, const std::string& folder) {
    const HostName host = host_file_name(machine.tape.command.name);
    const std::string shown = printable_name(machine.tape.command.name);
    if (!host.problem.empty()) return failed(machine, "Cannot load " + shown + "\n" + host.problem);
    TapeResult from_deck;
    if (load_from_deck(machine, from_deck)) return from_deck;
    const TapeFile file = find_tape_file(folder, host.name);
    const std::string where = fs::absolute(folder).lexically_normal().string();
    if (!file.problem.empty()) return failed(machine, "Cannot load " + host.name + "\n" + where + ": " + file.problem);
    if (file.path.empty()) {
        const std::string deck = machine.tape.deck.tape.stretches.empty()
                                     ? ""
                                     : "\nand it is not on the tape in the deck after its place";
        return failed(machine, "Cannot load " + host.name + "\nno " + host.name + ".P, .81, .P81, .TZX or .WAV in " +
                                   where + deck);
    }
    return load_tape_file(machine, file.path);
}

// A tape file read, or why not.
TapeImage read_tape(const std::string& path, std::string* warnings) {
    TapeImage image = read_tape_image(path);
    if (warnings) *warnings = joined(image.warnings);
    return image;
}

}  // namespace

HostName host_file_name(const std::vector<uint8_t>& zx81_name) {
    std::string name;
    for (size_t i = 0; i < zx81_name.size(); ++i) {
        const uint8_t byte = zx81_name[i];
        const uint8_t code = character_code(byte);
        // Bit 7 of the last character is the ROM's end mark. Anywhere else
        // it is the user's: the full block (an inverse space) is a graphic,
        // the rest are inverse characters, at the first of which a real
        // tape's name would end.
        const bool inverse = (byte & end_mark) && i + 1 < zx81_name.size();
        if (inverse && code == 0) return {{}, "a file name cannot hold graphics"};
        if (inverse && code != 0xFF)
            return {{}, "a file name cannot hold inverse characters (on a ZX81's tape the name would end at the "
                        "first one)"};
        const std::string shown = code == 0xFF ? std::string() : host_character(code);
        if (shown.empty()) {
            const char* what = code == 0x18 ? "'/'" : code == 0xFF ? "keywords or control codes" : "graphics";
            return {{}, std::string("a file name cannot hold ") + what};
        }
        name += shown;
    }
    if (name.empty()) return {{}, "the name is empty"};
    if (name.size() + 3 > longest_file_name) return {{}, "the name is too long for a file name"};
    return {name, {}};
}

std::string printable_name(const std::vector<uint8_t>& zx81_name) {
    std::string text;
    for (uint8_t byte : zx81_name) {
        const uint8_t code = character_code(byte);
        const std::string shown = code == 0xFF ? std::string() : host_character(code);
        if (code == 0x18)
            text += '/';
        else
            text += shown.empty() ? "?" : shown;
    }
    return text;
}


TapeFile find_tape_file(const std::string& folder, const std::string& name) {
    // In order of preference; the last only for a name that is a file name
    // already.
    std::vector<std::string> wanted = {name + ".P",   name + ".p",   name + ".81",
                                       name + ".P81", name + ".TZX", name + ".WAV"};
    if (ends_as_program(name)) wanted.push_back(name);
    std::vector<std::string> found(wanted.size());
    std::error_code error;
    fs::directory_iterator listing(folder, error);
    if (error) return {{}, error.message()};
    for (const fs::directory_entry& entry : listing) {
        const std::string file = entry.path().filename().string();
        for (size_t i = 0; i < wanted.size(); ++i) {
            const bool exact = file == wanted[i];
            // The exact name first, then the first in order of any case.
            const bool better = found[i].empty() || exact || (found[i] != wanted[i] && file < found[i]);
            if ((exact || upper(file) == upper(wanted[i])) && better) found[i] = file;
        }
    }
    for (const std::string& file : found)
        if (!file.empty()) return {(fs::path(folder) / file).string(), {}};
    return {};
}

bool deck_has_next_program(const Zx81& machine) {
    const TapeDeck& deck = machine.tape.deck;
    if (deck.tape.stretches.empty()) return false;
    return next_on_deck(programs_on(deck), deck, {}) != nullptr;
}

TapeResult serve_tape_command(Zx81& machine, const std::string& folder, SaveChoice save) {
    switch (machine.tape.command.action) {
    case TapeAction::save: return save_by_name(machine, folder, save);
    case TapeAction::load:
        if (machine.tape.command.name.empty()) {
            TapeResult from_deck;
            if (load_from_deck(machine, from_deck)) return from_deck;
            return {false, {}, "LOAD \"\" needs a file chosen"};
        }
        return load_by_name(machine, folder);
    case TapeAction::none: break;
    }
    return {false, {}, "no LOAD or SAVE is waiting"};
}

TapeResult load_tape_file(Zx81& machine, const std::string& path) {
    if (machine.tape.command.action != TapeAction::load) return {false, path, "no LOAD is waiting"};
    if (!tape_file_name(path)) {
        const ProgramImage image = read_program_file(path, machine.ram_kb);
        if (!image.result.ok) return failed(machine, "Cannot load " + path + "\n" + image.result.reason, path);
        finish_tape_load(machine, image);
        return {true, path, {}};
    }
    TapeImage tape = read_tape(path, nullptr);
    if (!tape.problem.empty()) return failed(machine, "Cannot load " + path + "\n" + tape.problem, path);
    // The program of the name asked for, else the first; the tape in the
    // deck after it, for what the program loads next.
    const std::vector<uint8_t>& name = machine.tape.command.name;
    const TapeProgram* program = &tape.programs.front();
    for (const TapeProgram& p : tape.programs)
        if (p.name == name) {
            program = &p;
            break;
        }
    const ProgramImage image = check_program_image(program->data, machine.ram_kb);
    if (!image.result.ok) return failed(machine, "Cannot load " + path + "\n" + image.result.reason, path);
    const uint64_t after = program->end ? program->end : tape.signal.length();
    insert_image(machine, tape, path);
    wind_tape(machine.tape.deck, after);
    finish_tape_load(machine, image);
    return {true, path, {}};
}

namespace {

// A tape the ROM's own loader is to play: one whose programs could not be
// read still goes into the deck, with why in the warnings.
bool playable_by_rom(const Zx81& machine, TapeImage& tape, std::string* warnings) {
    if (tape.problem.empty()) return true;
    if (machine.tape.traps || !tape.playable) return false;
    if (warnings) *warnings = tape.problem + (warnings->empty() ? "" : "\n" + *warnings);
    return true;
}

}  // namespace

TapeResult insert_tape_file(Zx81& machine, const std::string& path, std::string* warnings) {
    TapeImage tape = read_tape(path, warnings);
    if (!playable_by_rom(machine, tape, warnings))
        return {false, path, "Cannot read the tape " + path + "\n" + tape.problem};
    insert_image(machine, tape, path);
    return {true, path, {}};
}

TapeResult open_tape(Zx81& machine, const std::string& path, std::string* warnings) {
    return open_read_tape(machine, path, read_tape(path, warnings), 0, warnings);
}

TapeResult open_read_tape(Zx81& machine, const std::string& path, TapeImage tape, size_t which,
                          std::string* warnings) {
    if (!playable_by_rom(machine, tape, warnings)) return {false, path, "Cannot load " + path + "\n" + tape.problem};
    if (!machine.tape.traps) {
        // The ROM's LOAD "" is to find the program chosen next: the tape
        // stands in the silence before it.
        const uint64_t place = which > 0 && which < tape.programs.size()
                                   ? std::max(tape.programs[which - 1].end, tape.programs[which].start - silence_before_next)
                                   : 0;
        insert_image(machine, tape, path);
        wind_tape(machine.tape.deck, place);
        return {true, path, {}};
    }
    if (which >= tape.programs.size()) return {false, path, "Cannot load " + path + "\nno such program on the tape"};
    const TapeProgram& program = tape.programs[which];
    const ProgramImage image = check_program_image(program.data, machine.ram_kb);
    if (!image.result.ok) return {false, path, "Cannot load " + path + "\n" + image.result.reason};
    const uint64_t after = program.end ? program.end : tape.signal.length();
    insert_image(machine, tape, path);
    wind_tape(machine.tape.deck, after);
    start_program(machine, image);
    return {true, path, {}};
}

bool saveable_file_name(const std::string& name) {
    return program_file_name(name) || tape_file_name(name);
}

FileResult save_program_file(const Zx81& machine, const std::string& path) {
    if (!tape_file_name(path)) return save_program(machine, path);
    const ProgramImage image = program_in_memory(machine);
    if (!image.result.ok) return image.result;
    std::vector<uint8_t> name = tape_name_of(fs::path(path).stem().string());
    if (name.empty()) name = tape_name_of("PROGRAM");
    const TapeProgram program{name, image.bytes, 0, 0};
    const std::string ending = upper(fs::path(path).extension().string());
    if (ending == ".WAV") return write_tape_wav(path, program);
    if (ending == ".TZX") return write_tape_tzx(path, program);
    return write_tape_p81(path, program);
}

TapeResult load_program_file(Zx81& machine, const std::string& path, std::string* warnings) {
    if (tape_file_name(path)) return open_tape(machine, path, warnings);
    const FileResult loaded = load_program(machine, path);
    if (!loaded.ok) return {false, path, "Cannot load " + path + "\n" + loaded.reason};
    return {true, path, {}};
}

TapeResult serve_tape_request(Zx81& machine, const TapeRequest& request, bool& broken) {
    broken = false;
    const TapeCommand& command = machine.tape.command;
    if (command.action != TapeAction::load || !command.name.empty() || deck_has_next_program(machine))
        return serve_tape_command(machine, request.folder, request.save);
    const std::optional<std::string> chosen = request.choose ? request.choose() : std::nullopt;
    if (chosen) return load_tape_file(machine, *chosen);
    break_tape_command(machine);
    broken = true;
    return {true, {}, {}};
}
