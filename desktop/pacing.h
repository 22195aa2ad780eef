// Real time: the clock that paces the emulation, one period every
// 100.015th of a second.
#pragma once

#include <chrono>
#include <cstdint>

struct Pacing {
    bool paced = false;  // start_timer: periods by the clock, else (in tests) at once
    std::chrono::steady_clock::time_point next_period;
    int32_t ticks = 0;   // ticks given by timer_tick since the last period, which drops them
};

// Starts pacing by the clock: a period every 100.015th of a second. The
// first period needs no wait.
void start_timer(Pacing& pacing);

// A tick given by hand (tests, without start_timer).
void timer_tick(Pacing& pacing);

// Sleeps until the next period is due, then drops every tick that piled
// up: a slow host or a long dialog never makes the emulation race to catch
// up. A request to quit ends the wait within the period. Then handles the
// input that came meanwhile.
void wait_for_tick(Pacing& pacing);

// How long until the next period is due, in whole milliseconds (0 when it
// is due, or when nothing paces the periods).
int ms_to_next_tick(const Pacing& pacing);
