#include "title.h"

#include <allegro.h>

#include <cstdio>
#include <filesystem>

#include "allegro_glue.h"
#include "desktop.h"
#include "presenter.h"

std::string title_for(Model model, const std::string& fitted, const std::string& program) {
    std::string title = window_title;
    if (!program.empty()) title.append(" - ").append(program);
    const char* separator = " - ";
    if (model != Model::simple) {
        title.append(separator).append(model_name(model)).append(" model");
        separator = ", ";
    }
    if (!fitted.empty()) title.append(separator).append(fitted);
    return title;
}

std::string fitted_text(const MachineOptions& options) {
    std::string text;
    const auto add = [&](const std::string& part) { text.append(text.empty() ? "" : ", ").append(part); };
    const RamChoice ram = ram_of(options);
    if (ram.kb != default_ram_kb || ram.low) add(std::string(ram_name(ram.kb, ram.low)) + "K");
    if (options.chroma) add("Chroma 81");
    constexpr const char* boards[] = {"", "UDG", "CHR$128", "QS characters"};
    if (options.chars != CharBoard::none) add(boards[static_cast<int>(options.chars)]);
    constexpr const char* sticks[] = {"", "Kempston joystick", "cursor joystick", "ZXpand joystick"};
    if (options.joystick != JoystickKind::none) add(sticks[static_cast<int>(options.joystick)]);
    if (options.zxpand && options.joystick != JoystickKind::zxpand) add("ZXpand");
    if (options.printer) add("printer");
    return text;
}

std::string title_of(const Desktop& desktop) {
    std::string title = title_for(desktop.title_model, desktop.fitted, desktop.program_name);
    // A second window at once: "Orlix V.0.3 (2) - ...".
    if (desktop.instance > 1) title.insert(std::string(window_title).size(), " (" + std::to_string(desktop.instance) + ")");
    // What lasts is said as long as it lasts: the sound off, the tape playing.
    if (desktop.sound == SoundMode::off) title.append(" - sound off");
    if (!desktop.tape_status.empty()) title.append(" - ").append(desktop.tape_status);
    if (!desktop.debug_status.empty()) title.append(" - ").append(desktop.debug_status);
    return title;
}

void show_title(Desktop& desktop) {
    desktop.title_shown = title_of(desktop);
    set_title(desktop.title_shown);
}

void note_in_title(Desktop& desktop, const std::string& note) {
    if (!screen) return;
    desktop.title_shown = title_of(desktop).append(" - ").append(note);
    set_title(desktop.title_shown);
    desktop.title_note_periods = 300;
}

void tell(Desktop& desktop, const std::string& text) {
    if (desktop.layout.full_screen)
        show_note(desktop, text);
    else
        note_in_title(desktop, text);
}

namespace {

// The debugger's client: the title says it is there, and where it holds the
// machine stopped.
std::string debugger_status(const Desktop& desktop, const Zx81& machine) {
    if (!desktop.debugger) return {};
    if (machine.debug.stopped) {
        char text[32];
        std::snprintf(text, sizeof text, "stopped at PC=%04X", machine.cpu.PC.w);
        return text;
    }
    return desktop.debugger->attached() ? "debugger attached" : "";
}

// The tape while the deck plays it: its file, where it is and how long it
// is, to the second.
std::string tape_status(const TapeDeck& deck) {
    if (!deck.playing) return {};
    const auto clock = [](uint64_t cycles) {
        const uint64_t seconds = cycles / static_cast<uint64_t>(processor_clock);
        char text[32];
        std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                      static_cast<unsigned long long>(seconds % 60));
        return std::string(text);
    };
    return "tape " + std::filesystem::path(deck.name).filename().string() + " " + clock(tape_position(deck)) + " / " +
           clock(deck.length);
}

}  // namespace

void refresh_title(Desktop& desktop, const Zx81& machine) {
    desktop.debug_status = debugger_status(desktop, machine);
    desktop.tape_status = tape_status(machine.tape.deck);
    desktop.title_model = machine.model;
    if (desktop.title_note_periods > 0) --desktop.title_note_periods;
    if (desktop.note_periods > 0 && --desktop.note_periods == 0) redraw_frame(desktop);
    if (!screen || desktop.title_note_periods > 0) return;
    std::string title = title_of(desktop);
    if (title == desktop.title_shown) return;
    desktop.title_shown = std::move(title);
    set_title(desktop.title_shown);
}

void name_program(Desktop& desktop, const std::string& path) {
    desktop.program_name = std::filesystem::path(path).filename().string();
}
