// What the desktop program does between two periods of the emulation: the
// host keyboard into the ZX81, a wait for the 100 Hz timer, a frame shown
// (every frame the hardware model's television ends, every other period in
// the simple model), a program named at start-up once the ZX81 is ready,
// LOAD and SAVE typed at the ZX81, and the function keys (F9 switches the
// model, F12 the sound) and toolbar buttons.
#pragma once

struct Desktop;
struct Zx81;

enum class Step { go_on, stop };

// One end of period. Help, the file dialogs and the keyboard picture stop
// the emulation until they are closed.
Step end_of_period(Desktop& desktop, Zx81& machine);

// Shows the ZX81's picture.
void draw_frame(Desktop& desktop, Zx81& machine);

// Makes the machine's sound what the desktop says: off, or on (with or
// without the frame syncs) through the sound device, opened the first time
// it is needed. A machine with no device runs silently, after one line on
// standard error.
void apply_sound(Desktop& desktop, Zx81& machine);

// Hands the period's sound to the device as soon as it is made, and lets
// the device's fill steer the machine's sample rate.
void play_sound(Desktop& desktop, Zx81& machine);
