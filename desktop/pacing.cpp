#include "pacing.h"

#include <allegro.h>
#include <xalleg.h>
#include <allegro/platform/aintunix.h>  // the background manager that runs Allegro's input thread
#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

std::atomic<int32_t> timer_ticks{0};

namespace {

std::atomic<bool> quit{false};
bool input_held = false;  // Allegro's input thread is held; wait_for_tick handles the input
// 11930 units of 1/1,193,181 s, as Allegro's timer took it: 100.015 Hz.
constexpr auto period_length = std::chrono::nanoseconds(9'998'483);
std::mutex tick_mutex;
std::condition_variable tick_came;
bool paced = false;  // start_timer: periods by the clock, else by timer_tick alone
std::chrono::steady_clock::time_point next_period;
static_assert(std::atomic<bool>::is_always_lock_free, "the quit flag is set from a signal handler");

constexpr int quit_signals[] = {SIGTERM, SIGINT, SIGHUP};

sigset_t quit_signal_set() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : quit_signals) sigaddset(&set, s);
    return set;
}

// The waiting period wakes at the next timer tick, within 1/100 s.
void quit_on_signal(int) {
    quit.store(true);
}

}  // namespace

void hold_quit_signals() {
    const sigset_t set = quit_signal_set();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void quit_on_signals() {
    struct sigaction action {};
    action.sa_handler = quit_on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : quit_signals) sigaction(s, &action, nullptr);
    const sigset_t set = quit_signal_set();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void start_timer() {
    // The periods are paced here, on the emulation's own thread, so that no
    // other thread wakes to wake it. Allegro's timer, which its mouse and
    // dialogs need, ticks on its own.
    install_timer();
    timer_ticks.store(1);  // the first frame is drawn at once, not a tick later
    next_period = std::chrono::steady_clock::now();
    paced = true;
}

void timer_tick() {
    const std::lock_guard<std::mutex> lock(tick_mutex);
    timer_ticks.fetch_add(1);
    tick_came.notify_one();
}

void wait_for_tick() {
    {
        std::unique_lock<std::mutex> lock(tick_mutex);
        const auto ticked = [] { return timer_ticks.load() > 0 || quit.load(); };
        if (paced) {
            // A period a 100.015th of a second after the last; after a long
            // wait (a dialog, a slow host) from now, with no race to catch up.
            const auto now = std::chrono::steady_clock::now();
            next_period += period_length;
            if (next_period < now - period_length) next_period = now;
            tick_came.wait_until(lock, next_period, ticked);
        } else {
            tick_came.wait(lock, ticked);
        }
        timer_ticks.store(0);
    }
    // What was drawn goes to the X server, and the input that came
    // meanwhile is handled, in the order it came. Allegro's handler waits
    // for a reply from the server each time: it is called only when events
    // came (which looking, and sending what was drawn, costs no round trip).
    if (input_held) {
        XLOCK();
        const bool events = XEventsQueued(_xwin.display, QueuedAfterFlush) > 0;
        XUNLOCK();
        if (events) _xwin_handle_input();
    }
}

void hold_input_thread() {
    if (input_held || !_unix_bg_man || !_xwin.display) return;
    _unix_bg_man->disable_interrupts();
    input_held = true;
}

void release_input_thread() {
    if (!input_held) return;
    _unix_bg_man->enable_interrupts();
    input_held = false;
}

InputThreadRuns::InputThreadRuns() : held(input_held) {
    if (held) _unix_bg_man->enable_interrupts();
}

InputThreadRuns::~InputThreadRuns() {
    if (held) _unix_bg_man->disable_interrupts();
}

void request_quit() {
    quit.store(true);
    timer_tick();
}

bool quit_requested() {
    return quit.load();
}

void clear_quit_request() {
    quit.store(false);
}
