#include "key_sequence.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace {

struct KeyName {
    const char* name;
    ZxKey key;
};
// The keys by their place in the matrix, row by row from bit 0.
constexpr const char* matrix_names[8][5] = {
    {"SHIFT", "Z", "X", "C", "V"}, {"A", "S", "D", "F", "G"}, {"Q", "W", "E", "R", "T"},
    {"1", "2", "3", "4", "5"},     {"0", "9", "8", "7", "6"}, {"P", "O", "I", "U", "Y"},
    {"NEWLINE", "L", "K", "J", "H"}, {"SPACE", ".", "M", "N", "B"},
};
constexpr KeyName named_keys[] = {
    {"NEWLINE", zx_key::newline}, {"ENTER", zx_key::newline}, {"SPACE", zx_key::space},
    {".", zx_key::dot},           {"SHIFT", zx_key::shift},
};

// The ZX81 key of a name: a letter, a digit or one of the names above.
bool key_named(std::string name, ZxKey& key) {
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (uint8_t row = 0; row < 8; ++row)
        for (uint8_t bit = 0; bit < 5; ++bit)
            if (name.size() == 1 && name == matrix_names[row][bit]) {
                key = {row, bit};
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

std::string key_name(ZxKey key) {
    return key.row < 8 && key.bit < 5 ? matrix_names[key.row][key.bit] : "?";
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
