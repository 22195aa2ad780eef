// The emulator's life: start-up in order, the run inside z80_run, shutdown.
#pragma once

#include <string>

// Runs the whole program; returns its exit status (0 after Alt+F4).
int run_program();

// Memory and ROM, the first screen, glyphs, host settings, the toolbar.
void machine_init();

// Where the program looks for its pictures: the working directory, then the
// folder of the executable, then share/orlix beside it, then the data folder
// of the configured install prefix.
std::string find_data_file(const std::string& name);
