// Runs the real ZX81 ROM on the machine without any host: the test presses
// ZX81 keys, runs periods and reads the screen from memory.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "zx81.h"

namespace harness {

std::string shared_path(const std::string& relative);

// Powers the one machine up with the real ROM, in the model and with the
// RAM given.
void power_up(Model model = Model::simple, bool ntsc = false, int ram_kb = default_ram_kb);

// Something a test does after every period, as a front end does (serving
// LOAD and SAVE, say); an empty hook does nothing.
void between_periods(std::function<void()> hook);

// Runs the processor for `periods` periods (32,500 cycles in the simple
// model), each followed by the hook above.
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
