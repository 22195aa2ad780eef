#include "listing.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "basic_text.h"

namespace {

using namespace zx81_code;

// UTF-8: the length of the valid sequence at `p`, or 0 where there is none.
// Valid is the shortest form of a code point that is no surrogate and not
// past U+10FFFF (overlong forms could smuggle in an ASCII character).
size_t utf8_length(std::string_view s, size_t p) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char first = byte(p);
    if (first < 0x80) return 1;
    const size_t length = first >= 0xF0 && first <= 0xF4 ? 4 : first >= 0xE0 && first <= 0xEF ? 3
                          : first >= 0xC2 && first < 0xE0                                      ? 2
                                                                                               : 0;
    if (length == 0 || p + length > s.size()) return 0;
    for (size_t i = 1; i < length; ++i)
        if ((byte(p + i) & 0xC0) != 0x80) return 0;
    // The second byte's range where the first alone does not settle it.
    const unsigned char second = byte(p + 1);
    if ((first == 0xE0 && second < 0xA0) || (first == 0xED && second >= 0xA0) || (first == 0xF0 && second < 0x90) ||
        (first == 0xF4 && second >= 0x90))
        return 0;
    return length;
}

// The code point of the valid sequence at `p`.
uint32_t code_point(std::string_view s, size_t p, size_t length) {
    uint32_t value = static_cast<unsigned char>(s[p]) & (length == 1 ? 0x7F : 0xFF >> (length + 1));
    for (size_t i = 1; i < length; ++i) value = value << 6 | (static_cast<unsigned char>(s[p + i]) & 0x3F);
    return value;
}

// A character of the text for a message, escaped where it would not show.
std::string describe(std::string_view text, size_t p) {
    char buffer[48];
    const unsigned char c = static_cast<unsigned char>(text[p]);
    if (c == '\t') return "a tab";
    if (c == '\r') return "a carriage return";
    if (c < 0x20 || c == 0x7F) {
        std::snprintf(buffer, sizeof buffer, "the control character 0x%02X", c);
        return buffer;
    }
    if (c < 0x80) {
        std::string shown = "'";
        shown.push_back(static_cast<char>(c));
        shown.push_back('\'');
        return shown;
    }
    const size_t length = utf8_length(text, p);
    if (length == 0) {
        std::snprintf(buffer, sizeof buffer, "the byte 0x%02X (not UTF-8)", c);
        return buffer;
    }
    std::snprintf(buffer, sizeof buffer, "' (U+%04X)", code_point(text, p, length));
    std::string shown = "'";
    shown.append(text.substr(p, length)).append(buffer);
    return shown;
}

bool is_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool is_letter_code(uint8_t code) {
    return code >= letter_a && code <= letter_z;
}

bool is_digit_code(uint8_t code) {
    return code >= digit_0 && code <= digit_9;
}

// The ZX81 code of a plain ASCII character (capitals only), or -1.
int ascii_code(char c) {
    return zx81_code_of(c);
}

// The forms of characters that are not ASCII (the pound sign, the blocks and
// greys as --screen-text writes them), longest first.
const std::vector<std::pair<std::string, uint8_t>>& unicode_forms() {
    static const std::vector<std::pair<std::string, uint8_t>> forms = [] {
        std::vector<std::pair<std::string, uint8_t>> list;
        for (int code = 0; code < 256; ++code) {
            if ((code & 0x7F) >= 64) continue;
            const std::string text = zx81_text(static_cast<uint8_t>(code));
            if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
                list.emplace_back(text, static_cast<uint8_t>(code));
        }
        std::stable_sort(list.begin(), list.end(),
                         [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
        return list;
    }();
    return forms;
}

// The block graphics by their quarters (top left 1, top right 2, bottom
// left 4, bottom right 8): codes 0-7, and their inverses for the rest.
constexpr std::array<uint8_t, 16> graphic_for_quarters = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                                                          0x87, 0x86, 0x85, 0x84, 0x83, 0x82, 0x81, 0x80};

bool is_block_graphic(uint8_t code) {
    return (code & 0x7F) <= 0x07;
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

// The greys and their inverses, by the two characters after \ in each style.
struct Grey {
    const char* pair;
    uint8_t code;
};
constexpr Grey zxtext2p_greys[] = {{"##", 0x08}, {",,", 0x09}, {"~~", 0x0A},
                                   {"@@", 0x88}, {";;", 0x89}, {"!!", 0x8A}};
constexpr Grey zmakebas_greys[] = {{"!:", 0x08}, {"!.", 0x09}, {"!'", 0x0A},
                                   {"|:", 0x88}, {"|.", 0x89}, {"|'", 0x8A}};

// The keyword tokens as text, with GO TO and GO SUB spaced, for reading.
struct Keyword {
    std::string_view text;
    uint8_t token;
};

const std::vector<Keyword>& keywords() {
    static const std::vector<Keyword> list = [] {
        std::vector<Keyword> words;
        for (int code = 0x40; code < 0x100; ++code) {
            const std::string_view text = token_text(static_cast<uint8_t>(code));
            if (!text.empty() && text != "?" && text != "\"\"") words.push_back({text, static_cast<uint8_t>(code)});
        }
        words.push_back({"GO TO", 0xEC});
        words.push_back({"GO SUB", 0xED});
        return words;
    }();
    return list;
}

bool starts_with_word(std::string_view text, size_t p, std::string_view word) {
    if (text.size() - p < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (upper(text[p + i]) != word[i]) return false;
    return true;
}

// The longest keyword at `p`; length 0 for none.
Keyword keyword_at(std::string_view text, size_t p) {
    Keyword best{{}, 0};
    for (const Keyword& k : keywords())
        if (k.text.size() > best.text.size() && starts_with_word(text, p, k.text)) best = k;
    return best;
}

bool is_word_keyword(const Keyword& k) {
    return !k.text.empty() && is_letter(k.text[0]);
}

// Reads a listing line into codes (see read_basic_line).
class LineReader {
public:
    LineReader(std::string_view text, ListingStyle style, const std::set<size_t>& flipped)
        : text_(text), style_(style), flipped_(flipped) {}

    BasicLine read() {
        while (p_ < text_.size() && (text_[p_] == ' ' || text_[p_] == '\t')) ++p_;
        size_t digits = 0;
        while (p_ < text_.size() && is_digit(text_[p_]) && digits < 5) {
            line_.number = 10 * line_.number + (text_[p_++] - '0');
            ++digits;
        }
        if (digits == 0 || line_.number < 1 || line_.number > 9999) {
            fail(0, "no line number from 1 to 9999");
            return line_;
        }
        skip_current_line_marker();
        while (p_ < text_.size() && line_.error.empty()) {
            if (in_rem_) {
                read_character_into_line();
            } else if (in_string_) {
                read_string_character();
            } else {
                read_outside();
            }
        }
        if (line_.error.empty() && in_string_) fail(text_.size(), "a string is not closed");
        return line_;
    }

private:
    std::string_view text_;
    ListingStyle style_;
    const std::set<size_t>& flipped_;
    size_t p_ = 0;
    BasicLine line_;
    bool statement_start_ = true, in_string_ = false, in_rem_ = false;
    size_t literals_ = 0;
    bool after_literal_ = false;

    bool fail(size_t at, std::string why) {
        if (line_.error.empty()) {
            line_.error = std::move(why);
            line_.error_at = at;
        }
        return false;
    }

    void put(uint8_t code) { line_.codes.push_back(code); }

    // The inverse > that the ZX81's LIST shows after the current line's
    // number (%> here, \> in zmakebas's form) is the screen's, not the
    // line's: a listing copied from the screen has it.
    void skip_current_line_marker() {
        size_t q = p_;
        while (q < text_.size() && text_[q] == ' ') ++q;
        const std::string_view marker = style_ == ListingStyle::zmakebas ? "\\>" : "%>";
        if (text_.substr(q).starts_with(marker)) p_ = q + marker.size();
    }

    // \{n}: the byte n (decimal, or hex after 0x). -1 after an error.
    int read_byte_escape() {
        const size_t at = p_;
        const size_t close = text_.find('}', p_);
        if (close == std::string_view::npos) return fail(at, "\\{ without its }"), -1;
        const std::string inside(text_.substr(p_ + 2, close - p_ - 2));
        char* end = nullptr;
        const long value = std::strtol(inside.c_str(), &end, inside.starts_with("0x") ? 16 : 10);
        if (inside.empty() || *end != '\0' || value < 0 || value > 255)
            return fail(at, "\\{" + inside + "} is no byte (0 to 255)"), -1;
        p_ = close + 1;
        return static_cast<int>(value);
    }

    // \{=a,b,c,d,e} after a number: the value's five bytes.
    void read_hidden_number() {
        const size_t at = p_;
        const size_t close = text_.find('}', p_);
        if (!after_literal_) return (void)fail(at, "\\{=...} stands right after a number");
        if (close == std::string_view::npos) return (void)fail(at, "\\{= without its }");
        const std::string inside(text_.substr(p_ + 3, close - p_ - 3));
        HiddenNumber hidden{literals_ - 1, {}};
        size_t n = 0, q = 0;
        while (n < 5 && q <= inside.size()) {
            const size_t comma = std::min(inside.find(',', q), inside.size());
            const std::string part = inside.substr(q, comma - q);
            char* end = nullptr;
            const long value = std::strtol(part.c_str(), &end, part.starts_with("0x") ? 16 : 10);
            if (part.empty() || *end != '\0' || value < 0 || value > 255) break;
            hidden.form[n++] = static_cast<uint8_t>(value);
            q = comma + 1;
        }
        if (n != 5 || q <= inside.size()) return (void)fail(at, "\\{=...} needs five bytes, 0 to 255");
        line_.hidden.push_back(hidden);
        after_literal_ = false;
        p_ = close + 1;
    }

    // An escape after \ in a string or REM: its code, or -1.
    int read_escape() {
        const size_t at = p_;
        const std::string_view rest = text_.substr(p_ + 1);
        if (rest.starts_with("{")) return read_byte_escape();
        if (rest.size() >= 2) {
            const int left = half_quarters(rest[0], 1, 4);
            const int right = half_quarters(rest[1], 2, 8);
            if (left >= 0 && right >= 0) {
                p_ += 3;
                return graphic_for_quarters[static_cast<size_t>(left | right)];
            }
            for (const Grey& g : style_ == ListingStyle::zmakebas ? std::span(zmakebas_greys) : std::span(zxtext2p_greys))
                if (rest.starts_with(g.pair)) {
                    p_ += 3;
                    return g.code;
                }
        }
        if (style_ != ListingStyle::zmakebas && rest.starts_with("\"")) {
            p_ += 2;
            return quote_image;
        }
        if (style_ == ListingStyle::zmakebas && !rest.empty()) {
            const int code = rest[0] == '\\' ? pound : rest[0] == '@' ? (pound | inverse) : ascii_code(rest[0]);
            if (code >= 0 && rest[0] != ' ' && !is_letter(rest[0])) {
                p_ += 2;
                return rest[0] == '\\' || rest[0] == '@' ? code : (code | inverse);
            }
        }
        const size_t shown = std::min<size_t>(3, text_.size() - at);
        return fail(at, "\\" + std::string(text_.substr(at + 1, shown - 1)) + " is no escape for a ZX81 character"), -1;
    }

    // One character of a string or REM: its code, or -1.
    int read_character() {
        const size_t at = p_;
        const char c = text_[p_];
        if (c == '\\') return read_escape();
        for (const auto& [form, code] : unicode_forms())
            if (text_.substr(p_).starts_with(form)) {
                p_ += form.size();
                return code;
            }
        if (c == '%' && style_ != ListingStyle::zmakebas && p_ + 1 < text_.size()) {
            ++p_;
            const int code = read_character();
            if (code < 0) return -1;
            // A block graphic has no inverse form: the block of the other
            // quarters is its inverse.
            if ((code & inverse) || is_block_graphic(static_cast<uint8_t>(code)) || code >= 64)
                return fail(at, "% before " + describe(text_, at + 1) + ", which has no inverse form here"), -1;
            return code | inverse;
        }
        if (style_ == ListingStyle::zmakebas && c == '`') {
            ++p_;
            return quote_image;
        }
        if (style_ == ListingStyle::zmakebas && c >= 'a' && c <= 'z') {
            ++p_;
            return ascii_code(upper(c)) | inverse;
        }
        const int code = ascii_code(upper(c));
        if (code < 0 || (c == '%' && style_ != ListingStyle::zmakebas))
            return fail(at, describe(text_, at) + " is a character the ZX81 has not"), -1;
        ++p_;
        return code;
    }

    void read_character_into_line() {
        const int code = read_character();
        if (code >= 0) put(static_cast<uint8_t>(code));
    }

    void read_string_character() {
        const char c = text_[p_];
        if (c == '"') {
            const bool doubled = p_ + 1 < text_.size() && text_[p_ + 1] == '"';
            put(doubled ? quote_image : quote);
            p_ += doubled ? 2 : 1;
            in_string_ = doubled;
            return;
        }
        read_character_into_line();
    }

    void take_keyword(const Keyword& k) {
        put(k.token);
        p_ += k.text.size();
        statement_start_ = k.token == then_token;
        after_literal_ = false;
        if (k.token == rem_token) {
            in_rem_ = true;
            // The ZX81 lists a space after REM; the listing's is that one.
            if (p_ < text_.size() && text_[p_] == ' ') ++p_;
        }
    }

    // A name: letters and digits, and $ after a string's one letter.
    void take_name() {
        while (p_ < text_.size() && (is_letter(text_[p_]) || is_digit(text_[p_]))) put(static_cast<uint8_t>(ascii_code(upper(text_[p_++]))));
        if (p_ < text_.size() && text_[p_] == '$') {
            put(dollar);
            ++p_;
        }
        statement_start_ = false;
        after_literal_ = false;
    }

    // A number as typed: digits and a point, and an exponent.
    void take_literal() {
        const auto digit_at = [&](size_t i) { return i < text_.size() && is_digit(text_[i]); };
        while (p_ < text_.size() && (is_digit(text_[p_]) || text_[p_] == '.')) put(static_cast<uint8_t>(ascii_code(text_[p_++])));
        if (p_ < text_.size() && upper(text_[p_]) == 'E') {
            const size_t sign = p_ + 1 < text_.size() && (text_[p_ + 1] == '+' || text_[p_ + 1] == '-') ? 1 : 0;
            if (digit_at(p_ + 1 + sign)) {
                put(letter_e);
                if (sign) put(text_[p_ + 1] == '+' ? plus : minus);
                p_ += 1 + sign;
                while (digit_at(p_)) put(static_cast<uint8_t>(ascii_code(text_[p_++])));
            }
        }
        ++literals_;
        after_literal_ = true;
        statement_start_ = false;
    }

    void read_outside() {
        const char c = text_[p_];
        if (c == ' ' || c == '\t') {
            ++p_;
            return;
        }
        if (c == '"') {
            put(quote);
            in_string_ = true;
            statement_start_ = after_literal_ = false;
            ++p_;
            return;
        }
        if (text_.substr(p_).starts_with("\\{=")) return read_hidden_number();
        if (text_.substr(p_).starts_with("\\{")) {
            const int code = read_byte_escape();
            if (code < 0) return;
            put(static_cast<uint8_t>(code));
            statement_start_ = after_literal_ = false;
            // A letter written as its byte starts a name that no keyword
            // splits: how a name like a keyword (PI) is kept a name.
            if (is_letter_code(static_cast<uint8_t>(code)))
                while (p_ < text_.size() && (is_letter(text_[p_]) || is_digit(text_[p_])))
                    put(static_cast<uint8_t>(ascii_code(upper(text_[p_++]))));
            return;
        }
        if (is_letter(c)) return read_word();
        if (is_digit(c) || (c == '.' && p_ + 1 < text_.size() && is_digit(text_[p_ + 1]))) return take_literal();
        const Keyword k = keyword_at(text_, p_);  // ** <= >= <>
        if (k.text.size() > 1) {
            take_keyword(k);
            return;
        }
        const int code = ascii_code(c);
        if (code < 0 || c == '%' || c == '\\') {
            fail(p_, describe(text_, p_) + " cannot be typed on a ZX81 outside a string");
            return;
        }
        put(static_cast<uint8_t>(code));
        statement_start_ = after_literal_ = false;
        ++p_;
    }

    // At a letter: a keyword, or a name.
    void read_word() {
        const Keyword k = keyword_at(text_, p_);
        if (!is_word_keyword(k)) return take_name();
        if (statement_start_) return take_keyword(k);
        const size_t after = p_ + k.text.size();
        bool keyword = after >= text_.size() || !is_letter(text_[after]);
        line_.choices.push_back(p_);
        if (flipped_.count(p_)) keyword = !keyword;
        if (keyword)
            take_keyword(k);
        else
            take_name();
    }
};

// Writes a program's lines as text (see list_program).
class ProgramWriter {
public:
    ProgramWriter(ListingStyle style, const NumberCheck& agrees) : style_(style), agrees_(agrees) {}

    std::string line(const ProgramLine& line) {
        out_ = std::to_string(line.number) + " ";
        in_string_ = in_rem_ = in_name_ = false;
        pending_space_ = false;
        literal_.clear();
        const std::vector<uint8_t>& body = line.body;
        const size_t end = !body.empty() && body.back() == newline ? body.size() - 1 : body.size();
        for (size_t i = 0; i < end; ++i) i = write_code(body, i, end);
        return out_ + "\n";
    }

private:
    ListingStyle style_;
    const NumberCheck& agrees_;
    std::string out_;
    bool in_string_ = false, in_rem_ = false, in_name_ = false, pending_space_ = false;
    std::vector<uint8_t> literal_;

    // After a keyword comes a space, but not before a symbol that closes or
    // joins ("INKEY$=", "PI;"), as the ZX81 lists them.
    void emit(std::string_view text) {
        if (pending_space_ && !text.empty() && std::string_view(";,)=+-*/<>:").find(text[0]) == std::string_view::npos)
            out_ += ' ';
        pending_space_ = false;
        out_ += text;
    }

    void emit_raw(uint8_t code) { emit("\\{" + std::to_string(code) + "}"); }

    // A character of a string or REM as the style writes it; `next` is the
    // code after it, for the one spelling that would run into it.
    std::string character(uint8_t code, int next) const {
        const uint8_t plain = code & static_cast<uint8_t>(~inverse);
        const bool inverted = code & inverse;
        const auto raw = [&] { return "\\{" + std::to_string(code) + "}"; };
        if (plain >= 64) return raw();
        if (is_block_graphic(code) && code != space) {
            const size_t quarters = static_cast<size_t>(
                std::find(graphic_for_quarters.begin(), graphic_for_quarters.end(), code) - graphic_for_quarters.begin());
            constexpr char halves[] = {' ', '\'', '.', ':'};
            return std::string("\\") + halves[(quarters & 1) | (quarters & 4) >> 1] +
                   halves[(quarters & 2) >> 1 | (quarters & 8) >> 2];
        }
        if (plain >= 0x08 && plain <= 0x0A) {
            const auto& greys = style_ == ListingStyle::zmakebas ? zmakebas_greys : zxtext2p_greys;
            for (const Grey& g : greys)
                if (g.code == code) return style_ == ListingStyle::orlix && inverted
                                               ? std::string("%\\") + zxtext2p_greys[plain - 0x08].pair
                                               : std::string("\\") + g.pair;
        }
        if (plain == pound) {
            if (style_ == ListingStyle::zmakebas) return inverted ? "\\@" : "\\\\";
            return inverted ? "%£" : "£";
        }
        const char c = ascii_of(plain);
        if (style_ != ListingStyle::zmakebas) {
            std::string shown = inverted ? "%" : "";
            shown.push_back(c);
            return shown;
        }
        if (!inverted) return std::string(1, c);
        if (is_letter(c)) return std::string(1, static_cast<char>(c - 'A' + 'a'));
        // \. and \: before a character that would make them a block graphic.
        const char after = next >= 0 && (next & 0x7F) < 64 ? ascii_of(static_cast<uint8_t>(next)) : 0;
        const bool runs_on = (c == '.' || c == ':') && (next == space || after == '.' || after == ':');
        return runs_on ? raw() : std::string("\\") + c;
    }

    std::string quote_image_text() const {
        switch (style_) {
        case ListingStyle::zmakebas: return "`";
        case ListingStyle::orlix: return "\"\"";
        case ListingStyle::zxtext2p: break;
        }
        return "\\\"";
    }

    // Whether the reader would take the name starting at `i` for a keyword:
    // one that its letters begin with and that a letter does not follow.
    static bool name_reads_as_keyword(const std::vector<uint8_t>& body, size_t i, size_t end) {
        std::string name;
        for (size_t j = i; j < end && (is_letter_code(body[j]) || is_digit_code(body[j])); ++j) name += ascii_of(body[j]);
        if (name.size() < end - i && body[i + name.size()] == dollar) name += '$';
        const Keyword k = keyword_at(name, 0);
        return is_word_keyword(k) && (k.text.size() == name.size() || !is_letter(name[k.text.size()]));
    }

    // Writes the code at `i` (and what belongs to it); returns the index of
    // the last code written.
    size_t write_code(const std::vector<uint8_t>& body, size_t i, size_t end) {
        const uint8_t code = body[i];
        const int next = i + 1 < end ? body[i + 1] : -1;
        if (in_rem_) {
            emit(token_text(code).empty() || code == quote_image ? character(code, next) : "\\{" + std::to_string(code) + "}");
            return i;
        }
        if (in_string_) {
            if (code == quote) {
                emit("\"");
                in_string_ = false;
            } else if (code == quote_image) {
                emit(quote_image_text());
            } else {
                emit(character(code, next));
            }
            return i;
        }
        if (code == number_mark && i + 5 < end) {
            std::array<uint8_t, 5> form{};
            std::copy(body.begin() + static_cast<std::ptrdiff_t>(i + 1), body.begin() + static_cast<std::ptrdiff_t>(i + 6),
                      form.begin());
            if (literal_.empty()) {
                // A value with no digits before it: only its bytes can say it.
                emit_raw(code);
                for (uint8_t b : form) emit_raw(b);
            } else if (!agrees_(literal_, form)) {
                std::string text = "\\{=";
                for (size_t b = 0; b < 5; ++b) {
                    if (b) text.push_back(',');
                    text.append(std::to_string(form[b]));
                }
                text.push_back('}');
                emit(text);
            }
            literal_.clear();
            in_name_ = false;
            return i + 5;
        }
        const std::string_view word = token_text(code);
        if (code == quote || (!word.empty() && code != quote_image && word != "?")) {
            literal_.clear();
            in_name_ = false;
        }
        if (code == quote) {
            emit("\"");
            in_string_ = true;
            return i;
        }
        if (!word.empty() && code != quote_image && word != "?") {
            if (is_letter(word[0])) {
                // Before a keyword, a space where it would run into a name,
                // a number or a string.
                const char before = out_.empty() ? ' ' : out_.back();
                if (pending_space_ || is_letter(before) || is_digit(before) || before == '"' || before == '$' ||
                    before == ')' || before == '}')
                    out_ += ' ';
                pending_space_ = false;
                out_ += word;
                pending_space_ = true;
            } else {
                emit(word);
            }
            if (code == rem_token) {
                out_ += ' ';  // the space the reader takes for the listing's own
                pending_space_ = false;
                in_rem_ = true;
            }
            return i;
        }
        const char c = code < 64 ? ascii_of(code) : 0;
        if (c == 0 || code == space) {
            emit_raw(code);
            literal_.clear();
            in_name_ = false;
            return i;
        }
        const bool exponent_sign = (c == '+' || c == '-') && !literal_.empty() && literal_.back() == letter_e;
        if (!literal_.empty() && (is_digit(c) || c == '.' || c == 'E' || exponent_sign)) {
            literal_.push_back(code);
        } else if (!in_name_ && (is_digit(c) || c == '.')) {
            literal_ = {code};
        } else {
            literal_.clear();
            if (is_letter(c) && !in_name_ && name_reads_as_keyword(body, i, end)) {
                emit_raw(code);  // a name like a keyword, kept a name
                in_name_ = true;
                return i;
            }
            in_name_ = is_letter(c) || (in_name_ && is_digit(c));
        }
        emit(code == pound ? "£" : std::string(1, c));
        return i;
    }
};

}  // namespace

std::optional<ListingStyle> listing_style_named(std::string_view name) {
    if (name == "zxtext2p") return ListingStyle::zxtext2p;
    if (name == "zmakebas") return ListingStyle::zmakebas;
    if (name == "orlix") return ListingStyle::orlix;
    return std::nullopt;
}

std::vector<ListingLine> listing_lines(std::string_view input) {
    std::string text(input.starts_with("\xEF\xBB\xBF") ? input.substr(3) : input);
    // A pound sign in Latin-1 (0xA3 where no UTF-8 sequence is) becomes
    // UTF-8's; other bytes stay, for the reader to name.
    for (size_t p = 0; p < text.size();) {
        const size_t length = utf8_length(text, p);
        if (length == 0 && static_cast<unsigned char>(text[p]) == 0xA3) {
            text.replace(p, 1, "\xC2\xA3");
            p += 2;
        } else {
            p += std::max<size_t>(length, 1);
        }
    }
    std::vector<ListingLine> lines;
    ListingLine current;
    bool continuing = false;
    int number = 0;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view row = std::string_view(text).substr(start, end - start);
        ++number;
        const bool last = end == text.size();
        start = end + 1;
        if (row.ends_with('\r')) row.remove_suffix(1);
        if (last && row.empty() && !continuing) break;
        size_t skip = 0;
        if (continuing) {
            while (skip < row.size() && (row[skip] == ' ' || row[skip] == '\t')) ++skip;
        } else {
            const size_t first = row.find_first_not_of(" \t");
            if (first == std::string_view::npos || row[first] == '#') continue;
            current = ListingLine{};
        }
        size_t backslashes = 0;
        while (backslashes < row.size() && row[row.size() - 1 - backslashes] == '\\') ++backslashes;
        const bool joins = backslashes % 2 == 1 && !last;
        current.parts.push_back({current.text.size(), number, skip});
        current.text += row.substr(skip, row.size() - skip - (joins ? 1 : 0));
        continuing = joins;
        if (!joins) lines.push_back(std::move(current));
        if (last) break;
    }
    return lines;
}

std::string place_in_listing(const ListingLine& line, size_t offset) {
    ListingLine::Part part{0, 0, 0};
    for (const ListingLine::Part& p : line.parts)
        if (p.offset <= offset) part = p;
    // Columns count characters, not bytes.
    const std::string_view text = line.text;
    size_t column = 1 + part.column;
    for (size_t p = part.offset; p < offset && p < text.size(); p += std::max<size_t>(utf8_length(text, p), 1)) ++column;
    return "line " + std::to_string(part.line) + ", column " + std::to_string(column);
}

BasicLine read_basic_line(std::string_view text, ListingStyle style, const std::set<size_t>& flipped) {
    return LineReader(text, style, flipped).read();
}

std::string list_program(const std::vector<uint8_t>& area, ListingStyle style, const NumberCheck& agrees,
                         std::string* problem) {
    std::string listing;
    ProgramWriter writer(style, agrees);
    for (const ProgramLine& line : program_lines(area, problem)) listing += writer.line(line);
    return listing;
}
