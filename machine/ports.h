// The ZX81's ports and tapped memory as both models' buses reach them: the
// ULA's keyboard and EAR socket on an even port, and every board on the
// expansion bus (device.h), decoded in one place.
#pragma once

#include <cstdint>

#include "device.h"
#include "zx81.h"

struct Zx81;

// What an IN from `port` reads at cycle `t`: on an even port the ULA's
// answer (the keyboard rows the high byte selects, and the EAR socket in bit
// 7), ANDed with every board's.
uint8_t port_read(Zx81& machine, uint16_t port, int64_t t);

// An OUT from the processor reaches every board.
void boards_out(Zx81& machine, uint16_t port, uint8_t value, int64_t t);

// The television's frame has ended (counted in Zx81::frames), and the reset
// button: every board hears.
void boards_frame_end(Zx81& machine);
void boards_reset(Zx81& machine);

// The ULA's pattern fetch through the boards that shape the picture
// (Zx81::pattern_boards): `stock` is the row the ZX81 alone fetched.
PatternRow boards_pattern(Zx81& machine, const PatternFetch& fetch, uint8_t stock);
// The border's colour a board gives (I G R B), or -1 for none.
int boards_border(const Zx81& machine);

// A memory write in the machine's tapped range (Zx81::taps) goes to the
// boards that tap its address: true when one took it for its own memory
// (the machine's is then not written).
bool tapped_write(Zx81& machine, uint16_t address, uint8_t value, int64_t t);

// A keyboard read by the processor, for the key feeder: whether the ROM's
// display scan or BREAK check made it (rather than the program), from the
// last opcode fetch and the return address on the stack.
void note_key_read(Zx81& machine, uint16_t port, uint16_t last_fetch);

// Whether the instruction at `pc` is the program's, not the display's: not
// in the ROM's display routines or interrupt handlers, not the display
// file run by the ULA (above 0x7FFF), not a HALT waiting for a line. A
// debugger passes over the display's. In the simple model every instruction
// is the program's: with no display hardware the ROM draws the picture as a
// program, in the time that waits for a key, and passing over it would
// leave nowhere to stop.
bool program_instruction(const Zx81& machine, uint16_t pc, uint8_t iff);

// What a debugging bus tells stop_at_boundary: whether the processor is at
// a place to stop, asked only when a stop is waiting for one (else a
// breakpoint alone decides).
inline bool at_program(const Zx81& machine, uint16_t pc, uint8_t iff) {
    return !stop_pending(machine.debug) || !machine.debug.skip_display || program_instruction(machine, pc, iff);
}
