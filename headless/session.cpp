#include "session.h"

#include <cstdio>

#include "basic_text.h"

namespace {

// How long a key is held and let go: long enough for the ROM to take it, in
// periods; and what the ROM gets after NEWLINE to enter a line.
constexpr int hold_periods = 10;
constexpr int release_periods = 10;
constexpr int newline_periods = 30;
constexpr int settle_periods = 20;
// How long the ZX81 may take to show its K prompt.
constexpr int longest_start = 10 * periods_per_second;

}  // namespace

int64_t periods_in(double seconds) {
    return static_cast<int64_t>(seconds * periods_per_second + 0.5);
}

void Session::answer_debugger() {
    if (!debugger) return;
    debugger->serve(*machine);
    while (machine->debug.stopped && debugger->attached()) debugger->serve(*machine, 100);
}

void Session::run(int64_t periods) {
    for (int64_t i = 0; i < periods; ++i) {
        answer_debugger();
        run_period(*machine);
        if (recording) recording->add(machine->sound.samples);
        machine->sound.samples.clear();
        const TapeCommand& command = machine->tape.command;
        if (command.action == TapeAction::none) continue;
        if (command.action == TapeAction::load && command.name.empty() && !deck_has_next_program(*machine)) {
            break_tape_command(*machine);
            continue;
        }
        const TapeResult result = serve_tape_command(*machine, tape_folder, save);
        if (!result.ok) std::fprintf(stderr, "orlix: %s\n", result.message.c_str());
    }
}

void Session::wait_for_prompt() {
    for (int i = 0; i < longest_start && !shows_k_prompt(machine->memory); ++i) run(1);
    run(settle_periods);
}

void Session::hold(const std::vector<ZxKey>& keys, int periods) {
    KeyMatrix matrix = no_keys_down;
    for (ZxKey k : keys) press_key(matrix, k);
    set_keys(*machine, matrix);
    run(periods);
}

void Session::press(const KeyStroke& stroke) {
    if (stroke.keys.empty()) {
        run(periods_in(stroke.wait_seconds));
        return;
    }
    const bool shifted = stroke.keys.size() > 1;
    if (shifted) hold({stroke.keys[0]}, 1);
    hold(stroke.keys, hold_periods);
    if (shifted) hold({stroke.keys[0]}, 1);
    hold({}, stroke.newline ? newline_periods : release_periods);
}

bool Session::shows(const std::string& text) {
    for (const std::string& line : screen_text(*machine))
        if (line.find(text) != std::string::npos) return true;
    return false;
}
