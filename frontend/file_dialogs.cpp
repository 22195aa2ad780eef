#include "file_dialogs.h"

#include <allegro.h>

#include <array>
#include <cstring>

namespace {

constexpr size_t max_path = 255;
// Shown in the order of the filters: Xtender ".P" first, then Atari z81 ".81"
// and ROM files. Allegro's selector takes one list of extensions.
constexpr const char* extensions = "P;p;81;ROM;rom";

}  // namespace

std::string with_default_extension(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    const std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
    if (file.empty() || file.find('.') != std::string::npos) return name;
    return name + ".P";
}

bool choose_program_file(FileDialog kind, std::string& name) {
    std::array<char, 4 * (max_path + 1)> path{};  // Allegro counts bytes of UTF-8
    const std::string start = name.empty() ? "./" : name;
    std::strncpy(path.data(), start.c_str(), max_path);
    const char* title = kind == FileDialog::save ? "Save Zx81 File" : "Open Zx81 File";
    clear_keybuf();
    const int w = screen ? screen->w : 297;
    const int h = screen ? screen->h : 208;
    const int ok = file_select_ex(title, path.data(), extensions, static_cast<int>(max_path) + 1,
                                  w, h);
    // The keys that closed the dialog must not reach the ZX81.
    for (int k : {KEY_ENTER, KEY_ESC}) key[k] = 0;
    if (!ok || path[0] == '\0') return false;
    std::string chosen = with_default_extension(path.data());
    if (chosen.size() > max_path) return false;
    name = chosen;
    return true;
}
