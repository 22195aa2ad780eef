#include "listing_entry.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>

#include "basic_text.h"
#include "command_line.h"
#include "file_input.h"
#include "program_files.h"
#include "session.h"

namespace {

// How long the ZX81 may take to enter a line, in periods.
constexpr int longest_line = 10 * periods_per_second;
// How many other readings of a refused line are tried.
constexpr int most_readings = 32;

// What entering a line came to: taken, refused (with the ZX81's lines
// showing the line and its mark), or no room for it.
struct Entry {
    bool taken = false;
    bool no_room = false;
    std::vector<std::string> screen;
};

// Where a line of that number starts in the program in memory (its body,
// after number and length); 0 for none.
uint16_t line_body(const Memory& memory, int number) {
    const uint16_t end = word_at(memory, sysvar::d_file);
    for (uint32_t p = program_lines_start; p + 4 <= end;) {
        const int here = memory[p] << 8 | memory[p + 1];
        const uint32_t length = memory[p + 2] | memory[p + 3] << 8;
        if (here == number) return static_cast<uint16_t>(p + 4);
        if (here > number) break;
        p += 4 + length;
    }
    return 0;
}

// Bytes the line editor takes for its own wherever they stand (its cursor,
// NEWLINE, the mark of a number's hidden value): in a string they are typed
// as spaces and put in once the ROM has entered the line.
bool editor_byte(uint8_t code) {
    return code == zx81_code::cursor || code == zx81_code::newline || code == zx81_code::number_mark;
}

struct KeptByte {
    size_t at;  // in the line's codes
    uint8_t code;
};

// The line's codes as typed, with the editor's bytes in strings and REMs
// taken out (and where they go).
std::vector<uint8_t> typed_codes(const std::vector<uint8_t>& codes, std::vector<KeptByte>& kept) {
    std::vector<uint8_t> typed = codes;
    bool in_string = false, in_rem = false;
    for (size_t i = 0; i < typed.size(); ++i) {
        const uint8_t code = typed[i];
        if ((in_string || in_rem) && editor_byte(code)) {
            kept.push_back({i, code});
            typed[i] = zx81_code::space;
        } else if (code == zx81_code::quote && !in_rem) {
            in_string = !in_string;
        } else if (code == zx81_code::rem_token && !in_string) {
            in_rem = true;
        }
    }
    return typed;
}

// Puts the kept bytes into the line as the ROM entered it, where the typed
// codes had them: the entered line is the typed codes with each number's
// hidden value (its mark and five bytes) after its digits.
bool put_kept_bytes(Zx81& machine, int number, const std::vector<uint8_t>& typed, const std::vector<KeptByte>& kept) {
    if (kept.empty()) return true;
    uint16_t p = line_body(machine.memory, number);
    if (p == 0) return false;
    Memory& memory = machine.memory;
    bool in_string = false, in_rem = false;
    size_t next = 0;
    for (size_t i = 0; i < typed.size(); ++i, ++p) {
        if (!in_string && !in_rem && memory[p] == zx81_code::number_mark && typed[i] != zx81_code::number_mark) p += 6;
        if (memory[p] != typed[i]) return false;
        if (next < kept.size() && kept[next].at == i) memory[p] = kept[next++].code;
        if (typed[i] == zx81_code::quote && !in_rem) in_string = !in_string;
        if (typed[i] == zx81_code::rem_token && !in_string) in_rem = true;
    }
    return next == kept.size();
}

Entry enter_line(Session& session, const BasicLine& line) {
    Zx81& machine = *session.machine;
    std::vector<KeptByte> kept;
    const std::vector<uint8_t> typed = typed_codes(line.codes, kept);
    std::vector<uint8_t> codes;
    for (char digit : std::to_string(line.number)) codes.push_back(static_cast<uint8_t>(zx81_code::digit_0 + digit - '0'));
    codes.insert(codes.end(), typed.begin(), typed.end());
    machine.memory[sysvar::err_nr] = sysvar::no_report;
    if (!put_in_edit_line(machine, codes)) return {false, true, {}};
    // A NEWLINE the ROM never takes leaves the line in the editor, which
    // the test below reports as refused.
    std::vector<ZxKey> given_up;
    session.press({{zx_key::newline}, true, 0}, given_up);
    for (int waited = 0; waited < longest_line && !edit_line_empty(machine) &&
                         machine.memory[sysvar::err_nr] != sysvar::out_of_memory;
         ++waited)
        session.run(1);
    // Report 4: the line, or the numbers' values in it, did not fit.
    if (machine.memory[sysvar::err_nr] == sysvar::out_of_memory) return {false, true, {}};
    if (!edit_line_empty(machine)) {
        const std::vector<std::string> screen = screen_text(machine);
        Entry refused;
        for (size_t row = 16; row < screen.size(); ++row)
            if (!screen[row].empty()) refused.screen.push_back(screen[row]);
        return refused;
    }
    // A line with nothing after its number deletes one; any other must now
    // be in the program, or the ZX81 had no room to put it there.
    if (!line.codes.empty() && line_body(machine.memory, line.number) == 0) return {false, true, {}};
    if (!put_kept_bytes(machine, line.number, typed, kept)) return {false, true, {}};
    return {true, false, {}};
}

// A REM line is the ZX81's own as it stands (nothing in it is checked or
// converted): it goes into the program directly, byte for byte, however
// long and whatever its bytes (machine code).
Entry put_rem_line(Session& session, const BasicLine& line) {
    std::vector<uint8_t> body = line.codes;
    body.push_back(zx81_code::newline);
    const bool put = put_program_line(*session.machine, line.number, body);
    return {put, !put, {}};
}

// A line the editor has no room for beside the program (a line of some KB
// in 16K needs room for itself twice while it is entered): entered by the
// ROM on a machine of its own with 32 KB and nothing else, then put into
// the program in its place.
Entry enter_line_elsewhere(Session& session, const BasicLine& line) {
    Session scratch;
    Zx81& machine = *scratch.machine;
    machine.ram_kb = ram_sizes_kb.back();
    RomImage rom{};
    std::copy(session.machine->memory.begin(), session.machine->memory.begin() + rom_size, rom.begin());
    power_up(machine, rom);
    scratch.wait_for_prompt();
    Entry entry = enter_line(scratch, line);
    if (!entry.taken) return entry;
    const uint16_t body = line_body(machine.memory, line.number);
    const std::vector<uint8_t> codes(machine.memory.begin() + body,
                                     machine.memory.begin() + body + (machine.memory[body - 2] | machine.memory[body - 1] << 8));
    if (!put_program_line(*session.machine, line.number, codes)) return {false, true, {}};
    return entry;
}

// Puts the values written after numbers (\{=...}) into the line as the ROM
// has entered it: the nth number's five bytes after its mark.
bool put_hidden_numbers(Zx81& machine, const BasicLine& line) {
    if (line.hidden.empty()) return true;
    uint16_t p = line_body(machine.memory, line.number);
    if (p == 0) return false;
    std::vector<uint16_t> marks;
    bool in_string = false;
    for (; machine.memory[p] != zx81_code::newline; ++p) {
        const uint8_t code = machine.memory[p];
        if (code == zx81_code::rem_token && !in_string) break;
        if (code == zx81_code::quote) in_string = !in_string;
        if (code == zx81_code::number_mark && !in_string) {
            marks.push_back(p);
            p += 5;
        }
    }
    for (const HiddenNumber& hidden : line.hidden) {
        if (hidden.ordinal >= marks.size()) return false;
        std::copy(hidden.form.begin(), hidden.form.end(), machine.memory.begin() + marks[hidden.ordinal] + 1);
    }
    return true;
}

// A line into the program: a REM line directly, any other through the
// ROM's line entry, beside the program or, when there is no room for it
// there, on a machine of its own.
Entry try_line(Session& session, const BasicLine& line, const Zx81Snapshot& before) {
    if (!line.codes.empty() && line.codes[0] == zx81_code::rem_token) return put_rem_line(session, line);
    const Entry entry = enter_line(session, line);
    if (!entry.no_room) return entry;
    restore_snapshot(*session.machine, before);
    return enter_line_elsewhere(session, line);
}

}  // namespace

bool read_listing_text(const std::string& path, std::string& text, std::string& problem) {
    const std::string too_long =
        "longer than " + std::to_string(longest_listing / (1024 * 1024)) + " MB, more than any ZX81 program's listing";
    if (path != "-") {
        const FileBytes file = read_regular_file(path, longest_listing);
        problem = !file.ok ? file.problem : file.longer ? too_long : "";
        text.assign(file.bytes.begin(), file.bytes.end());
        return problem.empty();
    }
    // Standard input, up to the same limit: it may be a device that never ends.
    text.clear();
    char buffer[65536];
    size_t n = 0;
    while (text.size() <= longest_listing && (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
        text.append(buffer, n);
    if (std::ferror(stdin)) {
        problem = std::strerror(errno ? errno : EIO);
        return false;
    }
    if (text.size() > longest_listing) {
        problem = too_long;
        return false;
    }
    return true;
}

int type_listing(Session& session, const std::string& path, ListingStyle style) {
    std::string text, problem;
    if (!read_listing_text(path, text, problem)) {
        std::fprintf(stderr, "orlix: cannot read %s: %s\n", path.c_str(), problem.c_str());
        return 2;
    }
    Zx81& machine = *session.machine;
    for (const ListingLine& source : listing_lines(text)) {
        BasicLine line = read_basic_line(source.text, style);
        if (!line.error.empty()) {
            std::fprintf(stderr, "orlix: %s %s: %s\n", path.c_str(), place_in_listing(source, line.error_at).c_str(),
                         line.error.c_str());
            return 1;
        }
        const std::string where = path + " line " + std::to_string(source.parts.front().line);
        // The ROM lists the program after each line it takes, working past
        // the line being edited: the next goes in once it waits for a key.
        session.wait_for_prompt();
        const Zx81Snapshot before = take_snapshot(machine);
        const Entry first = try_line(session, line, before);
        Entry entry = first;
        // Refused as read: the other readings, those that differ in one
        // keyword first, then in two, and so on.
        std::deque<std::set<size_t>> readings;
        for (size_t choice : line.choices) readings.push_back({choice});
        for (int tried = 0; !entry.taken && !entry.no_room && !readings.empty() && tried < most_readings;) {
            const std::set<size_t> flipped = readings.front();
            readings.pop_front();
            const BasicLine other = read_basic_line(source.text, style, flipped);
            if (!other.error.empty()) continue;
            ++tried;
            restore_snapshot(machine, before);
            entry = try_line(session, other, before);
            if (entry.taken) line = other;
            for (size_t choice : other.choices)
                if (choice > *flipped.rbegin()) {
                    std::set<size_t> more = flipped;
                    more.insert(choice);
                    readings.push_back(more);
                }
        }
        if (entry.no_room) {
            std::fprintf(stderr, "orlix: %s: no room left for line %d in the ZX81's %d KB of memory\n", where.c_str(),
                         line.number, machine.ram_kb);
            return 1;
        }
        if (!entry.taken) {
            std::fprintf(stderr, "orlix: %s: the ZX81 does not take line %d (a syntax error):\n", where.c_str(),
                         line.number);
            // The line as the ZX81 shows it, with its mark (%S) where it stopped.
            for (const std::string& row : first.screen) std::fprintf(stderr, "  %s\n", row.c_str());
            return 1;
        }
        if (!put_hidden_numbers(machine, line)) {
            std::fprintf(stderr, "orlix: %s: line %d has fewer numbers than values written for them\n", where.c_str(),
                         line.number);
            return 1;
        }
    }
    return 0;
}

int print_listing(Session& session, const Options& options) {
    const ProgramImage image = read_program_file(options.program, ram_sizes_kb.back());
    if (!image.result.ok) {
        std::fprintf(stderr, "orlix: cannot load %s: %s\n", options.program.c_str(), image.result.reason.c_str());
        return 2;
    }
    const size_t lines_start = program_lines_start - program_start;
    const uint16_t display = static_cast<uint16_t>(image.bytes[sysvar::d_file - program_start] |
                                                   image.bytes[sysvar::d_file + 1 - program_start] << 8);
    const size_t lines_end = display - program_start;
    if (display < program_lines_start || lines_end > image.bytes.size()) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%04X", display);
        std::fprintf(stderr, "orlix: cannot list %s: no program lines before its display file (D_FILE %s)\n",
                     options.program.c_str(), hex);
        return 2;
    }
    const std::vector<uint8_t> area(image.bytes.begin() + static_cast<std::ptrdiff_t>(lines_start),
                                    image.bytes.begin() + static_cast<std::ptrdiff_t>(lines_end));
    // Each number's value against what the ROM itself makes of its digits.
    Zx81& machine = *session.machine;
    const NumberCheck agrees = [&](const std::vector<uint8_t>& literal, const std::array<uint8_t, 5>& form) {
        std::array<uint8_t, 5> made{};
        return rom_number_form(machine, literal, made) && made == form;
    };
    std::string problem;
    std::fputs(list_program(area, options.listing, agrees, &problem).c_str(), stdout);
    if (problem.empty()) return 0;
    // The ZX81 itself may run such a program (a loader whose first line
    // holds the display file); its listing cannot give it back.
    std::fprintf(stderr, "orlix: %s: listed only up to %s\n", options.program.c_str(), problem.c_str());
    return 1;
}
