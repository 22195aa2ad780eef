#include "key_sequence.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace {

struct KeyName {
    const char* name;
    ZxKey key;
};
constexpr KeyName named_keys[] = {
    {"NEWLINE", zx_key::newline}, {"ENTER", zx_key::newline}, {"SPACE", zx_key::space},
    {".", zx_key::dot},           {"SHIFT", zx_key::shift},
};

// The ZX81 key of a name: a letter, a digit or one of the names above.
bool key_named(std::string name, ZxKey& key) {
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name.size() == 1 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9'))) {
        constexpr ZxKey by_letter[26] = {zx_key::a, zx_key::b, zx_key::c, zx_key::d, zx_key::e, zx_key::f,
                                         zx_key::g, zx_key::h, zx_key::i, zx_key::j, zx_key::k, zx_key::l,
                                         zx_key::m, zx_key::n, zx_key::o, zx_key::p, zx_key::q, zx_key::r,
                                         zx_key::s, zx_key::t, zx_key::u, zx_key::v, zx_key::w, zx_key::x,
                                         zx_key::y, zx_key::z};
        constexpr ZxKey by_digit[10] = {zx_key::digit0, zx_key::digit1, zx_key::digit2, zx_key::digit3,
                                        zx_key::digit4, zx_key::digit5, zx_key::digit6, zx_key::digit7,
                                        zx_key::digit8, zx_key::digit9};
        key = name[0] >= 'A' ? by_letter[name[0] - 'A'] : by_digit[name[0] - '0'];
        return true;
    }
    for (const KeyName& k : named_keys)
        if (name == k.name) {
            key = k.key;
            return true;
        }
    return false;
}

}  // namespace

bool read_key_sequence(const std::string& text, bool ntsc, std::vector<KeyStroke>& strokes, std::string& error) {
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        KeyStroke stroke;
        std::string upper = word;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        ZxKey key{};
        if (upper.starts_with("WAIT:")) {
            stroke.wait_seconds = read_emulated_time(word.substr(5), ntsc);
            if (stroke.wait_seconds < 0) {
                error = "'" + word + "' waits for no time (WAIT:2.5 or WAIT:50f)";
                return false;
            }
            if (stroke.wait_seconds > longest_emulated_time) {
                error = "'" + word + "' waits too long: a week of emulated time at most";
                return false;
            }
        } else if (upper == "RUBOUT") {
            stroke.keys = {zx_key::shift, zx_key::digit0};
        } else if (upper.starts_with("SHIFT+") && key_named(upper.substr(6), key)) {
            stroke.keys = {zx_key::shift, key};
        } else if (key_named(upper, key)) {
            stroke.keys = {key};
            stroke.newline = key.row == zx_key::newline.row && key.bit == zx_key::newline.bit;
        } else {
            error = "no ZX81 key is called '" + word + "'";
            return false;
        }
        strokes.push_back(stroke);
    }
    return true;
}

double read_emulated_time(const std::string& text, bool ntsc) {
    const bool frames = !text.empty() && (text.back() == 'f' || text.back() == 'F');
    const std::string number = frames ? text.substr(0, text.size() - 1) : text;
    if (number.empty() || number.find_first_not_of("0123456789.") != std::string::npos) return -1;
    char* end = nullptr;
    const double value = std::strtod(number.c_str(), &end);
    if (*end != '\0') return -1;
    return frames ? value / (ntsc ? 60.0 : 50.0) : value;
}
