#include "pacing.h"

#include <algorithm>

#include <allegro.h>

#include <thread>

#include "allegro_glue.h"

namespace {

// 11930 units of 1/1,193,181 s, as Allegro's timer took it: 100.015 Hz.
constexpr auto period_length = std::chrono::nanoseconds(9'998'483);

}  // namespace

void start_timer(Pacing& pacing) {
    // The periods are paced here, on the emulation's own thread, so that no
    // other thread wakes to wake it. Allegro's timer, which its mouse and
    // dialogs need, ticks on its own.
    install_timer();
    pacing.next_period = std::chrono::steady_clock::now();
    pacing.paced = true;
}

void timer_tick(Pacing& pacing) {
    ++pacing.ticks;
}

int ms_to_next_tick(const Pacing& pacing) {
    if (!pacing.paced) return 0;
    const auto left = pacing.next_period + period_length - std::chrono::steady_clock::now();
    return std::max(0, static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count()));
}

void wait_for_tick(Pacing& pacing) {
    if (pacing.paced) {
        // A period a 100.015th of a second after the last; after a long
        // wait (a dialog, a slow host) from now, with no race to catch up.
        const auto now = std::chrono::steady_clock::now();
        pacing.next_period += period_length;
        if (pacing.next_period < now - period_length) pacing.next_period = now;
        std::this_thread::sleep_until(pacing.next_period);
    }
    pacing.ticks = 0;
    handle_pending_input();
}
