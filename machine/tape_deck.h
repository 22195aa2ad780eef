// The cassette recorder at the ZX81's EAR socket: a tape is a signal, a
// sequence of stretches of the line high or low, each as long as it lasts
// in processor cycles (3.25 MHz), and the deck plays it into bit 7 of the
// keyboard port. It starts playing when the ROM's LOAD starts to read (or
// when told to), plays on through whatever the program reads next (a
// loader of its own), and stops at the end of the tape. Where it is
// survives a model switch and a reset, as a real tape's place does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TapeSignal {
    // Stretches of alternate levels, the first low: how long each lasts, in
    // processor cycles.
    std::vector<uint32_t> stretches;
    // Where the deck stops by itself (a TZX's "stop the tape"), in cycles
    // from the start, in order.
    std::vector<uint64_t> stops;

    // The signal's length, in processor cycles.
    uint64_t length() const;
};

// A program on tape: its name (ZX81 characters, the last with bit 7 set)
// and its data, the bytes from 0x4009 up to E_LINE.
struct TapeProgram {
    std::vector<uint8_t> name;
    std::vector<uint8_t> data;
    uint64_t start = 0;  // where its first burst is on the tape, in cycles
    uint64_t end = 0;    // where its last one ends
};

struct TapeDeck {
    TapeSignal tape;        // the tape in the deck; none when empty
    std::string name;       // its file, for messages
    // The programs on it, as reading the file found them (LOAD with the
    // file catches takes them from here); empty for a tape of no file.
    std::vector<TapeProgram> programs;
    uint64_t length = 0;    // of the tape, in cycles
    size_t stretch = 0;     // where the tape is: the stretch playing
    uint64_t into = 0;      // and how far into it, in cycles
    uint64_t at = 0;        // the same, from the start
    size_t next_stop = 0;   // the first of the tape's stops after it
    bool playing = false;
    int64_t played_to = 0;  // the machine's cycle the place was last brought to
};

// Puts a tape into the deck, at its start, stopped.
void insert_tape(TapeDeck& deck, TapeSignal tape, std::string name);

// Takes the tape out.
void eject_tape(TapeDeck& deck);

// Starts playing at the machine's cycle `now`, from where the tape is.
void start_tape(TapeDeck& deck, int64_t now);

// The level at the EAR socket at cycle `now` (the tape brought there): true
// while the signal is high; false with no tape, stopped, or past its end
// or at one of its stops, where the deck stops by itself.
bool tape_level(TapeDeck& deck, int64_t now);

// The cycle after `now` at which the level at the EAR socket next changes
// (the tape brought to `now`); INT64_MAX while it never will.
int64_t tape_next_change(TapeDeck& deck, int64_t now);

// Where the tape is, in cycles from its start.
uint64_t tape_position(const TapeDeck& deck);

// Moves the tape to a place, in cycles from its start (past the end: the end).
void wind_tape(TapeDeck& deck, uint64_t position);
