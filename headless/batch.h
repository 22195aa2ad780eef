// The ZX81 in a script (orlix --headless): no window and no Allegro, never
// paced. It types keys and BASIC listings in, runs for an emulated time or
// until some text shows, and gives the screen as text, a picture of it and
// the program as a file.
#pragma once

#include <string>

struct Options;

// Runs the whole headless session the options describe; returns the exit
// status: 0, 1 when --until-text never showed or a listing line was not
// taken, 2 when a file cannot be read or written.
int run_headless(const Options& options);

// --list-tape: the programs on the tape in the file at `path`, a line each
// on standard output (number, name, length, where it starts), what reading
// it found wrong on standard error. Returns 0, 1 when no program could be
// read, 2 when the file is no tape.
int list_tape(const std::string& path);
