#include "window_tapes.h"

#include <allegro.h>

#include <cstdio>
#include <filesystem>

#include "desktop.h"
#include "file_dialogs.h"
#include "presenter.h"
#include "reporters.h"
#include "tape_files.h"
#include "tape_images.h"
#include "title.h"

namespace {

// The folder where LOAD and SAVE typed at the ZX81 find and put files: the
// folder of the program last loaded or saved, else the working folder.
std::string tape_folder(const Desktop& desktop) {
    const std::string folder = std::filesystem::path(desktop.file_name).parent_path().string();
    return folder.empty() ? "." : folder;
}

// The programs on a tape as the list of them shows them.
std::vector<std::string> program_lines(const std::vector<TapeProgram>& programs) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < programs.size(); ++i) {
        const uint64_t seconds = programs[i].start / static_cast<uint64_t>(processor_clock);
        char line[96];
        std::snprintf(line, sizeof line, "%2zu  %-16.16s %6zu bytes  at %llu:%02llu", i + 1,
                      printable_name(programs[i].name).c_str(), programs[i].data.size(),
                      static_cast<unsigned long long>(seconds / 60), static_cast<unsigned long long>(seconds % 60));
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

bool load_named_file(Desktop& desktop, Zx81& machine) {
    const std::string& path = desktop.file_name;
    TapeResult loaded;
    if (tape_file_name(path)) {
        // A tape of several programs: the user picks one.
        TapeImage tape = read_tape_image(path);
        size_t which = 0;
        if (tape.programs.size() > 1) {
            const std::optional<size_t> chosen = choose_from_list(
                "Programs on " + std::filesystem::path(path).filename().string(), program_lines(tape.programs),
                desktop.layout.scale);
            redraw_frame(desktop);
            if (!chosen) return false;
            which = *chosen;
        }
        std::string warnings;
        loaded = open_read_tape(machine, path, std::move(tape), which, &warnings);
        if (loaded.ok && !warnings.empty()) warn(path + "\n" + warnings, desktop.layout.scale);
    } else {
        loaded = load_program_file(machine, path);
    }
    if (loaded.ok) name_program(desktop, path);
    if (!loaded.ok) warn(loaded.message, desktop.layout.scale);
    return loaded.ok;
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
