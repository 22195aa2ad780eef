// Real time: the clock that paces the emulation, one period every
// 100.015th of a second, and the request to stop that may come from outside
// it (the window's close button).
#pragma once

#include <atomic>
#include <cstdint>

// Ticks given by timer_tick (and request_quit); cleared before each period.
extern std::atomic<int32_t> timer_ticks;

// Starts pacing by the clock: a period every 100.015th of a second. The
// first period needs no wait.
void start_timer();

// A tick at once: wakes a waiting period. Without start_timer (in tests),
// ticks alone let periods go.
void timer_tick();

// Sleeps until the next period is due (or a tick came), then drops every
// tick that piled up: a slow host or a long dialog never makes the
// emulation race to catch up. Then handles the input that came meanwhile.
void wait_for_tick();

// From the program's first moments: SIGTERM, SIGINT and SIGHUP only ask the
// window's run to stop (a signal that comes before the window is open ends
// it at once, as Alt+F4 would, with status 0).
void catch_quit_signals();

// A headless run is a script's: the signals act as they usually do from
// now on, and one caught before is acted on now.
void default_quit_signals();

// Holds back SIGTERM, SIGINT and SIGHUP until quit_on_signals: called before
// Allegro starts, so that its threads are born with them held and only the
// program's own handler ever sees them.
void hold_quit_signals();

// From now on SIGTERM, SIGINT and SIGHUP end the program as Alt+F4 does:
// they only ask the emulation to stop (a flag, safe in a signal handler),
// and the program ends through its usual way out, settings written and the
// display let go. Allegro's own handlers, which shut the library down from
// inside the signal while its other thread may be talking to the X server,
// are replaced. A signal held back so far comes now.
void quit_on_signals();

// From now on, a display that goes away ends the program instead of
// hanging it: the X connection lost (a logout, a remote display dropped, the
// server killed) ends it at once with a message and exit status 1, before
// any code that would wait on the display; the window destroyed from outside
// asks the emulation to stop, and the program then ends through its usual
// way out with exit status 1. Called whenever a window is made (Allegro
// makes a new one at each screen mode).
void watch_display();

// Whether the window was destroyed from outside: the program ends with 1.
bool display_lost();

// Asks the emulation to stop at the end of the period; wakes a waiting frame.
void request_quit();
bool quit_requested();
void clear_quit_request();

// Allegro's input thread looks at the X server a thousand times a second,
// whatever comes: most of what a picture at rest cost. While the emulation
// runs it is held, and wait_for_tick handles the input that came, once a
// period, every key and click in the order they came. Dialogs and boxes,
// which wait on Allegro's own key and mouse state, let it run while they
// are shown (InputThreadRuns); it runs again for good before Allegro ends.
void hold_input_thread();
void release_input_thread();
class InputThreadRuns {
public:
    InputThreadRuns();
    ~InputThreadRuns();
    InputThreadRuns(const InputThreadRuns&) = delete;
    InputThreadRuns& operator=(const InputThreadRuns&) = delete;

private:
    bool held;
};
