#include "settings.h"

#include <ini.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

#include "file_input.h"
#include "file_output.h"
#include "colours.h"

namespace fs = std::filesystem;

namespace {

std::optional<int> number_in(const std::string& text, int lowest, int highest) {
    for (int n = lowest; n <= highest; ++n)
        if (text == std::to_string(n)) return n;
    return std::nullopt;
}

// "on" or "off" into `flag`; false for anything else.
bool on_off(const std::string& value, bool& flag) {
    if (value != "on" && value != "off") return false;
    flag = value == "on";
    return true;
}

struct Reading {
    Settings settings;
    int bad_values = 0;
};

// Each key of the file: the setting it belongs to, how it is read (false
// for a value not understood) and how it is written.
struct SettingKey {
    const char* key;
    SettingField field;
    bool (*read)(Settings&, const std::string&);
    std::string (*write)(const Settings&);
};

constexpr SettingKey setting_keys[] = {
    {"mode", SettingField::view,
     [](Settings& s, const std::string& v) {
         const auto n = number_in(v, 0, screen_mode_count - 1);
         if (n) s.view.mode = *n;
         return n.has_value();
     },
     [](const Settings& s) { return std::to_string(s.view.mode); }},
    {"scale", SettingField::view,
     [](Settings& s, const std::string& v) {
         const auto n = number_in(v, 0, largest_scale);
         if (n) s.view.scale = *n > 1 ? *n : 0;
         return n.has_value();
     },
     [](const Settings& s) { return std::to_string(s.view.scale); }},
    {"ink", SettingField::colours,
     [](Settings& s, const std::string& v) {
         const auto n = number_in(v, 0, 15);
         if (n) s.ink = *n;
         return n.has_value();
     },
     [](const Settings& s) { return std::to_string(s.ink); }},
    {"paper", SettingField::colours,
     [](Settings& s, const std::string& v) {
         const auto n = number_in(v, 0, 15);
         if (n) s.paper = *n;
         return n.has_value();
     },
     [](const Settings& s) { return std::to_string(s.paper); }},
    {"model", SettingField::model,
     [](Settings& s, const std::string& v) {
         for (Model m : {Model::simple, Model::hardware})
             if (v == model_name(m)) {
                 s.model = m;
                 return true;
             }
         return false;
     },
     [](const Settings& s) { return std::string(model_name(s.model)); }},
    {"ram", SettingField::ram,
     [](Settings& s, const std::string& v) {
         for (const RamName& n : ram_names)
             if (v == n.name) {
                 s.ram_kb = n.ram.kb;
                 s.low_ram = n.ram.low;
                 return true;
             }
         return false;
     },
     [](const Settings& s) { return std::string(ram_name(s.ram_kb, s.low_ram)); }},
    {"sound", SettingField::sound,
     [](Settings& s, const std::string& v) {
         for (SoundMode mode : {SoundMode::off, SoundMode::on, SoundMode::mic})
             if (v == sound_mode_name(mode)) {
                 s.sound = mode;
                 return true;
             }
         return false;
     },
     [](const Settings& s) { return std::string(sound_mode_name(s.sound)); }},
    {"chroma", SettingField::expansions, [](Settings& s, const std::string& v) { return on_off(v, s.chroma); },
     [](const Settings& s) { return std::string(s.chroma ? "on" : "off"); }},
    {"chars", SettingField::expansions,
     [](Settings& s, const std::string& v) {
         for (size_t i = 0; i < std::size(char_board_names); ++i)
             if (v == char_board_names[i]) {
                 s.chars = char_board_values[i];
                 s.chr128_inverts = v != "chr128-plain";
                 return true;
             }
         return false;
     },
     [](const Settings& s) {
         return std::string(s.chars == CharBoard::chr128 && !s.chr128_inverts
                                ? "chr128-plain"
                                : char_board_names[static_cast<size_t>(s.chars)]);
     }},
    {"joystick", SettingField::expansions,
     [](Settings& s, const std::string& v) {
         for (size_t i = 0; i < std::size(joystick_names); ++i)
             if (v == joystick_names[i]) {
                 s.joystick = static_cast<JoystickKind>(i);
                 return true;
             }
         return false;
     },
     [](const Settings& s) { return std::string(joystick_names[static_cast<size_t>(s.joystick)]); }},
    {"zxpand", SettingField::expansions, [](Settings& s, const std::string& v) { return on_off(v, s.zxpand); },
     [](const Settings& s) { return std::string(s.zxpand ? "on" : "off"); }},
    {"printer", SettingField::expansions, [](Settings& s, const std::string& v) { return on_off(v, s.printer); },
     [](const Settings& s) { return std::string(s.printer ? "on" : "off"); }},
};

// One key=value line: false when it is not understood.
bool take(Settings& s, const std::string& key, const std::string& value) {
    for (const SettingKey& k : setting_keys)
        if (key == k.key) return k.read(s, value);
    return false;
}

// inih's callback: a line it could read as key=value. A value not
// understood counts as an error, which inih reports by its line.
int on_line(void* user, const char* section, const char* key, const char* value) {
    Reading& r = *static_cast<Reading*>(user);
    if ((section && *section) || !take(r.settings, key, value)) {
        ++r.bad_values;
        return 0;
    }
    return 1;
}

}  // namespace

const char* sound_mode_name(SoundMode mode) {
    switch (mode) {
    case SoundMode::off: return "off";
    case SoundMode::mic: return "mic";
    case SoundMode::on: break;
    }
    return "on";
}

std::string settings_path() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/') return std::string(config) + "/orlix/orlix.conf";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/orlix/orlix.conf";
}

Settings read_settings(const std::string& path, std::string& problem) {
    problem.clear();
    Reading reading;
    const auto cannot_read = [&](const std::string& why) {
        problem = path + ": cannot be read (" + why + "), ignored";
        return Settings{};
    };
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        // No file at all is a first run; anything else in the way is said.
        if (errno != ENOENT) return cannot_read(std::strerror(errno));
        struct stat link;
        if (lstat(path.c_str(), &link) == 0) return cannot_read("a link to a file that is not there");
        return reading.settings;
    }
    if (!S_ISREG(info.st_mode)) return cannot_read("not a regular file");
    // No settings file comes near this; more is not read.
    constexpr size_t longest_settings = 64 * 1024;
    const FileBytes file = read_regular_file(path, longest_settings);
    if (!file.ok) return cannot_read(file.problem);
    const std::string text(file.bytes.begin(), file.bytes.end());
    // The line of the first error, whether inih could not read the line or
    // the value was not understood.
    const int first_error = ini_parse_string(text.c_str(), on_line, &reading);
    if (first_error != 0) problem = path + ": line " + std::to_string(first_error) + " not understood, ignored";
    // Ink and paper that look the same would show a blank screen from the
    // first frame on.
    Settings& settings = reading.settings;
    if (colours_look_alike(settings.ink, settings.paper)) {
        if (problem.empty()) problem = path + ": ink and paper look the same, the default colours used";
        settings.ink = Settings{}.ink;
        settings.paper = Settings{}.paper;
    }
    return settings;
}

bool write_settings(const std::string& path, const Settings& s, std::string& problem) {
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    std::string text = "# Orlix's settings, written when one is changed in the window.\n";
    for (const SettingKey& k : setting_keys) text.append(k.key).append("=").append(k.write(s)).append("\n");
    // Whole or not at all, and on disk before it takes the name: a crash
    // leaves the old settings or the new, never an empty file.
    const FileResult written =
        write_whole_file(path, reinterpret_cast<const uint8_t*>(text.data()), text.size(), Streams::refused);
    if (!written.ok) problem = path + ": " + written.reason;
    return written.ok;
}

bool change_settings(const std::string& path, const Settings& changed, SettingField field, std::string& problem) {
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    // Another Orlix may change another setting at the same moment: one at a
    // time reads the file, changes its own and writes it back.
    // The lock is the settings' folder's, so that no file of its own is left.
    const std::string folder = fs::path(path).parent_path().string();
    const int lock = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock >= 0) flock(lock, LOCK_EX);
    std::string ignored;
    Settings now = read_settings(path, ignored);
    for (const SettingKey& k : setting_keys)
        if (k.field == field) k.read(now, k.write(changed));
    const bool written = write_settings(path, now, problem);
    if (lock >= 0) close(lock);  // which lets the lock go
    return written;
}

namespace {

// Each field the settings and the machine's options share, handed to
// `both` as (the setting, the option).
template <class S, class O, class F>
void shared_fields(S& s, O& o, F both) {
    both(s.ram_kb, o.ram_kb);
    both(s.low_ram, o.low_ram);
    both(s.chroma, o.chroma);
    both(s.chars, o.chars);
    both(s.chr128_inverts, o.chr128_inverts);
    both(s.joystick, o.joystick);
    both(s.zxpand, o.zxpand);
    both(s.printer, o.printer);
}

}  // namespace

void machine_from_settings(const Settings& settings, MachineOptions& options) {
    shared_fields(settings, options, [](const auto& kept, auto& option) { option = kept; });
}

void settings_from_machine(const MachineOptions& options, Settings& settings) {
    shared_fields(settings, options, [](auto& kept, const auto& option) { kept = option; });
}

