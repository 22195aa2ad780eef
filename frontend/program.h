// The emulator's life: start-up in order, the run inside z80_run, shutdown.
#pragma once

#include "command_line.h"

// Runs the whole program with its command line; returns its exit status (0
// after Alt+F4, 2 for a command line it cannot follow).
int run_program(int argc, char** argv);

// Memory and ROM, the first screen, glyphs, host settings, the toolbar.
void machine_init(const Options& options);
