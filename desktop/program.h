// The emulator's life: start-up in order, the run a period at a time, and
// shutdown.
#pragma once

#include "command_line.h"

struct Desktop;
struct Zx81;

// Runs the whole program with its command line; returns its exit status (0
// after Alt+F4, 2 for a command line it cannot follow).
int run_program(int argc, char** argv);

// The machine powered up with the ROM, the first screen, the host settings
// and the toolbar. A ROM that cannot be found or read is fatal.
void machine_init(Desktop& desktop, Zx81& machine, const Options& options);

// The desktop record of the running program, for the paced benchmark.
const Desktop& running_desktop();
