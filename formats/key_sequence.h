// What scripts type and wait for: key sequences and emulated times, as the
// command line takes them for a headless run.
#pragma once

#include <string>
#include <vector>

#include "keyboard.h"

// One step of --keys: ZX81 keys held together (SHIFT first), or a wait.
struct KeyStroke {
    std::vector<ZxKey> keys;  // empty for a wait
    bool newline = false;     // the ROM gets time to take the line after it
    double wait_seconds = 0;
};

// The longest time a script may run or wait for: a week of emulated time.
constexpr double longest_emulated_time = 7 * 24 * 3600.0;

// Reads a key sequence: names separated by spaces (letters, digits, NEWLINE
// or ENTER, SPACE, ., RUBOUT, SHIFT+name, WAIT:T with T as for --run-for, on
// the 60 Hz machine or not). False, with the reason in `error`, for a name
// it does not know or a wait longer than the longest time.
bool read_key_sequence(const std::string& text, bool ntsc, std::vector<KeyStroke>& strokes, std::string& error);

// The name --keys gives a ZX81 key ("A", "7", "NEWLINE", "SHIFT").
std::string key_name(ZxKey key);

// Reads a time as --run-for takes it: seconds ("3", "2.5") or frames
// ("150f", each a fiftieth of a second, a sixtieth on the 60 Hz machine).
// Returns seconds, or -1 when it is no time.
double read_emulated_time(const std::string& text, bool ntsc);
