// Runs the real ZX81 ROM on the core and the machine without a display: host
// keys are set by the test, and machine_loop only scans the keyboard and
// counts periods.
#pragma once

#include <allegro.h>

#include <initializer_list>
#include <string>

#include "display.h"
#include "memory_bus.h"

namespace harness {

std::string shared_path(const std::string& relative);

// Starts Allegro without a display, creates picture at `depth` bits and
// powers the machine up with the real ROM; the processor is reset.
void power_up(int depth = 8);

// Runs the processor for `periods` periods of 32,000 cycles.
void run_periods(int periods);

// Boots: about 1.5 emulated seconds until the ROM reads the keyboard.
void boot();

// Holds the Allegro keys together for ten periods, then releases them for ten.
void press(std::initializer_list<int> keys);

// Types a sequence of single keys.
void type(std::initializer_list<int> keys);

// The character code at (column, line) of the display file.
uint8_t screen_code(int column, int line);

// The screen as text of ZX81 codes, line by line, for messages.
std::string screen_dump();

}  // namespace harness
