#include "period_end.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "actions.h"
#include "allegro_glue.h"
#include "desktop.h"
#include "gamepad.h"
#include "host_keys.h"
#include "key_sequence.h"
#include "presenter.h"
#include "title.h"
#include "window_tapes.h"

namespace {

// Whether this period ends with a frame shown: in the hardware model each
// frame the television ends (about 50 a second), or every other period when
// the program makes none; in the simple model every other period.
bool frame_due(Desktop& desktop, const Zx81& machine) {
    if (machine.model == Model::simple) return desktop.frame_parity == 0;
    const bool new_frame = machine.ula.frames != desktop.frames_presented;
    desktop.frames_presented = machine.ula.frames;
    if (new_frame) desktop.periods_without_frame = 0;
    return new_frame || ++desktop.periods_without_frame % 2 == 0;
}

// Keys the ZX81's program never took within the feeder's time limit were
// let go; the user is told which.
void say_keys_given_up(Desktop& desktop, Zx81& machine) {
    std::vector<ZxKey>& given_up = machine.key_feeder.given_up;
    if (given_up.empty()) return;
    std::string names;
    for (ZxKey k : given_up) {
        if (!names.empty()) names += ' ';
        names += key_name(k);
    }
    given_up.clear();
    tell(desktop, "key " + names + " not taken: nothing read the keyboard");
}

}  // namespace

void take_printout(Desktop& desktop, Zx81& machine, bool all) {
    const PageWritten page = serve_printer(machine, desktop.printer_pages, std::time(nullptr), all);
    if (page.path.empty()) return;
    if (!page.problem.empty()) {
        if (all) {
            std::fprintf(stderr, "orlix: cannot save %s: %s\n", page.path.c_str(), page.problem.c_str());
            return;
        }
        warn_over_picture(desktop, "Cannot save " + page.path + "\n" + page.problem);
    } else if (all) {
        std::fprintf(stderr, "orlix: printed to %s\n", page.path.c_str());
    } else {
        tell(desktop, "printed to " + page.path);
    }
}

Step end_of_period(Desktop& desktop, Zx81& machine) {
    if (desktop.debugger) {
        GdbStub& stub = *desktop.debugger;
        stub.serve(machine);
        // While the debugger holds the machine stopped, the period's wait
        // answers it as its packets come: GDB reads the stack a word at a
        // time at every stop, thousands of round trips that must not take
        // a period each.
        for (int left = ms_to_next_tick(desktop.pacing); left > 0 && machine.debug.stopped && stub.attached();
             left = ms_to_next_tick(desktop.pacing))
            stub.serve(machine, left);
    }
    feed_host_keys(desktop.keyboard, machine);
    if (desktop.joystick != JoystickKind::none)
        machine.joystick = either(desktop.keyboard.arrows_move_stick ? desktop.keyboard.stick : JoystickState{},
                                  desktop.gamepad ? read_gamepad() : JoystickState{});
    say_keys_given_up(desktop, machine);
    wait_for_tick(desktop.pacing);
    if (frame_due(desktop, machine)) draw_frame(desktop, machine);
    desktop.frame_parity = (desktop.frame_parity + 1) % 2;

    // Alt+F4 is looked at before anything else a key or click asks for.
    if (quit_requested() || take_quit_press()) return Step::stop;
    if (load_program_named_at_start(desktop, machine)) return Step::go_on;
    if (machine.tape.command.action != TapeAction::none) {
        serve_tape(desktop, machine);
        return Step::go_on;
    }
    // Function keys and toolbar buttons act once per press or click, taken
    // from the events, so that none is lost however short, and none repeats
    // however long it is held. One click a period.
    if (run_actions(desktop, machine, take_click()) == After::period_over) return Step::go_on;
    // F9's switch goes to the machine when a frame has just been drawn: the
    // next period starts a frame of the other model.
    if (desktop.switch_model && desktop.frame_parity == 1) {
        request_model(machine, machine.requested_model == Model::simple ? Model::hardware : Model::simple);
        desktop.remembered.model = machine.requested_model;
        save_settings(desktop, SettingField::model);
        desktop.switch_model = false;
        // The title names the model; in full screen, a line over the picture.
        if (desktop.layout.full_screen) tell(desktop, std::string("the ") + model_name(machine.requested_model) + " model");
    }
    take_printout(desktop, machine, false);
    refresh_title(desktop, machine);
    return Step::go_on;
}
