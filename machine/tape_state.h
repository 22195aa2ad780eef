// What the machine keeps of its tape: LOAD and SAVE caught for files (the
// command waiting to be served) and the cassette recorder at the EAR socket
// (tape.h does what is done with them).
#pragma once

#include <cstdint>
#include <vector>

#include "tape_deck.h"

enum class TapeAction { none, save, load };

struct TapeCommand {
    TapeAction action = TapeAction::none;
    // The name's ZX81 characters, the last with its end mark (bit 7 set) as
    // the ROM leaves them; empty for LOAD "".
    std::vector<uint8_t> name;
};

struct Tape {
    // The commands are caught. For real tape signals this is off, and the
    // ROM's own tape routines run: LOAD starts the deck.
    bool traps = true;
    TapeCommand command;  // caught and not yet served
    TapeDeck deck;        // the cassette recorder at the EAR socket
    // The ROM loader's waits on the EAR socket are run at once where nothing
    // can change in them (off: pass by pass, which ends the same).
    bool quick_waits = true;
};
