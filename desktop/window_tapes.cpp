#include "window_tapes.h"

#include <allegro.h>

#include <filesystem>

#include "desktop.h"
#include "file_dialogs.h"
#include "presenter.h"
#include "reporters.h"
#include "tape_files.h"
#include "title.h"

namespace {

// The folder where LOAD and SAVE typed at the ZX81 find and put files: the
// folder of the program last loaded or saved, else the working folder.
std::string tape_folder(const Desktop& desktop) {
    const std::string folder = std::filesystem::path(desktop.file_name).parent_path().string();
    return folder.empty() ? "." : folder;
}

}  // namespace

void load_named_file(Desktop& desktop, Zx81& machine) {
    const TapeResult loaded = load_program_file(machine, desktop.file_name);
    if (loaded.ok) name_program(desktop, desktop.file_name);
    if (!loaded.ok) warn(loaded.message, desktop.layout.scale);
}

bool load_program_named_at_start(Desktop& desktop, Zx81& machine) {
    constexpr int longest_start = 1000;
    if (desktop.program_to_load.empty()) return false;
    if (!shows_k_prompt(machine.memory) && ++desktop.periods_run < longest_start) return false;
    desktop.file_name = desktop.program_to_load;
    desktop.program_to_load.clear();
    load_named_file(desktop, machine);
    redraw_frame(desktop);
    return true;
}

void serve_tape(Desktop& desktop, Zx81& machine) {
    // LOAD "" with no tape asks for the file in the F3 dialog; Cancel there
    // is BREAK.
    const auto choose = [&]() -> std::optional<std::string> {
        show_mouse(nullptr);
        if (!choose_program_file(FileDialog::open, desktop.file_name, desktop.layout.scale)) return std::nullopt;
        return desktop.file_name;
    };
    bool broken = false;
    const TapeResult result = serve_tape_request(machine, {tape_folder(desktop), desktop.save_format, choose}, broken);
    if (broken) {
        redraw_frame(desktop);
        return;
    }
    if (result.ok) {
        desktop.file_name = result.path;
        name_program(desktop, result.path);
    } else {
        show_mouse(nullptr);
        warn(result.message, desktop.layout.scale);
    }
    redraw_frame(desktop);
}
