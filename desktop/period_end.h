// What the desktop program does between two periods of the emulation: the
// host keyboard into the ZX81, a wait for the 100 Hz timer, a frame shown
// (every frame the hardware model's television ends, every other period in
// the simple model), a program named at start-up once the ZX81 is ready,
// LOAD and SAVE typed at the ZX81, and the function keys (F9 switches the
// model) and toolbar buttons.
#pragma once

struct Desktop;
struct Zx81;

enum class Step { go_on, stop };

// One end of period. Help, the file dialogs and the keyboard picture stop
// the emulation until they are closed.
Step end_of_period(Desktop& desktop, Zx81& machine);

// Shows the ZX81's picture.
void draw_frame(Desktop& desktop, Zx81& machine);
