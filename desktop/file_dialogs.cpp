#include "file_dialogs.h"

#include <allegro.h>

#include "allegro_glue.h"
#include "host_keys.h"
#include "reporters.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Linux takes names of up to 255 bytes in paths of up to 4095.
constexpr size_t longest_name = 255;
constexpr size_t longest_path = 4095;

struct Filter {
    const char* label;
    std::array<const char*, 5> extensions;  // compared without regard to case; null past the last
};
constexpr Filter all_read = {"All files Orlix reads", {".P", ".81", ".P81", ".TZX", ".WAV"}};
constexpr Filter xtender = {"Xtender format (*.P)", {".P"}};
constexpr Filter z81 = {"Atari z81 format (*.81)", {".81"}};
constexpr Filter rom_files = {"Rom file (*.ROM)", {".ROM"}};
constexpr Filter tzx = {"Tape file (*.TZX)", {".TZX"}};
constexpr Filter wav = {"Tape recording (*.WAV)", {".WAV"}};
constexpr Filter p81 = {"Tape with names (*.P81)", {".P81"}};
// Each dialog's filters; the first is selected when it opens, unless the
// name offered has the extension of another. Save offers what it writes.
constexpr std::array<Filter, 7> open_filters = {all_read, xtender, z81, rom_files, tzx, wav, p81};
constexpr std::array<Filter, 5> save_filters = {xtender, z81, tzx, wav, p81};

bool has_extension(const std::string& name, const char* extension) {
    const size_t n = std::strlen(extension);
    if (name.size() <= n) return false;
    for (size_t i = 0; i < n; ++i) {
        const char a = static_cast<char>(std::toupper(static_cast<unsigned char>(name[name.size() - n + i])));
        if (a != extension[i]) return false;
    }
    return true;
}

bool passes(const std::string& name, const Filter& filter) {
    for (const char* extension : filter.extensions)
        if (extension && has_extension(name, extension)) return true;
    return false;
}

}  // namespace

// The dialog's state while it is open. Allegro's list callbacks carry no
// pointer of their own, so they reach it through gui_callbacks().
struct Browser {
    fs::path folder;
    const Filter* filters = open_filters.data();
    size_t filter_count = open_filters.size();
    int filter = 0;
    std::vector<std::string> entries;  // "../", folders with "/", then files
    // The edit field's buffer: Allegro counts characters, stored as UTF-8.
    std::array<char, 4 * (longest_path + 1)> text{};
    DIALOG* items = nullptr;
};

namespace {

Browser& open_browser() {
    return *gui_callbacks().browser;
}

void set_text(const std::string& s) {
    std::strncpy(open_browser().text.data(), s.c_str(), longest_path);
    open_browser().text[longest_path] = '\0';
}

void read_folder() {
    open_browser().entries.clear();
    std::vector<std::string> folders;
    std::vector<std::string> files;
    std::error_code error;
    for (const fs::directory_entry& e : fs::directory_iterator(open_browser().folder, error)) {
        const std::string name = e.path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code kind_error;
        if (e.is_directory(kind_error))
            folders.push_back(name + "/");
        else if (passes(name, open_browser().filters[open_browser().filter]))
            files.push_back(name);
    }
    std::sort(folders.begin(), folders.end());
    std::sort(files.begin(), files.end());
    if (open_browser().folder.has_parent_path() && open_browser().folder != open_browser().folder.root_path())
        open_browser().entries.push_back("../");
    open_browser().entries.insert(open_browser().entries.end(), folders.begin(), folders.end());
    open_browser().entries.insert(open_browser().entries.end(), files.begin(), files.end());
}

const char* entry_getter(int index, int* size) {
    if (index < 0) {
        *size = static_cast<int>(open_browser().entries.size());
        return nullptr;
    }
    return open_browser().entries[static_cast<size_t>(index)].c_str();
}

const char* filter_getter(int index, int* size) {
    if (index < 0) {
        *size = static_cast<int>(open_browser().filter_count);
        return nullptr;
    }
    return open_browser().filters[static_cast<size_t>(index)].label;
}

enum Item { frame, title, name_edit, file_list, filter_label, filter_list, ok_button, cancel_button, end };

void redraw_item(int item) {
    object_message(&open_browser().items[item], MSG_DRAW, 0);
}

void show_folder(const fs::path& folder) {
    open_browser().folder = folder.lexically_normal();
    read_folder();
    open_browser().items[file_list].d1 = 0;
    open_browser().items[file_list].d2 = 0;
    std::string shown = open_browser().folder.string();
    if (shown.empty() || shown.back() != '/') shown += '/';
    set_text(shown);
    open_browser().items[name_edit].d2 = static_cast<int>(std::strlen(open_browser().text.data()));
    redraw_item(file_list);
    redraw_item(name_edit);
}

// A list as Allegro draws it, but with the selected row always in
// inverted colours, as it shows it while the list has the focus: without
// the focus it draws the row in gui_mg_color, which at 15 and 16 bits is
// all but black, under black text.
int list_proc(int msg, DIALOG* d, int c) {
    if (msg != MSG_DRAW) return d_list_proc(msg, d, c);
    const int flags = d->flags;
    d->flags |= D_GOTFOCUS;
    const int result = d_list_proc(msg, d, c);
    d->flags = flags;
    return result;
}

// Picking an entry puts its path in the name field; double-clicking a
// folder (or pressing Enter on it) opens it.
int file_list_proc(int msg, DIALOG* d, int c) {
    const int before = d->d1;
    const int result = list_proc(msg, d, c);
    if (d->d1 != before && d->d1 >= 0 && d->d1 < static_cast<int>(open_browser().entries.size())) {
        const std::string& entry = open_browser().entries[static_cast<size_t>(d->d1)];
        if (entry.back() != '/') {
            set_text((open_browser().folder / entry).string());
            open_browser().items[name_edit].d2 = static_cast<int>(std::strlen(open_browser().text.data()));
            redraw_item(name_edit);
        }
    }
    if (result == D_CLOSE && d->d1 >= 0 && d->d1 < static_cast<int>(open_browser().entries.size())) {
        const std::string entry = open_browser().entries[static_cast<size_t>(d->d1)];
        if (entry.back() == '/') {
            show_folder(open_browser().folder / entry);
            return D_O_K;
        }
    }
    return result;
}

int filter_list_proc(int msg, DIALOG* d, int c) {
    const int before = d->d1;
    const int result = list_proc(msg, d, c);
    if (d->d1 != before) {
        open_browser().filter = d->d1;
        read_folder();
        open_browser().items[file_list].d1 = 0;
        open_browser().items[file_list].d2 = 0;
        redraw_item(file_list);
    }
    return result;
}

// The dialogs are drawn at 1x on a canvas of their own (gui_callbacks())
// and shown on the screen at the view's scale, so that their text is as
// large as the ZX81's; the pointer is read back at 1x.
int canvas_mouse_x() {
    return mouse_x / gui_callbacks().canvas_scale;
}

int canvas_mouse_y() {
    return mouse_y / gui_callbacks().canvas_scale;
}

void present_canvas() {
    scare_mouse();
    acquire_screen();
    const GuiCallbacks& gui = gui_callbacks();
    stretch_blit(gui.canvas, screen, 0, 0, gui.canvas->w, gui.canvas->h, 0, 0, gui.canvas->w * gui.canvas_scale,
                 gui.canvas->h * gui.canvas_scale);
    release_screen();
    unscare_mouse();
}

// Runs a dialog on the canvas until an object closes it; returns that object.
int run_dialog(DIALOG* items, int focus) {
    DIALOG_PLAYER* player = init_dialog(items, focus);
    present_canvas();
    // A request to quit (the close button, SIGTERM) closes the dialog as
    // Cancel does.
    while (!quit_requested() && update_dialog(player)) {
        present_canvas();
        rest(10);  // the GUI itself would spin
    }
    return shutdown_dialog(player);
}

// A small box over the dialog with two lines and one or two buttons, each
// with a key of its own (Enter takes the first, Escape closes); returns 1
// for the first button.
int ask(const std::string& line1, const char* line2, const char* first, int first_key, const char* second,
        int second_key) {
    const BITMAP* const canvas = gui_callbacks().canvas;
    const int fg = makecol(0, 0, 0);
    const int bg = makecol(224, 224, 224);
    // As wide as the longer line (the screen allowing).
    const size_t widest = std::max(line1.size(), line2 ? std::strlen(line2) : size_t{0});
    const int w = std::min(canvas->w - 8, std::max<int>(160, 8 * static_cast<int>(widest) + 16));
    const int h = 64;
    const int x = (canvas->w - w) / 2;
    const int y = (canvas->h - h) / 2;
    const int buttons = second ? 2 : 1;
    DIALOG items[] = {
        {d_shadow_box_proc, x, y, w, h, fg, bg, 0, 0, 0, 0, nullptr, nullptr, nullptr},
        {d_ctext_proc, x + w / 2, y + 8, 0, 8, fg, bg, 0, 0, 0, 0, const_cast<char*>(line1.c_str()), nullptr, nullptr},
        {d_ctext_proc, x + w / 2, y + 20, 0, 8, fg, bg, 0, 0, 0, 0, const_cast<char*>(line2), nullptr, nullptr},
        {d_button_proc, x + w / 2 - (buttons == 2 ? 68 : 28), y + 40, 56, 16, fg, bg, first_key, D_EXIT, 0, 0,
         const_cast<char*>(first), nullptr, nullptr},
        {d_button_proc, x + w / 2 + 12, y + 40, 56, 16, fg, bg, second_key, D_EXIT, 0, 0,
         const_cast<char*>(second), nullptr, nullptr},
        {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
    };
    if (buttons == 1) items[4] = items[5];
    const int closed_by = run_dialog(items, 3);
    return closed_by == 3 ? 1 : 2;
}

void tell(const std::string& line1, const char* line2) {
    ask(line1, line2, "OK", 'o', nullptr, 0);
}

// Asks a yes/no question over the dialog (Y or N; Escape is no).
bool confirm(const std::string& line1, const char* line2) {
    return ask(line1, line2, "Yes", 'y', "No", 'n') == 1;
}

const char* line_getter(int index, int* size) {
    const std::vector<std::string>& lines = *gui_callbacks().list_lines;
    if (index < 0) {
        *size = static_cast<int>(lines.size());
        return nullptr;
    }
    return lines[static_cast<size_t>(index)].c_str();
}

// A dialog's canvas, at 1x, shown at the view's scale, and Allegro's GUI
// pointed at it while the dialog runs; everything put back after it, and
// the keys that closed it kept from the ZX81.
struct DialogCanvas {
    const InputThreadRuns input;  // Allegro's dialogs read its own key and mouse state
    BITMAP* canvas = nullptr;
    int fg = 0, bg = 0;
    int (*pointer_x)() = nullptr;
    int (*pointer_y)() = nullptr;

    explicit DialogCanvas(int scale) {
        if (!screen) return;
        // A click that opened the dialog (the S and L buttons) is let go
        // first: else the dialog would take it as a click on its list, and
        // the typing would go there rather than to the name.
        while (mouse_b & 1) rest(10);
        GuiCallbacks& gui = gui_callbacks();
        gui.canvas_scale = std::max(1, scale);
        gui.canvas = canvas = create_bitmap(screen->w / gui.canvas_scale, screen->h / gui.canvas_scale);
        if (!canvas) return;
        gui_set_screen(canvas);
        pointer_x = gui_mouse_x;
        pointer_y = gui_mouse_y;
        gui_mouse_x = canvas_mouse_x;
        gui_mouse_y = canvas_mouse_y;
        gui_fg_color = fg = makecol(0, 0, 0);
        gui_bg_color = bg = makecol(224, 224, 224);
        gui_mg_color = makecol(128, 128, 128);  // the selection of a list without focus
        clear_keybuf();
    }
    ~DialogCanvas() {
        if (!canvas) return;
        gui_mouse_x = pointer_x;
        gui_mouse_y = pointer_y;
        gui_set_screen(nullptr);
        destroy_bitmap(canvas);
        gui_callbacks().canvas = nullptr;
        for (int k : {KEY_ENTER, KEY_ESC, KEY_Y, KEY_N}) key[k] = 0;
        forget_key_events();
    }
    DialogCanvas(const DialogCanvas&) = delete;
    DialogCanvas& operator=(const DialogCanvas&) = delete;
};

}  // namespace

bool name_fits(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t name_length = slash == std::string::npos ? path.size() : path.size() - slash - 1;
    return name_length <= longest_name && path.size() <= longest_path;
}

std::string with_default_extension(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    const std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
    if (file.empty() || file.find('.') != std::string::npos) return name;
    return name + ".P";
}

bool choose_program_file(FileDialog kind, std::string& name, int scale) {
    const DialogCanvas dialog(scale);
    if (!dialog.canvas) return false;
    GuiCallbacks& gui = gui_callbacks();
    const int w = dialog.canvas->w;
    const int h = dialog.canvas->h;
    const int list_h = h - 104;
    const int fg = dialog.fg, bg = dialog.bg;
    const char* caption = kind == FileDialog::save ? "Save Zx81 File" : "Open Zx81 File";

    std::error_code error;
    fs::path start = name.empty() ? fs::current_path(error) : fs::absolute(name, error);
    Browser browser;
    gui.browser = &browser;
    if (kind == FileDialog::save) {
        browser.filters = save_filters.data();
        browser.filter_count = save_filters.size();
    }
    // The filter that shows the name offered (GAME.TZX: the tapes).
    for (size_t i = 0; i < browser.filter_count && !name.empty(); ++i)
        if (passes(name, browser.filters[i])) {
            browser.filter = static_cast<int>(i);
            break;
        }
    browser.folder = name.empty() ? start : start.parent_path();
    if (!fs::is_directory(browser.folder, error)) browser.folder = fs::current_path(error);
    read_folder();
    set_text(name.empty() ? (browser.folder / "").string() : start.string());

    DIALOG items[] = {
        {d_shadow_box_proc, 0, 0, w, h, fg, bg, 0, 0, 0, 0, nullptr, nullptr, nullptr},
        {d_ctext_proc, w / 2, 4, 0, 8, fg, bg, 0, 0, 0, 0, const_cast<char*>(caption), nullptr, nullptr},
        {d_edit_proc, 6, 18, w - 12, 10, fg, makecol(255, 255, 255), 0, D_EXIT,
         static_cast<int>(longest_path), 0, browser.text.data(), nullptr, nullptr},
        {file_list_proc, 6, 32, w - 12, list_h, fg, makecol(255, 255, 255), 0, D_EXIT, 0, 0,
         reinterpret_cast<void*>(entry_getter), nullptr, nullptr},
        {d_text_proc, 6, 36 + list_h, 0, 8, fg, bg, 0, 0, 0, 0, const_cast<char*>("Files of type:"),
         nullptr, nullptr},
        {filter_list_proc, 6, 46 + list_h, w - 12, 28, fg, makecol(255, 255, 255), 0, 0, 0, 0,
         reinterpret_cast<void*>(filter_getter), nullptr, nullptr},
        {d_button_proc, w / 2 - 84, h - 22, 72, 16, fg, bg, 0, D_EXIT, 0, 0, const_cast<char*>("OK"),
         nullptr, nullptr},
        {d_button_proc, w / 2 + 12, h - 22, 72, 16, fg, bg, 27, D_EXIT, 0, 0,
         const_cast<char*>("Cancel"), nullptr, nullptr},
        {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
    };
    browser.items = items;
    items[name_edit].d2 = static_cast<int>(std::strlen(browser.text.data()));
    items[filter_list].d1 = browser.filter;
    items[filter_list].d2 = std::max(0, browser.filter - 2);  // the list shows three rows
    bool chosen = false;
    for (;;) {
        const int closed_by = run_dialog(items, name_edit);
        if (quit_requested()) break;
        if (closed_by != name_edit && closed_by != ok_button && closed_by != file_list) break;
        const std::string typed = browser.text.data();
        if (typed.empty()) continue;
        if (fs::is_directory(typed, error)) {  // a folder typed or picked: open it
            show_folder(typed);
            continue;
        }
        const std::string path = with_default_extension(typed);
        if (!name_fits(path)) {
            tell("The name is too long:", "at most 255 characters a name.");
            continue;
        }
        const fs::path parent = fs::path(path).parent_path();
        if (!parent.empty() && !fs::is_directory(parent, error)) {
            tell(path, "The folder does not exist.");
            continue;
        }
        if (kind == FileDialog::open && !fs::exists(path, error)) {
            tell(path, "The file does not exist.");
            continue;
        }
        if (kind == FileDialog::save && fs::exists(path, error) &&
            !confirm(path, "already exists. Replace it?"))
            continue;
        name = path;
        chosen = true;
        break;
    }
    gui.browser = nullptr;
    return chosen;
}

std::optional<size_t> choose_from_list(const std::string& caption, const std::vector<std::string>& lines, int scale) {
    if (lines.empty()) return std::nullopt;
    const DialogCanvas dialog(scale);
    if (!dialog.canvas) return std::nullopt;
    GuiCallbacks& gui = gui_callbacks();
    gui.list_lines = &lines;
    const int w = dialog.canvas->w, h = dialog.canvas->h, fg = dialog.fg, bg = dialog.bg;
    const int list_h = std::min(h - 48, 12 + 8 * static_cast<int>(lines.size()));
    enum { box, title, list, ok, cancel };
    DIALOG items[] = {
        {d_shadow_box_proc, 0, 0, w, h, fg, bg, 0, 0, 0, 0, nullptr, nullptr, nullptr},
        {d_ctext_proc, w / 2, 4, 0, 8, fg, bg, 0, 0, 0, 0, const_cast<char*>(caption.c_str()), nullptr, nullptr},
        {list_proc, 6, 18, w - 12, list_h, fg, makecol(255, 255, 255), 0, D_EXIT, 0, 0,
         reinterpret_cast<void*>(line_getter), nullptr, nullptr},
        {d_button_proc, w / 2 - 84, h - 22, 72, 16, fg, bg, 0, D_EXIT, 0, 0, const_cast<char*>("OK"), nullptr,
         nullptr},
        {d_button_proc, w / 2 + 12, h - 22, 72, 16, fg, bg, 27, D_EXIT, 0, 0, const_cast<char*>("Cancel"), nullptr,
         nullptr},
        {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
    };
    const int closed_by = run_dialog(items, list);
    gui.list_lines = nullptr;
    if (quit_requested() || (closed_by != ok && closed_by != list) || items[list].d1 < 0) return std::nullopt;
    return static_cast<size_t>(items[list].d1);
}

bool choose_expansions(MachineOptions& options, int scale) {
    const DialogCanvas dialog(scale);
    if (!dialog.canvas) return false;
    const int w = dialog.canvas->w, h = dialog.canvas->h, fg = dialog.fg, bg = dialog.bg;
    constexpr int left = 6, row = 11;
    std::vector<DIALOG> items = {
        {d_shadow_box_proc, 0, 0, w, h, fg, bg, 0, 0, 0, 0, nullptr, nullptr, nullptr},
        {d_ctext_proc, w / 2, 4, 0, 8, fg, bg, 0, 0, 0, 0, const_cast<char*>("Expansions"), nullptr, nullptr},
    };
    const auto label = [&](int y, const char* text) {
        items.push_back({d_text_proc, left, y, 0, 8, fg, bg, 0, 0, 0, 0, const_cast<char*>(text), nullptr, nullptr});
    };
    // A row of radio buttons, one group each; the index of the first.
    const auto radios = [&](int y, int group, const std::vector<const char*>& names, size_t chosen) {
        const size_t first = items.size();
        int x = left;
        for (size_t i = 0; i < names.size(); ++i) {
            const int width = 14 + 8 * static_cast<int>(std::strlen(names[i]));
            items.push_back({d_radio_proc, x, y, width, 9, fg, bg, 0, i == chosen ? D_SELECTED : 0, group, 0,
                             const_cast<char*>(names[i]), nullptr, nullptr});
            x += width + 4;
        }
        return first;
    };
    const auto check = [&](int y, const char* name, bool on) {
        items.push_back({d_check_proc, left, y, 14 + 8 * static_cast<int>(std::strlen(name)), 9, fg, bg, 0,
                         on ? D_SELECTED : 0, 0, 0, const_cast<char*>(name), nullptr, nullptr});
        return items.size() - 1;
    };
    size_t ram_index = 0;
    for (size_t i = 0; i < ram_names.size(); ++i)
        if (ram_names[i].ram.kb == options.ram_kb && ram_names[i].ram.low == options.low_ram) ram_index = i;
    int y = 18;
    label(y, "RAM (KB):");
    const size_t ram = radios(y += row, 1, {"1", "2", "16", "32", "16+8", "40"}, ram_index);
    label(y += row + 3, "Character board:");
    const size_t chars = radios(y += row, 2, {"none", "UDG", "CHR$128", "QS"}, static_cast<size_t>(options.chars));
    label(y += row + 3, "Joystick:");
    const size_t stick = radios(y += row, 3, {"none", "Kempston", "cursor", "ZXpand"}, static_cast<size_t>(options.joystick));
    const size_t chroma = check(y += row + 5, "Chroma 81 colour", options.chroma);
    const size_t zxpand = check(y += row, "ZXpand (joystick, RAM map)", options.zxpand);
    const size_t printer = check(y += row, "ZX Printer", options.printer);
    label(y += row + 3, "The ZX81 starts again with them.");
    const size_t ok = items.size();
    items.push_back({d_button_proc, w / 2 - 84, h - 22, 72, 16, fg, bg, 0, D_EXIT, 0, 0, const_cast<char*>("OK"),
                     nullptr, nullptr});
    items.push_back({d_button_proc, w / 2 + 12, h - 22, 72, 16, fg, bg, 27, D_EXIT, 0, 0, const_cast<char*>("Cancel"),
                     nullptr, nullptr});
    items.push_back({nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr});
    const int closed_by = run_dialog(items.data(), static_cast<int>(ok));
    if (quit_requested() || closed_by != static_cast<int>(ok)) return false;
    const auto selected = [&](size_t first, size_t count) {
        for (size_t i = 0; i < count; ++i)
            if (items[first + i].flags & D_SELECTED) return i;
        return size_t{0};
    };
    const RamChoice chosen_ram = ram_names[selected(ram, ram_names.size())].ram;
    options.ram_kb = chosen_ram.kb;
    options.low_ram = chosen_ram.low;
    options.chars = char_board_values[selected(chars, 4)];
    options.joystick = static_cast<JoystickKind>(selected(stick, 4));
    options.chroma = items[chroma].flags & D_SELECTED;
    options.zxpand = items[zxpand].flags & D_SELECTED;
    options.printer = items[printer].flags & D_SELECTED;
    return true;
}

