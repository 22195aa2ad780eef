// Runs the real ZX81 ROM on the machine without any host: the test presses
// ZX81 keys, runs periods and reads the screen from memory.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "zx81.h"

namespace harness {

std::string shared_path(const std::string& relative);

// Powers the one machine up with the real ROM, in the model and with the
// RAM given.
void power_up(Model model = Model::simple, bool ntsc = false, int ram_kb = default_ram_kb);

// LOAD and SAVE typed at the ZX81 are served, as periods are run, with files
// in `folder` (LOAD "" is given BREAK); an empty folder leaves them waiting.
void use_tape_folder(const std::string& folder);

// What serving them came to, in order.
const std::vector<TapeResult>& tape_results();

// Runs the processor for `periods` periods (32,000 cycles in the simple
// model), serving LOAD and SAVE.
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
