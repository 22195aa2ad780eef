#include "pacing.h"

#include <allegro.h>

std::atomic<int32_t> timer_ticks{0};

namespace {

std::atomic<bool> quit{false};
constexpr long timer_period = 11930;  // in units of 1/1,193,181 s: 100.015 Hz

}  // namespace

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
