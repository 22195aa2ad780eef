// LOAD and SAVE typed at the ZX81, caught for files in a folder of the host
// where the ZX81 had its cassette (tape_files.h serves them). The ROM's own commands run up to the point
// where its name routine has checked the name; the bus then gives the
// processor a HALT instead of the next opcode and keeps it there, and the
// command waits here for whoever runs the machine to serve it between two
// periods. Serving it ends the command as the ROM would have ended it: a
// finished LOAD or SAVE goes on through the ROM's SLOW/FAST check, as the
// ROM's own does, and a failed one ends with report D (BREAK). No ROM byte
// is changed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device.h"
#include "program_image.h"
#include "rom_addresses.h"
#include "tape_state.h"

struct Z80State;
struct Zx81;

// The opcode fetches caught: SAVE with a name of at least one character
// (the ROM has given report F for an empty one), and LOAD, whose carry says
// whether the name is empty. The loader's two marks (rom_addresses.h) set
// at_loader_pass for the boundary after them.

// At `pc`, just after one of the loader's marks, at cycle `now` with `budget`
// cycles left in the period: runs at once the passes that cannot see a
// change (the tape's level steady until its next edge, SPACE up, no sound
// being made of the waiting loop's syncs, no interrupt, no debugger looking
// at the loop), as they would run one by one: B, E, R and the cycles. A
// pass at least is left to run one by one before the period ends, which
// sets A and F as the passes leave them. Returns the cycles taken. For the
// hardware model, whose timing is exact.
int32_t skip_loader_passes(Zx81& machine, Z80State& cpu, uint16_t pc, int64_t now, int32_t budget, uint8_t& r);

// The bus's part. Every opcode fetch is looked at, so the test is one
// comparison: whether the fetch lies in the ROM's tape code, from SAVE's
// catch to the loader's last mark, which runs only while a tape command
// does.
constexpr bool in_tape_code(uint16_t address) {
    return static_cast<uint16_t>(address - rom::save_after_name) <= rom::loader_bit_mark - rom::save_after_name;
}

// An opcode fetch in the ROM's tape code at cycle `now`: the byte the
// processor gets, the ROM's own unless a command is caught, which gets a
// HALT. With the catches off, LOAD starting to read starts the deck.
[[gnu::cold, gnu::noinline]] uint8_t fetch_in_tape_code(Zx81& machine, uint16_t address, int64_t now);

// The cassette recorder at the EAR socket, as a device of the machine: it
// plays the tape in the deck (Zx81::tape) into the socket, high while the
// tape plays a high level.
std::unique_ptr<Device> make_cassette_recorder();

// Ends the waiting command as the ROM's own would end: a finished SAVE or
// LOAD goes on through the ROM's SLOW/FAST check.
void finish_tape_command(Zx81& machine);

// Ends the waiting LOAD with a checked program image, put into memory as the
// ROM's LOAD puts it.
void finish_tape_load(Zx81& machine, const ProgramImage& image);

// Ends the waiting command with report D, as BREAK during a real one does.
void break_tape_command(Zx81& machine);

