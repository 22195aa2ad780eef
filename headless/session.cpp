#include "session.h"

#include <cstdio>

#include "basic_text.h"

namespace {

constexpr int settle_periods = 20;
// What the ROM gets after a key it took before the run goes on: to show it
// (a line of the listing redrawn), and after NEWLINE to enter the line.
constexpr int key_settle_periods = 10;
constexpr int newline_settle_periods = 30;
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
        if (machine->tape.command.action == TapeAction::none) continue;
        // LOAD "" with no tape: no one to choose a file, so BREAK.
        bool broken = false;
        const TapeResult result = serve_tape_request(*machine, {tape_folder, save, {}}, broken);
        if (!result.ok) std::fprintf(stderr, "orlix: %s\n", result.message.c_str());
    }
}

void Session::wait_for_prompt() {
    for (int i = 0; i < longest_start && !shows_k_prompt(machine->memory); ++i) run(1);
    run(settle_periods);
}

bool Session::press(const KeyStroke& stroke, std::vector<ZxKey>& given_up) {
    if (stroke.keys.empty()) {
        run(periods_in(stroke.wait_seconds));
        return true;
    }
    for (ZxKey key : stroke.keys) type_key(*machine, key, true);
    for (auto key = stroke.keys.rbegin(); key != stroke.keys.rend(); ++key) type_key(*machine, *key, false);
    while (feeder_busy(machine->key_feeder)) run(1);
    run(stroke.newline ? newline_settle_periods : key_settle_periods);
    given_up = std::move(machine->key_feeder.given_up);
    machine->key_feeder.given_up.clear();
    return given_up.empty();
}

bool Session::shows(const std::string& text) {
    for (const std::string& line : screen_text(*machine))
        if (line.find(text) != std::string::npos) return true;
    return false;
}
