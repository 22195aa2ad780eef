#include "basic_text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "rom_addresses.h"
#include "zx81.h"

namespace {

using namespace zx81_code;

// The ZX81's characters 0x00-0x3F as text: space, the block graphics and
// the grey ones (see below), then the symbols, digits and letters.
constexpr std::array<std::string_view, 64> character_text = {
    " ", "\u2598", "\u259D", "\u2580", "\u2596", "\u258C", "\u259E", "\u259B",
    "\u2592", "\U0001FB8F", "\U0001FB8E", "\"", "£", "$", ":", "?",
    "(", ")", ">", "<", "=", "+", "-", "*", "/", ";", ",", ".", "0", "1", "2", "3",
    "4", "5", "6", "7", "8", "9", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J",
    "K", "L", "M", "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z"};

// The keyword tokens 0xC0-0xFF as the ROM lists them, then 0x40-0x42.
constexpr std::array<std::string_view, 64> tokens_c0 = {
    "\"\"", "AT", "TAB", "?", "CODE", "VAL", "LEN", "SIN", "COS", "TAN", "ASN", "ACS", "ATN",
    "LN", "EXP", "INT", "SQR", "SGN", "ABS", "PEEK", "USR", "STR$", "CHR$", "NOT", "**", "OR",
    "AND", "<=", ">=", "<>", "THEN", "TO", "STEP", "LPRINT", "LLIST", "STOP", "SLOW", "FAST",
    "NEW", "SCROLL", "CONT", "DIM", "REM", "FOR", "GOTO", "GOSUB", "INPUT", "LOAD", "LIST",
    "LET", "PAUSE", "NEXT", "POKE", "PRINT", "PLOT", "RUN", "SAVE", "RAND", "IF", "CLS",
    "UNPLOT", "CLEAR", "RETURN", "COPY"};
constexpr std::array<std::string_view, 3> tokens_40 = {"RND", "INKEY$", "PI"};

// The blocks of the inverse graphics, by their quarters: 0x80-0x87.
constexpr std::array<std::string_view, 8> inverse_blocks = {"\u2588", "\u259F", "\u2599", "\u2584",
                                                            "\u259C", "\u2590", "\u259A", "\u2597"};

}  // namespace

std::string_view token_text(uint8_t code) {
    if (code >= 0xC0) return tokens_c0[code - 0xC0];
    if (code >= 0x40 && code < 0x40 + tokens_40.size()) return tokens_40[code - 0x40];
    return {};
}

std::string zx81_text(uint8_t code) {
    const uint8_t plain = code & static_cast<uint8_t>(~inverse);
    if (plain >= 64) return "?";
    // An inverse block graphic is the block of the other quarters.
    if (plain <= 0x07 && (code & inverse)) return std::string(inverse_blocks[plain]);
    return std::string((code & inverse) ? "%" : "") + std::string(character_text[plain]);
}

int zx81_code_of(char c) {
    static const std::array<int, 128> codes = [] {
        std::array<int, 128> table;
        table.fill(-1);
        for (int code = 0; code < 64; ++code) {
            const std::string_view text = character_text[static_cast<size_t>(code)];
            if (text.size() == 1) table[static_cast<unsigned char>(text[0])] = code;
        }
        return table;
    }();
    const auto u = static_cast<unsigned char>(c);
    return u < 128 ? codes[u] : -1;
}

char ascii_of(uint8_t code) {
    const std::string_view text = code < 64 ? character_text[code] : "?";
    return text.size() == 1 && code < 64 ? text[0] : 0;
}

namespace {

// The character whose glyph, plain or inverse, the cell at (column, row) of
// the picture shows; -1 for none.
int code_in_cell(const Zx81& machine, const Frame& frame, int column, int row) {
    uint8_t cell[8];
    for (int y = 0; y < 8; ++y) cell[y] = picture_byte(frame, column, 8 * row + y);
    for (int code = 0; code < 64; ++code) {
        const uint8_t* glyph = &machine.memory[static_cast<size_t>(rom::character_set + 8 * code)];
        bool plain = true, inverted = true;
        for (int y = 0; y < 8; ++y) {
            plain = plain && cell[y] == glyph[y];
            inverted = inverted && cell[y] == static_cast<uint8_t>(~glyph[y]);
        }
        if (plain) return code;
        if (inverted) return code | inverse;
    }
    return -1;
}

}  // namespace

std::vector<std::string> screen_text(Zx81& machine) {
    std::vector<std::string> lines;
    const Frame& frame = latest_frame(machine);
    for (int row = 0; row < 24; ++row) {
        std::string line;
        for (int column = 0; column < 32; ++column) {
            const int code = machine.model == Model::simple ? display_code(machine.memory, column, row)
                                                            : code_in_cell(machine, frame, column, row);
            line += code < 0 ? "?" : zx81_text(static_cast<uint8_t>(code));
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool put_in_edit_line(Zx81& machine, const std::vector<uint8_t>& codes) {
    Memory& memory = machine.memory;
    const uint16_t edit_line = word_at(memory, sysvar::e_line);
    const uint16_t stack_end = word_at(memory, sysvar::stkend);
    const size_t n = codes.size();
    // Room for the codes between the calculator's stack and the machine's.
    if (stack_end < edit_line || stack_end + n + 64 > machine.cpu.SP.w) return false;
    // The cursor and everything after it move up, and so do the pointers to
    // them: CH_ADD (the cursor), X_PTR, STKBOT and STKEND.
    const uint16_t cursor_at = static_cast<uint16_t>(
        std::find(memory.begin() + edit_line, memory.begin() + stack_end, cursor) - memory.begin());
    std::memmove(&memory[cursor_at + n], &memory[cursor_at], stack_end - cursor_at);
    std::memcpy(&memory[cursor_at], codes.data(), n);
    for (uint16_t pointer : {sysvar::ch_add, sysvar::x_ptr, sysvar::stkbot, sysvar::stkend}) {
        const uint16_t value = word_at(memory, pointer);
        if (value >= cursor_at && value != 0) {
            memory[pointer] = static_cast<uint8_t>(value + n);
            memory[pointer + 1] = static_cast<uint8_t>((value + n) >> 8);
        }
    }
    return true;
}

namespace {

// The system variables that point into memory from the display file up
// (D_FILE, DF_CC, VARS, DEST, E_LINE, CH_ADD, X_PTR, STKBOT, STKEND): the
// ones the ROM's POINTERS routine moves when room is made or reclaimed.
constexpr uint16_t moving_pointers_first = sysvar::d_file, moving_pointers_last = sysvar::stkend;

// Moves everything from `at` up to STKEND by `by` bytes (up or down), and
// the pointers past `at` with it.
void shift_memory(Memory& memory, uint16_t at, int by) {
    const uint16_t stack_end = word_at(memory, sysvar::stkend);
    if (by > 0)
        std::memmove(&memory[at + by], &memory[at], stack_end - at);
    else
        std::memmove(&memory[at], &memory[at - by], stack_end - at + by);
    for (uint16_t pointer = moving_pointers_first; pointer <= moving_pointers_last; pointer += 2) {
        const uint16_t value = word_at(memory, pointer);
        if (value < at || (by < 0 && value == at)) continue;
        const auto moved = static_cast<uint16_t>(value + by);
        memory[pointer] = static_cast<uint8_t>(moved);
        memory[pointer + 1] = static_cast<uint8_t>(moved >> 8);
    }
}

}  // namespace

bool put_program_line(Zx81& machine, int number, const std::vector<uint8_t>& body) {
    Memory& memory = machine.memory;
    const uint16_t program_end = word_at(memory, sysvar::d_file);
    uint16_t at = program_lines_start;
    while (at + 4 <= program_end && (memory[at] << 8 | memory[at + 1]) < number)
        at = static_cast<uint16_t>(at + 4 + (memory[at + 2] | memory[at + 3] << 8));
    if (at > program_end) return false;
    // The line of that number there now goes first.
    if (at + 4 <= program_end && (memory[at] << 8 | memory[at + 1]) == number)
        shift_memory(memory, at, -(4 + (memory[at + 2] | memory[at + 3] << 8)));
    if (body.empty()) return true;
    const size_t size = 4 + body.size();
    // Room between the calculator's stack and the machine's, as the ROM's
    // TEST-ROOM asks.
    if (word_at(memory, sysvar::stkend) + size + 64 > machine.cpu.SP.w) return false;
    shift_memory(memory, at, static_cast<int>(size));
    memory[at] = static_cast<uint8_t>(number >> 8);
    memory[at + 1] = static_cast<uint8_t>(number);
    memory[at + 2] = static_cast<uint8_t>(body.size());
    memory[at + 3] = static_cast<uint8_t>(body.size() >> 8);
    std::copy(body.begin(), body.end(), memory.begin() + at + 4);
    return true;
}

bool edit_line_empty(const Zx81& machine) {
    const uint16_t edit_line = word_at(machine.memory, sysvar::e_line);
    return machine.memory[edit_line] == cursor && machine.memory[static_cast<uint16_t>(edit_line + 1)] == newline;
}

std::vector<ProgramLine> program_lines(const std::vector<uint8_t>& area, std::string* problem) {
    std::vector<ProgramLine> lines;
    const auto stop = [&](size_t p, const std::string& what, const std::string& why) {
        if (!problem) return;
        char where[16];
        std::snprintf(where, sizeof where, "0x%04zX", program_lines_start + p);
        *problem = what + " at " + where + ": " + why;
    };
    char display[16];
    std::snprintf(display, sizeof display, "0x%04zX", program_lines_start + area.size());
    size_t p = 0;
    while (p < area.size()) {
        if (p + 4 > area.size()) {
            stop(p, "the bytes", std::string("are no line (the display file starts at ") + display + ")");
            break;
        }
        const int number = area[p] << 8 | area[p + 1];
        const size_t length = area[p + 2] | area[p + 3] << 8;
        // A line number past 16383 is the end mark some programs put where
        // the display file starts.
        if (number > 0x3FFF) break;
        const std::string line = "line " + std::to_string(number);
        if (p + 4 + length > area.size()) {
            stop(p, line, "its length, " + std::to_string(length) + ", runs past the display file at " + display);
            break;
        }
        if (length == 0 || area[p + 3 + length] != zx81_code::newline) {
            stop(p, line, "its length, " + std::to_string(length) + ", does not end it at a NEWLINE");
            break;
        }
        lines.push_back({number, std::vector<uint8_t>(area.begin() + static_cast<std::ptrdiff_t>(p + 4),
                                                      area.begin() + static_cast<std::ptrdiff_t>(p + 4 + length))});
        p += 4 + length;
    }
    return lines;
}

bool rom_number_form(Zx81& machine, const std::vector<uint8_t>& literal, std::array<uint8_t, 5>& form) {
    // The ROM's own conversion, DEC-TO-FP, called as the line entry calls
    // it: CH_ADD at the literal and its first character in A, IY at the
    // system variables; the result is left on the calculator's stack. It returns to a HALT of ours; the machine is
    // put back as it was afterwards.
    constexpr uint8_t halt = 0x76;
    Memory& memory = machine.memory;
    const uint16_t stack_end = word_at(memory, sysvar::stkend);
    const uint16_t scratch = static_cast<uint16_t>(stack_end + 64);  // above what the calculator will use
    const uint16_t sp = machine.cpu.SP.w;
    if (machine.model != Model::simple || literal.empty() || stack_end < ram_start || scratch + literal.size() + 64 > sp) return false;
    const Memory memory_before = memory;
    const Z80State cpu_before = machine.cpu;
    const int32_t period = machine.cpu.period_cycles;
    memory[scratch] = halt;
    std::copy(literal.begin(), literal.end(), memory.begin() + scratch + 1);
    memory[scratch + 1 + literal.size()] = newline;
    // The calculator's memory areas at MEMBOT, as the ROM has them while it
    // scans a line (MEM may point anywhere at the prompt).
    constexpr uint16_t mem = 0x401F, membot = 0x405D;
    memory[mem] = static_cast<uint8_t>(membot);
    memory[mem + 1] = static_cast<uint8_t>(membot >> 8);
    memory[sysvar::ch_add] = static_cast<uint8_t>(scratch + 1);
    memory[sysvar::ch_add + 1] = static_cast<uint8_t>((scratch + 1) >> 8);
    Z80State& cpu = machine.cpu;
    cpu.AF.b.h = literal[0];  // the character the ROM has just read, as its scanning leaves it
    cpu.IY.w = sysvar::first;
    cpu.SP.w = static_cast<uint16_t>(sp - 2);
    memory[cpu.SP.w] = static_cast<uint8_t>(scratch);
    memory[cpu.SP.w + 1] = static_cast<uint8_t>(scratch >> 8);
    cpu.PC.w = rom::decimal_to_float;
    cpu.IFF &= static_cast<uint8_t>(~(IFF1 | IFF2 | IFF_HALTED));
    bool returned = false;
    for (int i = 0; i < 20 && !returned; ++i) {
        run_period(machine);
        returned = cpu.PC.w == scratch && (cpu.IFF & IFF_HALTED);  // HALT stays on its opcode
    }
    const uint16_t result = static_cast<uint16_t>(word_at(memory, sysvar::stkend) - 5);
    if (returned) std::copy(memory.begin() + result, memory.begin() + result + 5, form.begin());
    memory = memory_before;
    machine.cpu = cpu_before;
    machine.cpu.period_cycles = period;
    return returned;
}
