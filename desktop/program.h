// The emulator's life: start-up in order, the run a period at a time, and
// shutdown.
#pragma once

#include <functional>

#include "command_line.h"

struct Desktop;
struct Zx81;

// Something that looks at the running program after each period, on the
// emulation's own thread (a benchmark); false ends the run as Alt+F4 does.
using PeriodObserver = std::function<bool(const Desktop&, const Zx81&)>;

// Runs the whole program with its command line; returns its exit status (0
// after Alt+F4, 2 for a command line it cannot follow).
int run_program(int argc, char** argv, const PeriodObserver& observer = {});

// The machine powered up with the ROM, the first screen, the host settings
// and the toolbar. A ROM that cannot be found or read is fatal.
void machine_init(Desktop& desktop, Zx81& machine, const Options& options);

