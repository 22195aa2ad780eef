// The ZX81 in a script (orlix --headless): no window and no Allegro, never
// paced. It types keys and BASIC listings in, runs for an emulated time or
// until some text shows, and gives the screen as text, a picture of it and
// the program as a file.
#pragma once

#include <string>
#include <vector>

#include "keyboard.h"

struct Options;

// One step of --keys: ZX81 keys held together (SHIFT first), or a wait.
struct KeyStroke {
    std::vector<ZxKey> keys;  // empty for a wait
    bool newline = false;     // the ROM gets time to take the line after it
    double wait_seconds = 0;
};

// Reads a key sequence: names separated by spaces (letters, digits, NEWLINE
// or ENTER, SPACE, ., RUBOUT, SHIFT+name, WAIT:T with T as for --run-for).
// False, with the reason in `error`, for a name it does not know.
bool read_key_sequence(const std::string& text, std::vector<KeyStroke>& strokes, std::string& error);

// Reads a time as --run-for takes it: seconds ("3", "2.5") or frames
// ("150f", each a fiftieth of a second, a sixtieth on the 60 Hz machine).
// Returns seconds, or -1 when it is no time.
double read_emulated_time(const std::string& text, bool ntsc);

// Runs the whole headless session the options describe; returns the exit
// status: 0, 1 when --until-text never showed or a listing line was not
// taken, 2 when a file cannot be read or written.
int run_headless(const Options& options);
