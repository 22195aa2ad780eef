// What the desktop program does between two periods of the emulation: the
// host keyboard into the ZX81, a wait for the next period's time, a frame
// shown (every frame the hardware model's television ends, every other
// period in the simple model), a program named at start-up once the ZX81 is
// ready, LOAD and SAVE typed at the ZX81, the actions the keys and toolbar
// buttons ask for (actions.h), and the title.
#pragma once

struct Desktop;
struct Zx81;

enum class Step { go_on, stop };

// One end of period. Help, the file dialogs and the keyboard picture stop
// the emulation until they are closed.
Step end_of_period(Desktop& desktop, Zx81& machine);

// A printout the ZX Printer has finished (its motor stood for a second)
// goes to its picture, and the title says where; with `all`, at the end of
// the run, whatever is on the paper goes, and standard error says where.
void take_printout(Desktop& desktop, Zx81& machine, bool all);
