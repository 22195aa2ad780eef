// Reading a tape signal back into programs, as the ROM's LOAD reads it: by
// bursts of pulses, whatever their exact timing.
#pragma once

#include <string>
#include <vector>

#include "tape_signal.h"

// The number of pulses in each burst of a signal.
std::vector<int> pulse_bursts(const TapeSignal& signal);

// What reading a signal found: its programs, and what went wrong where
// ("at 12.345 s, byte 17 of ...").
struct DecodedTape {
    std::vector<TapeProgram> programs;
    std::vector<std::string> problems;
};

// Reads the programs on a signal as the ROM's loader does: bursts of 3 to 6
// pulses are 0, of 7 to 13 are 1, fewer are noise and ignored; a program
// starts at the first burst after 100 ms of silence, its name runs to the
// byte with bit 7 set, and its data to the E_LINE it carries.
DecodedTape decode_signal(const TapeSignal& signal);

