// Keys as a person presses them, shown to the ZX81 so that its program
// takes every one. The ROM takes a key only at moments of its own choosing:
// its keyboard scan must see the key down twice with nothing down for some
// frames before (its debounce), and its line editor looks for it only when it
// waits for a key; after NEWLINE it first enters the line and lists the
// program. A key shown for a fixed time is lost when the ROM is busy through
// all of it. The feeder instead shows each press until the program has taken
// it, and the next only once the ROM is ready for a new key:
//
// - the ROM's editor, INPUT and PAUSE take a key through the ROM's debounce
//   routine, which marks the debounce state 0xFF; a press is shown until the
//   ROM's next keyboard read finds that mark (or it is there at the end of a
//   period). The BREAK check of a running BASIC program runs through the
//   same routine without taking any key, so a mark after it counts for
//   nothing. In SLOW mode a key the ROM saw but did not take (it was busy)
//   is never offered to the editor again while it is held, as on the real
//   machine: the feeder lets it go and presses it again once the ROM is
//   ready, as a person would.
// - a program that reads the keyboard itself (INKEY$, the ROM's keyboard
//   routine called from a program, an IN of the key's row outside the ROM's
//   own display scan), or one that runs its own machine code, takes a key
//   once it has been down for the shortest hold;
// - SHIFT is no key of its own: it goes down a period before the key it
//   shifts and waits for nothing.
//
// Events are shown strictly in order. A key that no program takes within a
// time limit is given up (the front end says which). With a ROM other than
// the known one, the feeder keeps keys for the shortest hold and gap only.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "keyboard.h"
#include "timing.h"

struct ZxKeyEvent {
    ZxKey key;
    bool down;
    bool again = false;  // a press the ROM saw and did not take, made again
};

// Who took the last key: the ROM's debounce, or a program reading the keys.
enum class KeyTaker : uint8_t { none, rom, program };

// The debounce state the ROM leaves: 0 when it is ready for a new key, 0xFF
// right after its debounce routine has taken one.
constexpr uint8_t debounce_ready = 0x00;
constexpr uint8_t debounce_taken = 0xFF;

// Times in processor cycles (3.25 MHz).
constexpr int64_t key_cycles_per_ms = cycles_per_ms;
// A key a program reads for itself is held at least this long, and left up
// this long before the next press (longer in SLOW mode on the hardware model,
// where programs see the keys only between frames).
constexpr int64_t shortest_key_hold = 60 * key_cycles_per_ms;
constexpr int64_t shortest_key_gap = 40 * key_cycles_per_ms;
constexpr int64_t shortest_slow_key_gap = 140 * key_cycles_per_ms;
// SHIFT leads the key it shifts by this much, so that no scan ever sees the
// key without it.
constexpr int64_t shift_lead = 10 * key_cycles_per_ms;

struct KeyFeeder {
    std::deque<ZxKeyEvent> waiting;  // not yet shown, oldest first
    uint64_t untaken = 0;            // keys shown down that no program has taken yet (bits: row*5+bit)
    KeyTaker last_taker = KeyTaker::none;
    int64_t shown_at = 0;            // when the untaken keys went down
    int64_t shift_changed_at = INT64_MIN / 2;
    int64_t released_at = INT64_MIN / 2;
    int64_t blocked_since = -1;      // the first waiting event could not be shown since; -1: it could
    int64_t give_up_after = 10'000 * key_cycles_per_ms;
    bool known_rom = true;           // the ROM whose debounce the feeder reads
    bool slow = false;               // SLOW mode on the hardware model: the longer gap

    // What the keyboard reads since the untaken keys went down have seen.
    bool saw_not_taken = false;      // the debounce state was not 0xFF
    bool saw_ready = false;          // it was 0 with the key down
    bool rom_took = false;           // then it was 0xFF: the ROM's debounce took the key
    bool missed = false;             // it left 0 without that: the ROM saw the key and did not take it
    uint8_t rows_read = 0;           // rows a program read itself
    bool program_read_since_release = false;

    std::vector<ZxKey> given_up;     // keys no program took in time, for the front end to name
};

// Whether the buses must tell the feeder about keyboard reads: while a key
// waits to be shown or taken.
inline bool feeder_busy(const KeyFeeder& feeder) {
    return !feeder.waiting.empty() || feeder.untaken != 0;
}

// A key pressed or released by the person at the keyboard (or a script).
void feed_key(KeyFeeder& feeder, ZxKey key, bool down);

// Who read the keyboard: the ROM's display scan (every frame, whether
// anything waits for a key or not), the ROM's BREAK check, or the program.
enum class KeyReader : uint8_t { display_scan, break_check, program };

// A keyboard read (an IN from an even port) while the feeder is busy, with
// the ROM's debounce state at that moment.
void note_keyboard_read(KeyFeeder& feeder, uint16_t port, KeyReader reader, uint8_t debounce);

// What the feeder looks at between two periods.
struct FeederMoment {
    int64_t now;       // the machine's cycle count
    uint8_t debounce;  // the ROM's debounce state
    uint16_t pc;       // where the program runs
};

// Between two periods: notes what the program has taken and shows the
// events that may be shown now, changing `keys`.
void advance_key_feeder(KeyFeeder& feeder, KeyMatrix& keys, const FeederMoment& moment);

// Drops every waiting event and lets every key up: for a window whose keys
// went to a dialog, and for a script's machine restored to an earlier state.
void clear_key_feeder(KeyFeeder& feeder, KeyMatrix& keys);
