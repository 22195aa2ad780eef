// The ZX81's clock and the machine's periods, in one place: every time in
// the machine is counted in processor cycles of 3.25 MHz, in both models.
#pragma once

#include <cstdint>

constexpr double processor_clock = 3'250'000;      // cycles a second
constexpr uint32_t cycles_per_ms = 3250;
// The machine runs a period at a time: 1/100 s.
constexpr int periods_per_second = 100;
constexpr int32_t period_cycles = 32500;
static_assert(period_cycles * periods_per_second == static_cast<int32_t>(processor_clock));
// One scan line of the television.
constexpr int32_t line_cycles = 207;
