// The hardware model: the ZX81's real display hardware around the processor.
// The picture comes from the processor executing the display file (the ULA
// feeds it NOPs and shifts out glyph rows), the maskable interrupt from bit 6
// of the refresh address, the border lines from the NMI generator, and frames
// from the vertical syncs that the program makes, all at 3.25 MHz.
#pragma once

#include <cstdint>

#include "ula.h"

struct Zx81;

// Runs one period of 32,500 cycles (or until the program itself runs, when
// the period is to end there).
void run_hardware_period(Zx81& machine);

// Whether one model can hand over to the other at `pc`: where the program
// runs (outside the display file and the ROM's display code, not halted),
// or, in FAST mode, where the ROM's display starts a frame, as it does
// about fifty times a second while it waits for a key: there the display's
// state is the same in both models.
bool models_can_change_at(const Zx81& machine, uint16_t pc);

