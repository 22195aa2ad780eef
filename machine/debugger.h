// Stopping the machine for a debugger: breakpoints on the address of an
// instruction (checked before it runs, in the ROM too, memory never
// patched), watchpoints on memory read, written or either, a single step,
// and a stop asked for from outside. A stop freezes the machine between two
// instructions: run_period does nothing until it is resumed.
//
// While nothing is set the machine runs on its usual buses and pays nothing;
// with something set it runs on buses that look at every instruction and
// every memory access.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

enum class WatchKind { execute, read, write, access };

// Why the machine stopped.
enum class StopReason {
    none,
    breakpoint,
    read_watch,
    write_watch,
    access_watch,
    step,
    asked,   // from outside: Ctrl-C
    attach,  // a debugger came, and stops the machine to look at it
};

struct Debugger {
    // How many breakpoints of each kind are at each address (two at one
    // address count as two: removing one leaves the other). Made when the
    // first is set.
    std::vector<std::array<uint32_t, 4>> counts;
    // The same as one byte an address, a bit for each kind set there: what
    // the buses look at, four times smaller than the counts.
    std::vector<uint8_t> marked;
    int set = 0;                 // how many there are in all
    bool step = false;           // stop after the next instruction
    bool stop_asked = false;     // stop before the next instruction
    // Set by the buses: a watched access in the instruction running.
    StopReason watch_hit = StopReason::none;
    uint16_t watch_address = 0;

    // A step, a stop asked and a watchpoint's stop wait while the
    // processor runs the display (the ROM's display
    // routines, the display file, a HALT waiting for the next line): they
    // come at the program's next instruction. A breakpoint set there stops
    // there all the same. Off for whoever debugs display code.
    bool skip_display = true;
    StopReason deferred = StopReason::none;  // a stop waiting for the program's next instruction
    uint16_t deferred_address = 0;
    uint32_t deferred_for = 0;               // instructions it has waited

    bool stopped = false;
    bool resumed = false;        // going on from a stop: the first instruction runs unchecked
    StopReason reason = StopReason::none;
    uint16_t address = 0;        // the watched address of a watchpoint's stop
    int32_t unspent = 0;         // the period's cycles not run at the stop
};

// Whether the machine must run on its debugging buses.
inline bool debugging(const Debugger& debugger) {
    return debugger.set > 0 || debugger.step || debugger.stop_asked || debugger.deferred != StopReason::none;
}

// Adds or removes a breakpoint (execute) or watchpoint over `length`
// addresses from `address` (wrapping at 64K). Removing one that is not there
// is false.
void add_breakpoint(Debugger& debugger, WatchKind kind, uint16_t address, uint16_t length = 1);
bool remove_breakpoint(Debugger& debugger, WatchKind kind, uint16_t address, uint16_t length = 1);
void clear_breakpoints(Debugger& debugger);

// Whether an address has a breakpoint of that kind.
inline bool has_breakpoint(const Debugger& debugger, WatchKind kind, uint16_t address) {
    return !debugger.marked.empty() && (debugger.marked[address] >> static_cast<int>(kind) & 1);
}

// Whether a stop is waiting for the next instruction boundary (a step, a
// stop asked, a watchpoint hit or a stop deferred past the display): only
// then does where the processor is matter to stop_at_boundary, beyond a
// breakpoint there.
inline bool stop_pending(const Debugger& debugger) {
    return debugger.step || debugger.stop_asked || debugger.watch_hit != StopReason::none ||
           debugger.deferred != StopReason::none;
}

// Whether the machine can run from `from` to `to` without a look at each
// instruction: no step or stop asked, nothing set on those addresses.
bool quiet_between(const Debugger& debugger, uint16_t from, uint16_t to);

// A memory access seen by a debugging bus: notes a watched one, the first
// in an instruction (a word written low byte first is reported at its
// address).
inline void watch_access(Debugger& debugger, uint16_t address, bool write) {
    if (debugger.marked.empty() || debugger.watch_hit != StopReason::none) return;
    const uint8_t here = debugger.marked[address];
    const WatchKind kind = write ? WatchKind::write : WatchKind::read;
    const bool kind_set = here >> static_cast<int>(kind) & 1;
    if (kind_set || (here >> static_cast<int>(WatchKind::access) & 1)) {
        debugger.watch_hit = kind_set ? (write ? StopReason::write_watch : StopReason::read_watch)
                                      : StopReason::access_watch;
        debugger.watch_address = address;
    }
}

// Between two instructions on a debugging bus, with the next instruction's
// address and whether it is the program's (not the display's, when display
// is skipped): the reason to stop there, or none.
StopReason stop_at_boundary(Debugger& debugger, uint16_t next_pc, bool program = true);

// Goes on from a stop (the instruction at a breakpoint runs).
void resume(Debugger& debugger);

// Stops the machine where it is, between two periods (nothing more of the
// period runs): for a debugger that asks at once.
void stop_now(Debugger& debugger, StopReason reason = StopReason::asked);

// At the start of a period, before its first instruction (which no
// boundary precedes): whether a breakpoint at `pc` stops the machine there.
bool stops_before_period(Debugger& debugger, uint16_t pc);
