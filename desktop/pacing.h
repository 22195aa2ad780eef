// Real time: the 100 Hz timer that paces the emulation, one period a tick,
// and the request to stop that may come from outside it (the window's close
// button).
#pragma once

#include <atomic>
#include <cstdint>

// Incremented by the timer; waited on and cleared before each period.
extern std::atomic<int32_t> timer_ticks;

// Starts the timer: 100.015 ticks a second. The first period needs none.
void start_timer();

// The timer callback: one tick, and wakes a waiting period.
void timer_tick();

// Sleeps until the timer has ticked, then drops every tick that piled up: a
// slow host or a long dialog never makes the emulation race to catch up.
void wait_for_tick();

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

// Asks the emulation to stop at the end of the period; wakes a waiting frame.
void request_quit();
bool quit_requested();
void clear_quit_request();
