#include "basic_text.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "zx81.h"

namespace {

constexpr uint8_t inverse = 0x80;
constexpr uint8_t quote = 0x0B;
constexpr uint8_t quote_image = 0xC0;  // "" inside a string
constexpr uint8_t rem_token = 0xEA;
constexpr uint8_t then_token = 0xDE;
constexpr uint8_t cursor = 0x7F;
constexpr uint8_t newline = 0x76;

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

// The block graphics by their quarters (top left 1, top right 2, bottom
// left 4, bottom right 8): codes 0-7, and their inverses for the rest.
constexpr std::array<uint8_t, 16> graphic_for_quarters = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                                                          0x87, 0x86, 0x85, 0x84, 0x83, 0x82, 0x81, 0x80};
// The blocks of the inverse graphics, by their quarters: 0x80-0x87.
constexpr std::array<std::string_view, 8> inverse_blocks = {"\u2588", "\u259F", "\u2599", "\u2584",
                                                            "\u259C", "\u2590", "\u259A", "\u2597"};

bool is_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The code of a plain character of the text (not £, which takes two
// bytes); -1 for none.
int character_code(char c) {
    if (c == ' ') return 0x00;
    for (size_t code = 0x0B; code < character_text.size(); ++code)
        if (character_text[code].size() == 1 && character_text[code][0] == upper(c)) return static_cast<int>(code);
    return -1;
}

// The quarters of one half of a block graphic: ' ', '\'', '.', ':'.
int half_quarters(char c, int top, int bottom) {
    switch (c) {
    case ' ': return 0;
    case '\'': return top;
    case '.': return bottom;
    case ':': return top | bottom;
    default: return -1;
    }
}

// Reads one character of a string or REM at `p`: a plain one, £, an escape
// for a graphic, or % before one of them. Returns its code, or -1.
int read_character(std::string_view text, size_t& p) {
    bool inverted = false;
    if (text[p] == '%' && p + 1 < text.size()) {
        inverted = true;
        ++p;
    }
    int code = -1;
    // The characters as screen_text writes them: £, the blocks and greys.
    for (size_t c = 0; c < character_text.size() && code < 0; ++c)
        if (character_text[c].size() > 1 && text.substr(p).starts_with(character_text[c])) {
            code = static_cast<int>(c);
            p += character_text[c].size();
        }
    for (size_t c = 0; c < inverse_blocks.size() && code < 0 && !inverted; ++c)
        if (text.substr(p).starts_with(inverse_blocks[c])) {
            code = static_cast<int>(inverse | c);
            p += inverse_blocks[c].size();
        }
    // A block graphic has no % form: the block of the other quarters is its
    // inverse.
    const auto block = [](int c) { return (c & 0x7F) <= 0x07; };
    if (code >= 0) {
        if (inverted && block(code)) return -1;
    } else if (text[p] == '\\' && p + 2 < text.size()) {
        const std::string_view pair = text.substr(p + 1, 2);
        if (pair == "##") code = 0x08;
        else if (pair == ",,") code = 0x09;
        else if (pair == "~~") code = 0x0A;
        else {
            const int left = half_quarters(pair[0], 1, 4);
            const int right = half_quarters(pair[1], 2, 8);
            if (left >= 0 && right >= 0) code = graphic_for_quarters[static_cast<size_t>(left | right)];
        }
        p += 3;
        if (code >= 0 && inverted && block(code)) return -1;
    } else {
        code = character_code(text[p]);
        ++p;
    }
    if (code < 0) return -1;
    return inverted ? (code | inverse) : code;
}

// The longest keyword token that starts at `p`, with its length in the text
// ("GO TO" and "GO SUB" may have their space); 0 for none.
struct Match {
    uint8_t token = 0;
    size_t length = 0;
};

bool starts_with(std::string_view text, size_t p, std::string_view word) {
    if (text.size() - p < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (upper(text[p + i]) != word[i]) return false;
    return true;
}

Match keyword_at(std::string_view text, size_t p) {
    Match best;
    const auto consider = [&](std::string_view word, uint8_t token) {
        if (word != "?" && word != "\"\"" && word.size() > best.length && starts_with(text, p, word))
            best = {token, word.size()};
    };
    for (size_t i = 0; i < tokens_c0.size(); ++i) consider(tokens_c0[i], static_cast<uint8_t>(0xC0 + i));
    for (size_t i = 0; i < tokens_40.size(); ++i) consider(tokens_40[i], static_cast<uint8_t>(0x40 + i));
    for (const auto& [spaced, token] : {std::pair<std::string_view, uint8_t>{"GO TO", 0xEC}, {"GO SUB", 0xED}})
        if (spaced.size() > best.length && starts_with(text, p, spaced)) best = {token, spaced.size()};
    return best;
}

}  // namespace

BasicLine read_basic_line(std::string_view text) {
    BasicLine line;
    size_t p = 0;
    while (p < text.size() && text[p] == ' ') ++p;
    size_t digits = 0;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9' && digits < 5) {
        line.number = 10 * line.number + (text[p++] - '0');
        ++digits;
    }
    if (digits == 0 || line.number < 1 || line.number > 9999) {
        line.error = "no line number from 1 to 9999";
        return line;
    }
    bool statement_start = true, in_string = false, in_rem = false;
    while (p < text.size()) {
        const char c = text[p];
        if (in_rem || in_string) {
            if (in_string && c == '"') {
                const bool doubled = p + 1 < text.size() && text[p + 1] == '"';
                line.codes.push_back(doubled ? quote_image : quote);
                p += doubled ? 2 : 1;
                in_string = doubled;
                continue;
            }
            const size_t at = p;
            const int code = read_character(text, p);
            if (code < 0) {
                line.error = "column " + std::to_string(at + 1) + ": a character the ZX81 has not";
                return line;
            }
            line.codes.push_back(static_cast<uint8_t>(code));
            continue;
        }
        if (c == ' ') {
            ++p;
            continue;
        }
        if (c == '"') {
            line.codes.push_back(quote);
            in_string = true;
            statement_start = false;
            ++p;
            continue;
        }
        const bool word_start = p == 0 || !is_letter(text[p - 1]);
        const Match match = word_start || !is_letter(c) ? keyword_at(text, p) : Match{};
        const bool two_letters = match.length == 2 && is_letter(text[p]) && is_letter(text[p + 1]);
        const bool runs_on = two_letters && p + 2 < text.size() && is_letter(text[p + 2]);
        if (match.length > 0 && (statement_start || !runs_on) && (is_letter(c) || match.length > 1)) {
            line.codes.push_back(match.token);
            p += match.length;
            statement_start = match.token == then_token;
            in_rem = match.token == rem_token;
            // The ZX81 lists a space after REM; the listing's is that one.
            if (in_rem && p < text.size() && text[p] == ' ') ++p;
            continue;
        }
        const int code = character_code(c);
        if (code < 0 || c == '%' || c == '\\') {
            line.error = "column " + std::to_string(p + 1) + ": '" + std::string(1, c) +
                         "' cannot be typed on a ZX81 outside a string";
            return line;
        }
        line.codes.push_back(static_cast<uint8_t>(code));
        statement_start = false;
        ++p;
    }
    if (in_string) line.error = "a string is not closed";
    return line;
}

std::string zx81_text(uint8_t code) {
    const uint8_t plain = code & static_cast<uint8_t>(~inverse);
    if (plain >= 64) return "?";
    // An inverse block graphic is the block of the other quarters.
    if (plain <= 0x07 && (code & inverse)) return std::string(inverse_blocks[plain]);
    return std::string((code & inverse) ? "%" : "") + std::string(character_text[plain]);
}

namespace {

// The character whose glyph, plain or inverse, the cell at (column, row) of
// the picture shows; -1 for none.
int code_in_cell(const Zx81& machine, const Frame& frame, int column, int row) {
    uint8_t cell[8];
    for (int y = 0; y < 8; ++y) cell[y] = picture_byte(frame, column, 8 * row + y);
    for (int code = 0; code < 64; ++code) {
        const uint8_t* glyph = &machine.memory[static_cast<size_t>(0x1E00 + 8 * code)];
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
    const uint16_t stack_end = word_at(memory, 0x401C);  // STKEND
    const size_t n = codes.size();
    // Room for the codes between the calculator's stack and the machine's.
    if (stack_end < edit_line || stack_end + n + 64 > machine.cpu.SP.w) return false;
    // The cursor and everything after it move up, and so do the pointers to
    // them: CH_ADD (the cursor), X_PTR, STKBOT and STKEND.
    const uint16_t cursor_at = static_cast<uint16_t>(
        std::find(memory.begin() + edit_line, memory.begin() + stack_end, cursor) - memory.begin());
    std::memmove(&memory[cursor_at + n], &memory[cursor_at], stack_end - cursor_at);
    std::memcpy(&memory[cursor_at], codes.data(), n);
    for (uint16_t pointer : {uint16_t{0x4016}, uint16_t{0x4018}, uint16_t{0x401A}, uint16_t{0x401C}}) {
        const uint16_t value = word_at(memory, pointer);
        if (value >= cursor_at && value != 0) {
            memory[pointer] = static_cast<uint8_t>(value + n);
            memory[pointer + 1] = static_cast<uint8_t>((value + n) >> 8);
        }
    }
    return true;
}

bool edit_line_empty(const Zx81& machine) {
    const uint16_t edit_line = word_at(machine.memory, sysvar::e_line);
    return machine.memory[edit_line] == cursor && machine.memory[static_cast<uint16_t>(edit_line + 1)] == newline;
}
