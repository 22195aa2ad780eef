#include "tape.h"

#include <algorithm>

#include "zx81.h"

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

// Ends the waiting command: the processor leaves the HALT it was given and
// goes on at `address`, with the stack as the ROM's command left it.
void end_command(Zx81& machine, uint16_t address) {
    machine.cpu.IFF &= static_cast<uint8_t>(~IFF_HALTED);
    machine.cpu.PC.w = address;
    machine.tape.command = {};
}

}  // namespace

uint8_t fetch_in_tape_code(Zx81& machine, uint16_t address) {
    const bool caught = address == save_after_name || address == load_after_name;
    if (!caught || !machine.tape.traps || !machine.known_rom) return machine.memory[address];
    const Z80State& cpu = machine.cpu;
    TapeCommand& command = machine.tape.command;
    // Kept on the HALT, the processor fetches here again until the command
    // is served.
    if (command.action != TapeAction::none) return halt_opcode;
    command.action = address == save_after_name ? TapeAction::save : TapeAction::load;
    command.name.clear();
    // LOAD "" comes with carry set. Otherwise DE holds the name's first
    // character and BC one less than its length; the ROM has set bit 7 of
    // its last. The whole name is taken, so that an inverse character
    // inside it, which would end the name on a real tape, can be told.
    const bool empty = command.action == TapeAction::load && (cpu.AF.b.l & FLAG_C);
    if (!empty) {
        const size_t length = std::min<size_t>(cpu.BC.w + 1u, longest_file_name + 1);
        for (size_t i = 0; i < length; ++i)
            command.name.push_back(
                machine.memory[decoded(machine.address_map, static_cast<uint16_t>(cpu.DE.w + i))]);
    }
    return halt_opcode;
}

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

void finish_tape_command(Zx81& machine) {
    if (machine.tape.command.action != TapeAction::none) end_command(machine, slow_fast_check);
}

void finish_tape_load(Zx81& machine, const ProgramImage& image) {
    put_program(machine, image);
    end_command(machine, slow_fast_check);
}

void break_tape_command(Zx81& machine) {
    if (machine.tape.command.action != TapeAction::none) end_command(machine, break_report);
}
