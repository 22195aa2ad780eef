#include "pacing.h"

#include <allegro.h>
#include <xalleg.h>
#include <allegro/platform/aintunix.h>  // the background manager that runs Allegro's input thread
#include <pthread.h>
#include <signal.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <condition_variable>
#include <mutex>

std::atomic<int32_t> timer_ticks{0};

namespace {

std::atomic<bool> quit{false};
std::atomic<bool> window_gone{false};  // destroyed from outside: the run ends with status 1
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

std::atomic<int> quit_signal{0};  // the signal that asked to quit, for a headless run

// The waiting period wakes at the next timer tick, within 1/100 s.
void quit_on_signal(int signal) {
    quit_signal.store(signal);
    quit.store(true);
}

void handle_quit_signals(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : quit_signals) sigaction(s, &action, nullptr);
}

// Whether `window` is one of Allegro's current windows.
bool ours(Window window) {
    return window != None && (window == _xwin.window || window == _xwin.wm_window || window == _xwin.fs_window);
}

// The X connection is gone. Xlib ends the program when this returns, and the
// exit handlers would wait for Allegro's input thread, which may be held, on
// a display that will never answer: the program ends here, at once. The
// settings were written when they changed.
int on_display_lost(Display* display) {
    const char* name = display ? DisplayString(display) : "";
    const char message_start[] = "orlix: the display ";
    const char message_end[] = " went away; ending\n";
    // Only what is safe here: no allocation, no locks.
    (void)!write(STDERR_FILENO, message_start, sizeof message_start - 1);
    (void)!write(STDERR_FILENO, name, std::strlen(name));
    (void)!write(STDERR_FILENO, message_end, sizeof message_end - 1);
    _exit(1);
}

// An X protocol error: one about our window, gone from under us, ends the
// run as the window's loss does; any other is said and let pass (Xlib's own
// handler would end the program from wherever it happened, waiting on the
// input thread on the way out).
int on_x_error(Display* display, XErrorEvent* error) {
    if ((error->error_code == BadWindow || error->error_code == BadDrawable) && ours(error->resourceid)) {
        if (!window_gone.exchange(true)) std::fprintf(stderr, "orlix: the window was destroyed; ending\n");
        request_quit();
        return 0;
    }
    // Once the window is gone, what Allegro does to it on the way out fails
    // as a matter of course.
    if (window_gone.load()) return 0;
    char text[160];
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "orlix: X error: %s (request %d)\n", text, error->request_code);
    return 0;
}

// A window of ours destroyed by someone else (the window manager's "close
// window" on a client that ignores the request, xkill, xdotool windowclose).
void look_for_destroyed_window() {
    XEvent event;
    while (XCheckTypedEvent(_xwin.display, DestroyNotify, &event))
        if (ours(event.xdestroywindow.window) && !window_gone.exchange(true)) {
            std::fprintf(stderr, "orlix: the window was destroyed; ending\n");
            request_quit();
        }
}

}  // namespace

void watch_display() {
    if (!_xwin.display) return;
    XLOCK();
    XSetIOErrorHandler(on_display_lost);
    XSetErrorHandler(on_x_error);
    for (Window window : {_xwin.wm_window, _xwin.window}) {
        if (window == None) continue;
        XWindowAttributes attributes;
        if (XGetWindowAttributes(_xwin.display, window, &attributes))
            XSelectInput(_xwin.display, window, attributes.your_event_mask | StructureNotifyMask);
    }
    XUNLOCK();
}

bool display_lost() {
    return window_gone.load();
}

void hold_quit_signals() {
    const sigset_t set = quit_signal_set();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void catch_quit_signals() {
    handle_quit_signals(quit_on_signal);
}

void default_quit_signals() {
    handle_quit_signals(SIG_DFL);
    if (const int signal = quit_signal.load()) raise(signal);
}

void quit_on_signals() {
    handle_quit_signals(quit_on_signal);
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
        if (events) look_for_destroyed_window();
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
