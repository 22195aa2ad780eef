// Runs the real ZX81 ROM on the machine without any host: the test presses
// ZX81 keys, runs periods and reads the screen from memory.
#pragma once

#include <initializer_list>
#include <string>

#include "zx81.h"

namespace harness {

std::string shared_path(const std::string& relative);

// Powers the one machine up with the real ROM, in the model given.
void power_up(Model model = Model::simple, bool ntsc = false);

// Runs the processor for `periods` periods of 32,000 cycles.
void run_periods(int periods);

// Boots: until the ROM shows its K prompt (about 1.5 emulated seconds), and
// a little longer.
void boot();

// Holds the keys together for ten periods, then releases them for ten.
void press(std::initializer_list<ZxKey> keys);

// Types a sequence of single keys.
void type(std::initializer_list<ZxKey> keys);

// The character code at (column, line) of the display file.
uint8_t screen_code(int column, int line);

// The screen as text of ZX81 codes, line by line, for messages.
std::string screen_dump();

}  // namespace harness
