#include "tape.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "zx81.h"

namespace fs = std::filesystem;

namespace {

constexpr uint8_t halt_opcode = 0x76;
// Where a finished LOAD or SAVE goes on (the ROM's SLOW/FAST check, which
// returns to the statement loop), and where BREAK during one stops: RST 8
// with report D.
constexpr uint16_t slow_fast_check = 0x0207;
constexpr uint16_t break_report = 0x03A2;

constexpr uint8_t end_mark = 0x80;
constexpr size_t longest_file_name = 255;

// The host form of each ZX81 character code 0-63 that can be part of a
// file name: space, the symbols, digits and letters. Graphics have none, nor
// has '/', which Linux keeps for folders.
constexpr const char* host_characters[64] = {
    " ",  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, "\"", "\u00a3", "$", ":", "?",
    "(", ")", ">", "<", "=", "+", "-", "*",
    nullptr, ";", ",", ".", "0", "1", "2", "3",
    "4", "5", "6", "7", "8", "9", "A", "B",
    "C", "D", "E", "F", "G", "H", "I", "J",
    "K", "L", "M", "N", "O", "P", "Q", "R",
    "S", "T", "U", "V", "W", "X", "Y", "Z",
};

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

// Ends the waiting command: the processor leaves the HALT it was given and
// goes on at `address`, with the stack as the ROM's command left it.
void end_command(Zx81& machine, uint16_t address) {
    machine.cpu.IFF &= static_cast<uint8_t>(~IFF_HALTED);
    machine.cpu.PC.w = address;
    machine.tape.command = {};
}

TapeResult failed(Zx81& machine, std::string message, std::string path = {}) {
    break_tape_command(machine);
    return {false, std::move(path), std::move(message)};
}

TapeResult save_by_name(Zx81& machine, const std::string& folder) {
    const HostName host = host_file_name(machine.tape.command.name);
    const std::string shown = printable_name(machine.tape.command.name);
    if (!host.problem.empty()) return failed(machine, "Cannot save " + shown + "\n" + host.problem);
    const std::string file = ends_as_program(host.name) ? host.name : host.name + ".P";
    const std::string path = (fs::path(folder) / file).string();
    const FileResult saved = save_program(machine, path);
    if (!saved.ok) return failed(machine, "Cannot save " + path + "\n" + saved.reason, path);
    end_command(machine, slow_fast_check);
    return {true, path, {}};
}

TapeResult load_by_name(Zx81& machine, const std::string& folder) {
    const HostName host = host_file_name(machine.tape.command.name);
    const std::string shown = printable_name(machine.tape.command.name);
    if (!host.problem.empty()) return failed(machine, "Cannot load " + shown + "\n" + host.problem);
    const std::string path = find_tape_file(folder, host.name);
    if (path.empty())
        return failed(machine, "Cannot load " + host.name + "\nno " + host.name + ".P or " + host.name +
                                   ".81 in " + fs::absolute(folder).lexically_normal().string());
    return load_tape_file(machine, path);
}

}  // namespace

uint8_t fetch_in_tape_code(Zx81& machine, uint16_t address) {
    const bool caught = address == save_after_name || address == load_after_name;
    if (!caught || !machine.tape.traps) return machine.memory[address];
    const Z80State& cpu = machine.cpu;
    TapeCommand& command = machine.tape.command;
    // Kept on the HALT, the processor fetches here again until the command
    // is served.
    if (command.action != TapeAction::none) return halt_opcode;
    command.action = address == save_after_name ? TapeAction::save : TapeAction::load;
    command.name.clear();
    // LOAD "" comes with carry set. Otherwise DE holds the name's first
    // character and BC one less than its length; the ROM has set bit 7 of
    // its last, and a real tape takes the name only up to the first such.
    const bool empty = command.action == TapeAction::load && (cpu.AF.b.l & FLAG_C);
    if (!empty) {
        const size_t length = std::min<size_t>(cpu.BC.w + 1u, longest_file_name + 1);
        for (size_t i = 0; i < length; ++i) {
            const uint8_t byte = machine.memory[decoded(machine.address_map, static_cast<uint16_t>(cpu.DE.w + i))];
            command.name.push_back(byte);
            if (byte & end_mark) break;
        }
    }
    return halt_opcode;
}

HostName host_file_name(const std::vector<uint8_t>& zx81_name) {
    std::string name;
    for (uint8_t byte : zx81_name) {
        const uint8_t code = character_code(byte);
        if (code == 0xFF || !host_characters[code]) {
            const char* what = code == 0x18 ? "'/'" : code == 0xFF ? "keywords or control codes" : "graphics";
            return {{}, std::string("a file name cannot hold ") + what};
        }
        name += host_characters[code];
    }
    if (name.empty()) return {{}, "the name is empty"};
    if (name.size() + 3 > longest_file_name) return {{}, "the name is too long for a file name"};
    return {name, {}};
}

std::string printable_name(const std::vector<uint8_t>& zx81_name) {
    std::string text;
    for (uint8_t byte : zx81_name) {
        const uint8_t code = character_code(byte);
        if (code == 0x18)
            text += '/';
        else
            text += code != 0xFF && host_characters[code] ? host_characters[code] : "?";
    }
    return text;
}

std::string find_tape_file(const std::string& folder, const std::string& name) {
    // In order of preference; the last only for a name that is a file name
    // already.
    std::vector<std::string> wanted = {name + ".P", name + ".p", name + ".81"};
    if (ends_as_program(name)) wanted.push_back(name);
    std::vector<std::string> found(wanted.size());
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const std::string file = entry.path().filename().string();
        for (size_t i = 0; i < wanted.size(); ++i) {
            const bool exact = file == wanted[i];
            // The exact name first, then the first in order of any case.
            const bool better = found[i].empty() || exact || (found[i] != wanted[i] && file < found[i]);
            if ((exact || upper(file) == upper(wanted[i])) && better) found[i] = file;
        }
    }
    for (const std::string& file : found)
        if (!file.empty()) return (fs::path(folder) / file).string();
    return {};
}

TapeResult serve_tape_command(Zx81& machine, const std::string& folder) {
    switch (machine.tape.command.action) {
    case TapeAction::save: return save_by_name(machine, folder);
    case TapeAction::load:
        if (machine.tape.command.name.empty()) return {false, {}, "LOAD \"\" needs a file chosen"};
        return load_by_name(machine, folder);
    case TapeAction::none: break;
    }
    return {false, {}, "no LOAD or SAVE is waiting"};
}

TapeResult load_tape_file(Zx81& machine, const std::string& path) {
    if (machine.tape.command.action != TapeAction::load) return {false, path, "no LOAD is waiting"};
    const ProgramImage image = read_program_file(path, machine.ram_kb);
    if (!image.result.ok) return failed(machine, "Cannot load " + path + "\n" + image.result.reason, path);
    put_program(machine, image);
    end_command(machine, slow_fast_check);
    return {true, path, {}};
}

void break_tape_command(Zx81& machine) {
    if (machine.tape.command.action != TapeAction::none) end_command(machine, break_report);
}
