#include "pacing.h"

#include <allegro.h>
#include <pthread.h>
#include <signal.h>

std::atomic<int32_t> timer_ticks{0};

namespace {

std::atomic<bool> quit{false};
constexpr long timer_period = 11930;  // in units of 1/1,193,181 s: 100.015 Hz
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
    install_timer();
    timer_ticks.store(1);  // the first frame is drawn at once, not a tick later
    install_int_ex(timer_tick, timer_period);
}

void timer_tick() {
    timer_ticks.fetch_add(1);
    timer_ticks.notify_one();
}

void wait_for_tick() {
    while (timer_ticks.load() == 0 && !quit.load()) timer_ticks.wait(0);
    timer_ticks.store(0);
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
